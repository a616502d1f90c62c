#include "device/module_list.h"

namespace varnel {

TModule* TModuleRefList::Item(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return items_[static_cast<std::size_t>(i)];
}

int TModuleRefList::Add(TModule* module) {
  items_.push_back(module);
  return Count() - 1;
}

void TModuleRefList::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  items_.erase(items_.begin() + i);
}

}  // namespace varnel
