#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/common/fresh_user_store.h"

namespace varnel::test {

// A fresh, empty per-user store for each test: $XDG_CONFIG_HOME points into a temporary
// folder, which also holds the program's folder and its log.
class TempStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    oldConfig_ = qgetenv("XDG_CONFIG_HOME");
    oldData_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (dir_.path() + "/data").toLocal8Bit());
    FreshWindowsUserStore(dir_.path());
    QDir().mkpath(ProgramFolder());
  }
  void TearDown() override {
    qputenv("XDG_CONFIG_HOME", oldConfig_);
    qputenv("XDG_DATA_HOME", oldData_);
  }
  QString Root() const { return dir_.path(); }
  QString ProgramFolder() const { return dir_.path() + "/program"; }
  QString ProgramPath() const { return ProgramFolder() + "/Varnel.exe"; }
  QString LogPath() const { return ProgramFolder() + "/Varnel.LOG"; }
  // The lines of the log (split at CR LF), without the final empty piece.
  std::vector<std::string> LogLines() const {
    QFile f(LogPath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    std::vector<std::string> lines;
    for (const QByteArray& l : f.readAll().split('\n')) {
      QByteArray t = l;
      if (t.endsWith('\r')) t.chop(1);
      lines.push_back(t.toStdString());
    }
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
  }
  // The text after the time stamp and its TAB.
  static std::string AfterStamp(const std::string& line) {
    const auto tab = line.find('\t');
    return tab == std::string::npos ? std::string("<no stamp>") : line.substr(tab + 1);
  }

 private:
  QTemporaryDir dir_;
  QByteArray oldConfig_, oldData_;
};

}  // namespace varnel::test
