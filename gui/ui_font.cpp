#include "gui/ui_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace varnel {

namespace {

// The family is there and drawn as itself: Qt lists "MS Shell Dlg" under Wine, but draws it
// in another face.
bool Drawn(const QFont& font) {
  return QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) == 0;
}

}  // namespace

QFont UsableUiFont(const QFont& wanted) {
  if (Drawn(wanted)) return wanted;
  QFont font = wanted;
  const QStringList candidates = {
      QStringLiteral("Segoe UI"),    QStringLiteral("Tahoma"),
      QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
      QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
      QStringLiteral("Noto Sans")};
  for (const QString& family : candidates) {
    font.setFamilies({family});
    if (QFontDatabase::hasFamily(family) && Drawn(font)) return font;
  }
  return wanted;
}

}  // namespace varnel
