#pragma once
#include <QAction>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "tests/common/temp_home.h"
#include "gui/main_window.h"

namespace varnel::test {

// A fresh per-user store for each window, with the program as the window's own file.
class GuiStore : public TempHome {
 public:
  QString ProgramPath() const { return ProgramFolder() + "/varnel"; }
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
