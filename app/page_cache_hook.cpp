// The main window's two touches of the page cache: loaded with a logger's options, written
// once the files of its readout are complete. Both only when the logger's option to read
// only new pages is on; a cache that cannot be read or written costs a full readout next
// time, never a file.

#include "app/file_services.h"
#include "app/main_logic.h"
#include "common/locations.h"
#include "device/page_cache.h"
#include "files/native_path.h"
#include "lang/text_ids.h"

namespace varnel {

void MainLogic::LoadPageCache() {
  TDevice& d = *FDevice;
  d.CachedPages.reset();
  if (!d.ReadOnlyNewPages) return;
  auto cache = std::make_shared<PageCache>();
  switch (ReadPageCache(PageCacheFileOf(d.SerialNumber), *cache)) {
    case CacheRead::Loaded:
      d.CachedPages = std::move(cache);
      break;
    case CacheRead::Damaged:
      MemoAndLog(Text(kTextPageCacheDamaged), MemoTone::Warning);
      break;
    case CacheRead::Missing:  // the first contact with the option on
      break;
  }
}

}  // namespace varnel
