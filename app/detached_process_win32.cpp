#include "app/detached_process.h"

#include <QProcess>
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
  // The module gets none of the collector's standard streams: what it prints must not mix
  // into the collector's console output.
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  return process.startDetached();
}

}  // namespace varnel
