#include "common/program_log.h"

#include <QFile>
#include <QFileInfo>

#include "common/locale_text.h"

namespace varnel {

bool ProgramLog::CreateIfMissing() const {
  if (path_.isEmpty()) return false;
  if (QFileInfo::exists(path_)) return true;
  QFile file(path_);
  return file.open(QIODevice::WriteOnly | QIODevice::Append);
}

bool ProgramLog::AddToLogFile(std::string_view text) const {
  if (path_.isEmpty()) return false;
  QFile file(path_);
  // ExistingOnly: a missing log is not created here.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly)) {
    return false;
  }
  bool ok = true;
  const QByteArray stamp = (NowText() + QLatin1Char('\t')).toLocal8Bit();
  ok = file.write(stamp) == stamp.size() && file.flush();
  if (ok) {
    QByteArray line =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toLocal8Bit();
    line.append("\r\n");
    ok = file.write(line) == line.size() && file.flush();
  }
  file.close();
  return ok;
}

QString ProgramLog::ReadAll(bool* ok) const {
  QFile file(path_);
  const bool opened = !path_.isEmpty() && file.open(QIODevice::ReadOnly);
  if (ok) *ok = opened;
  if (!opened) return {};
  return QString::fromLocal8Bit(file.readAll());
}

bool ProgramLog::Reset() const {
  if (path_.isEmpty()) return false;
  QFile file(path_);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  file.close();
  return QFileInfo(path_).size() == 0;
}

}  // namespace varnel
