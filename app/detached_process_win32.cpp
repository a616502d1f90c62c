#include "app/detached_process.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace varnel {

bool StartDetachedProcess(const std::string& program, const std::vector<std::string>& arguments) {
  if (program.empty()) return false;
  QStringList args;
  for (const std::string& a : arguments) args << QString::fromStdString(a);
  return QProcess::startDetached(QString::fromStdString(program), args);
}

}  // namespace varnel
