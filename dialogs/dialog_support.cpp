#include "dialogs/dialog_support.h"

#include "lang/lang.h"

namespace varnel {

QString Tx(int id) { return QString::fromStdString(LoadText(id)); }

QString LiteralCaption(const QString& text) {
  QString t = text;
  t.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return t;
}

QString KeepMarksWithWord(const QString& text) {
  QString out = text;
  for (qsizetype i = 0; i + 1 < out.size(); ++i) {
    const QChar mark = out[i + 1];
    const bool closing = i + 2 >= out.size() || out[i + 2].isSpace() || out[i + 2] == QLatin1Char(')');
    if (out[i] == QLatin1Char(' ') && closing &&
        (mark == QLatin1Char('!') || mark == QLatin1Char('?') || mark == QLatin1Char(':'))) {
      out[i] = QChar(0x00A0);
    }
  }
  return out;
}

void InstallKeyPreview(QWidget* dialog) {
  for (QWidget* w : dialog->findChildren<QWidget*>()) w->installEventFilter(dialog);
}

bool IsEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

Qt::WindowFlags NoCloseBoxFlags() {
  return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
}

}  // namespace varnel
