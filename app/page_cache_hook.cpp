// The page cache of the logger on the line, loaded with its options when its option to read
// only new pages is on (the files' services write it once its readout is complete). A cache
// that cannot be read costs a full readout, never a file.

#include "app/file_services.h"
#include "app/main_logic.h"
#include "device/page_cache.h"
#include "files/native_path.h"

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
      MemoAndLog(Text(810), MemoTone::Warning);
      break;
    case CacheRead::Missing:  // the first contact with the option on
      break;
  }
}

}  // namespace varnel
