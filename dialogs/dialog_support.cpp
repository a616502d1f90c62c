#include "dialogs/dialog_support.h"

#include "lang/lang.h"

namespace varnel {

QString Tx(int id) { return QString::fromStdString(LoadText(id)); }

QString LiteralCaption(const QString& text) {
  QString t = text;
  t.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return t;
}

void InstallKeyPreview(QWidget* dialog) {
  for (QWidget* w : dialog->findChildren<QWidget*>()) w->installEventFilter(dialog);
}

bool IsEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

Qt::WindowFlags NoCloseBoxFlags() {
  return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
}

}  // namespace varnel
