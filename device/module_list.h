#pragma once
#include <string>
#include <utility>
#include <vector>

namespace varnel {

// One external post-processing program.
class TModule {
 public:
  // The registry key name serves as the display name until a description is read.
  explicit TModule(std::string keyName) : Description(std::move(keyName)) {}

  std::string Description;
  std::string Path;
  bool bWait = false;
  std::string Condition;
  bool AlwaysOK = false;
  bool OnlyOneFile = false;
};

// An ordered list of modules that refers to them without owning them; the owner keeps
// them alive for as long as they are listed. The same module may appear more than once.
class TModuleRefList {
 public:
  // The module at i, or nullptr when i is out of range.
  TModule* Item(int i) const;
  int Count() const { return static_cast<int>(items_.size()); }
  int Add(TModule* module);
  // Removes entry i (never frees the module); nothing happens when i is out of range.
  void Delete(int i);
  // Takes entry `from` out and puts it back so that it ends at index `to`; nothing happens
  // when either is out of range.
  void Move(int from, int to);
  // Removes every entry without freeing the modules.
  void Clear() { items_.clear(); }

 private:
  std::vector<TModule*> items_;
};

// The modules available to choose from.
class TModuleList : public TModuleRefList {};
// The chosen modules, in the order they are started.
class TExecuteModuleList : public TModuleRefList {};

}  // namespace varnel
