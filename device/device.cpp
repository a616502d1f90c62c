#include "device/device.h"

#include <utility>

namespace varnel {

TRec* TDevice::Rec(int i) const {
  if (i < 0 || i >= RecCount()) return nullptr;
  return records_[static_cast<std::size_t>(i)].get();
}

int TDevice::AddRec(std::unique_ptr<TRec> rec) {
  records_.push_back(std::move(rec));
  return RecCount() - 1;
}

void TDevice::DeleteRec(int i) {
  if (i < 0 || i >= RecCount()) return;
  records_.erase(records_.begin() + i);
}

void TDevice::ClearRecs() {
  while (!records_.empty()) {
    records_.back()->ClearPages();
    records_.pop_back();
  }
}

TFName* TDevice::FileName(int i) const {
  if (i < 0 || i >= FileCount()) return nullptr;
  return files_[static_cast<std::size_t>(i)].get();
}

int TDevice::AddFile(std::filesystem::path name) {
  files_.push_back(std::make_unique<TFName>(std::move(name)));
  return FileCount() - 1;
}

void TDevice::SetMemoryLayout(std::uint16_t firstPage, std::uint16_t lastPage,
                              std::uint8_t reservedPages) {
  FirstPage = firstPage;
  LastPage = lastPage;
  ReservedPages = reservedPages;
  LastRingPage = LastRingPageOf(lastPage, reservedPages);
  IdPage = IdPageOf(LastRingPage);
  CommentPage = CommentPageOf(LastRingPage);
}

}  // namespace varnel
