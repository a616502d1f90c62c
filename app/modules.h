#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "device/device.h"
#include "device/module_list.h"

// The post-processing modules: external programs, registered in the store by other programs,
// that the operator chooses and orders and that are started on the new data files.
namespace varnel {

// Starts a module as a process of its own and does not wait for it.
class ModuleLauncher {
 public:
  virtual ~ModuleLauncher() = default;
  // The program and its arguments are kept apart, so paths with blanks need no quoting.
  virtual bool StartDetached(const QString& program, const QStringList& arguments) = 0;
};

// Starts the process in the program's current folder with its environment, as a process of
// its own (see StartDetachedProcess).
class DetachedProcessLauncher : public ModuleLauncher {
 public:
  bool StartDetached(const QString& program, const QStringList& arguments) override;
};

// The modules of a run: the list owns them; the available and chosen lists refer to them.
struct ModuleSet {
  std::vector<std::unique_ptr<TModule>> Owned;
  TModuleList Available;
  TExecuteModuleList Chosen;

  void Clear();
  // Display names, in list order.
  QStringList AvailableNames() const;
  QStringList ChosenNames() const;
};

// Lists the registered modules (a module whose program file is missing is left out) and
// chooses again the modules stored as "Exec0", "Exec1", ... in that order. Every available
// module whose display name equals a stored name is chosen.
void LoadModules(ModuleSet& modules);

// The stored values of the chosen list in position order: "Exec2" before "Exec10"; names of
// another form follow in text order.
QStringList OrderedExecValueNames(const QStringList& valueNames);

// Replaces the stored chosen list with `chosen`.
void WriteChosenModules(const TExecuteModuleList& chosen);

// Replaces the file list of the last readout with the device's new files ("File0", ...) and
// makes it visible to other programs before it returns.
void WriteFileList(const TDevice& device);

// Starts every chosen module in order: a one-file module once per new file with the file's
// path, any other once with `fileListKey` (the word "Files"). After each successful start
// `pause` is called with 200 (ms). Returns the number of processes started.
int RunModules(const TExecuteModuleList& chosen, const TDevice& device, const QString& fileListKey,
               ModuleLauncher& launcher, const std::function<void(int)>& pause);

}  // namespace varnel
