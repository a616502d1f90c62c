#pragma once
#include <QAction>
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "tests/common/fresh_user_store.h"
#include "gui/main_window.h"

namespace varnel::test {

// A fresh per-user store for each window: $XDG_CONFIG_HOME and $XDG_DATA_HOME point into a
// temporary folder, which also holds the program's folder and its log.
class GuiStore {
 public:
  GuiStore() {
    qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (dir_.path() + "/data").toLocal8Bit());
    FreshWindowsUserStore(dir_.path());
    QDir().mkpath(ProgramFolder());
  }
  QString Root() const { return dir_.path(); }
  QString ProgramFolder() const { return dir_.path() + "/program"; }
  QString ProgramPath() const { return ProgramFolder() + "/varnel"; }

 private:
  QTemporaryDir dir_;
};

template <typename W>
W* Find(const TfrmMain& window, const char* name) {
  W* w = window.findChild<W*>(QString::fromLatin1(name));
  if (!w) qWarning("no control %s", name);
  return w;
}

inline QStringList MemoLines(const TfrmMain& window) {
  return Find<QTextEdit>(window, "Memo1")->toPlainText().split(QLatin1Char('\n'));
}

// Expected lines appear in this order (others may come between); empty when they do.
inline QString MissingInOrder(const QStringList& lines, const QStringList& expected) {
  qsizetype at = 0;
  for (const QString& want : expected) {
    while (at < lines.size() && lines[at] != want) ++at;
    if (at == lines.size()) return want;
    ++at;
  }
  return {};
}

}  // namespace varnel::test
