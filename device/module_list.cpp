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

void TModuleRefList::Move(int from, int to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
  TModule* module = items_[static_cast<std::size_t>(from)];
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, module);
}

}  // namespace varnel
