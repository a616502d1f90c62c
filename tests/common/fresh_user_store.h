#pragma once
#include <QDir>
#include <QSettings>
#include <QString>
#include <QtGlobal>

namespace varnel::test {

// On Windows the per-user store is the registry of the current user and the per-user data
// folder is %LOCALAPPDATA%\Varnel, which $XDG_CONFIG_HOME and $XDG_DATA_HOME do not move:
// each test starts without the program's keys, and with %LOCALAPPDATA% in `root`/data.
inline void FreshWindowsUserStore([[maybe_unused]] const QString& root) {
#ifdef Q_OS_WIN
  for (const char* key : {"HKEY_CURRENT_USER\\Software\\Halvark Drovantek",
                          "HKEY_CURRENT_USER\\Software\\Varnel"}) {
    QSettings(QString::fromLatin1(key), QSettings::NativeFormat).remove(QString());
  }
  qputenv("LOCALAPPDATA", QDir::toNativeSeparators(root + QStringLiteral("/data")).toLocal8Bit());
#endif
}

}  // namespace varnel::test

// In a test of something that exists on POSIX alone (the store's INI files, the ports folder,
// shell scripts as modules): skips it on Windows, saying why. scripts/test --win counts the
// skipped cases, and the README lists them.
#ifdef _WIN32
#define VARNEL_POSIX_ONLY(why) GTEST_SKIP() << "POSIX only: " << why
#else
#define VARNEL_POSIX_ONLY(why) static_cast<void>(0)
#endif
