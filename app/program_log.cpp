#include "app/program_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/locale_text.h"
#include "files/data_folder_state.h"
#include "files/native_path.h"

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

QString UserDataFolder() {
#ifdef Q_OS_WIN
  // %LOCALAPPDATA% as the environment names it (the shell's known folder when unset).
  const QString local = qEnvironmentVariable("LOCALAPPDATA");
  const QString base = local.isEmpty()
                           ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                           : QDir::fromNativeSeparators(local);
  return base + QStringLiteral("/Varnel");
#else
  const QByteArray xdg = qgetenv("XDG_DATA_HOME");
  const QString base = xdg.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share")
                                     : QString::fromLocal8Bit(xdg);
  return base + QStringLiteral("/varnel");
#endif
}

bool FolderWritable(const QString& folder) {
  return DataFolderState(PathFromUtf8(folder.toStdString())) == FolderState::Usable;
}

bool InstalledProgramFolder(const QString& programFolder) {
#ifndef VARNEL_INSTALLED_MARK
#define VARNEL_INSTALLED_MARK "../share/varnel/installed"
#endif
  return QFileInfo::exists(programFolder + QStringLiteral("/" VARNEL_INSTALLED_MARK));
}

QString DefaultLogFilePath(const QString& programPath,
                           const std::function<bool(const QString&)>& writable) {
  const QFileInfo program(programPath);
  const QString name = program.completeBaseName() + QStringLiteral(".LOG");
  const QString folder = program.absolutePath();
  const bool beside =
      !InstalledProgramFolder(folder) && (writable ? writable(folder) : FolderWritable(folder));
  if (beside) return folder + QLatin1Char('/') + name;
  const QString fallback = UserDataFolder();
  QDir().mkpath(fallback);
  return fallback + QLatin1Char('/') + name;
}

}  // namespace varnel
