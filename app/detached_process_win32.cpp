#include "app/detached_process.h"

#include <QProcess>
#include <windows.h>
#include <QString>
#include <QStringList>

namespace varnel {

bool StartDetachedProcess(const std::string& program, const std::vector<std::string>& arguments) {
  if (program.empty()) return false;
  QStringList args;
  for (const std::string& a : arguments) args << QString::fromStdString(a);
  QProcess process;
  process.setProgram(QString::fromStdString(program));
  process.setArguments(args);
  // The module gets none of the collector's handles (no stream is redirected, so none is
  // inherited) and not its console either: what it prints must not mix into the
  // collector's console output.
  process.setCreateProcessArgumentsModifier(
      [](QProcess::CreateProcessArguments* a) { a->flags |= DETACHED_PROCESS; });
  return process.startDetached();
}

}  // namespace varnel
