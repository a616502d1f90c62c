#include "device/rec.h"

#include <utility>

namespace varnel {

TPage* TRec::Page(int i) const {
  if (i < 0 || i >= PageCount()) return nullptr;
  return pages_[static_cast<std::size_t>(i)].get();
}

int TRec::AddPage(std::unique_ptr<TPage> page) {
  pages_.push_back(std::move(page));
  return PageCount() - 1;
}

void TRec::DeletePage(int i) {
  if (i < 0 || i >= PageCount()) return;
  pages_.erase(pages_.begin() + i);
}

void TRec::ClearPages() {
  while (!pages_.empty()) pages_.pop_back();
}

}  // namespace varnel
