#pragma once
#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "tests/common/fresh_user_store.h"

namespace varnel::test {

// A fresh, empty per-user store while it lives: $XDG_CONFIG_HOME points into a temporary
// folder, which also holds the program's folder and its log. The environment is put back
// when it goes.
class TempHome {
 public:
  TempHome() {
    oldConfig_ = qgetenv("XDG_CONFIG_HOME");
    oldData_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (dir_.path() + "/data").toLocal8Bit());
    FreshWindowsUserStore(dir_.path());
    QDir().mkpath(ProgramFolder());
  }
  ~TempHome() {
    qputenv("XDG_CONFIG_HOME", oldConfig_);
    qputenv("XDG_DATA_HOME", oldData_);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  bool Valid() const { return dir_.isValid(); }
  QString Root() const { return dir_.path(); }
  QString ProgramFolder() const { return dir_.path() + "/program"; }
  QString ProgramPath() const { return ProgramFolder() + "/Varnel.exe"; }
  QString LogPath() const { return ProgramFolder() + "/Varnel.LOG"; }

 private:
  QTemporaryDir dir_;
  QByteArray oldConfig_, oldData_;
};

}  // namespace varnel::test
