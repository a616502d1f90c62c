#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/common/temp_home.h"

namespace varnel::test {

// A fresh, empty per-user store for each test (see TempHome).
class TempStore : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(home_.Valid()); }
  QString Root() const { return home_.Root(); }
  QString ProgramFolder() const { return home_.ProgramFolder(); }
  QString ProgramPath() const { return home_.ProgramPath(); }
  QString LogPath() const { return home_.LogPath(); }
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
  TempHome home_;
};

}  // namespace varnel::test
