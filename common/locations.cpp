#include "common/locations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "files/data_folder_state.h"
#include "files/native_path.h"

namespace varnel {

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

QString ConfigHome() {
  const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
  if (!xdg.isEmpty()) return QString::fromLocal8Bit(xdg);
  return QDir::homePath() + QStringLiteral("/.config");
}

QString DocumentsDataFolder() {
  // Qt asks the shell for the known Documents folder on Windows and reads user-dirs.dirs
  // on Linux, falling back to ~/Documents.
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? UserDataFolder() : documents + QStringLiteral("/Varnel");
}

QString ResolveFolderSetting(const QString& stored, const QString& programFolder,
                             const std::function<bool(const QString&)>& writable,
                             bool* toDocuments) {
  if (toDocuments) *toDocuments = false;
  QString folder = stored;
  // An installed copy's own folder is never the operator's choice, even when stored (an
  // older copy that took itself for a build folder stored it): it goes as an unset one.
  const bool ownFolder = !folder.isEmpty() && QDir::cleanPath(folder) == QDir::cleanPath(programFolder) &&
                         InstalledProgramFolder(programFolder);
  const bool byRule = folder.isEmpty() || ownFolder || !QFileInfo(folder).isDir();
  if (byRule) {
    const QString commonData = programFolder + QStringLiteral("/CommonData");
    folder = QFileInfo(commonData).isDir() ? commonData : programFolder;
  }
  while (folder.size() > 1 && (folder.endsWith(QLatin1Char('/')) ||
                               folder.endsWith(QLatin1Char('\\')))) {
    folder.chop(1);
  }
  const bool installed =
      QDir::cleanPath(folder) == QDir::cleanPath(programFolder) && InstalledProgramFolder(programFolder);
  const bool canWrite = !installed && (writable ? writable(folder) : FolderWritable(folder));
  if (canWrite) return folder;
  if (byRule) {
    // No folder of the operator's is there and the program's own cannot take files
    // (/usr/bin, C:\Program Files): the operator finds them among the documents.
    if (toDocuments) *toDocuments = true;
    return DocumentsDataFolder();
  }
#ifdef Q_OS_WIN
  return QStringLiteral("C:");
#else
  const QString fallback = UserDataFolder();
  QDir().mkpath(fallback);
  return fallback;
#endif
}

QString FallbackDataFolder() { return UserDataFolder() + QStringLiteral("/fallback-data"); }

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

bool FolderWritable(const QString& folder) {
  return DataFolderState(PathFromUtf8(folder.toStdString())) == FolderState::Usable;
}

bool InstalledProgramFolder(const QString& programFolder) {
#ifndef VARNEL_INSTALLED_MARK
#define VARNEL_INSTALLED_MARK "../share/varnel/installed"
#endif
  return QFileInfo::exists(programFolder + QStringLiteral("/" VARNEL_INSTALLED_MARK));
}

QString DefaultHistoryPath() { return UserDataFolder() + QStringLiteral("/history.sqlite"); }

QString DefaultDatabasePath() { return UserDataFolder() + QStringLiteral("/database.sqlite"); }

QString DefaultPendingListPath() {
  return UserDataFolder() + QStringLiteral("/database-pending.txt");
}

QString PageCacheFolder() { return UserDataFolder() + QStringLiteral("/page-cache"); }

}  // namespace varnel
