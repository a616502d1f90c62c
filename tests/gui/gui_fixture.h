#pragma once
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
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

// The captions under `root` (shown labels, buttons, check boxes, group titles, list entries
// of drop-downs) that their box cuts off, as "name: text".
inline QStringList UnfitCaptions(QWidget* root) {
  QStringList out;
  const auto check = [&out](const QWidget* w, const QString& text, int need, int room) {
    if (need > room) out << QString("%1: \"%2\" (%3 > %4)").arg(w->objectName(), text).arg(need).arg(room);
  };
  for (auto* label : root->findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty()) continue;
    const QRect need = label->fontMetrics().boundingRect(
        label->contentsRect(), int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0),
        label->text());
    if (!label->contentsRect().contains(need)) {
      check(label, label->text(), need.width() + 1000 * (need.height() > label->contentsRect().height()),
            label->contentsRect().width());
    }
  }
  for (auto* button : root->findChildren<QAbstractButton*>()) {
    if (!button->isVisible() || button->text().isEmpty()) continue;
    QString shown = button->text();
    shown.replace("&&", QChar(1)).remove('&').replace(QChar(1), "&");
    // The room the style gives the text: the contents rectangle without frame and margins
    // (and without the indicator of a check box or radio button).
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<QCheckBox*>(button)) contents = QStyle::SE_CheckBoxContents;
    if (qobject_cast<QRadioButton*>(button)) contents = QStyle::SE_RadioButtonContents;
    int room = button->style()->subElementRect(contents, &option, button).width();
    if (contents == QStyle::SE_PushButtonContents && !button->icon().isNull()) {
      room -= button->iconSize().width() + 4;
    }
    check(button, shown, button->fontMetrics().horizontalAdvance(shown), room);
  }
  for (auto* box : root->findChildren<QGroupBox*>()) {
    if (!box->isVisible() || box->title().isEmpty()) continue;
    check(box, box->title(), box->fontMetrics().horizontalAdvance(box->title()) + 16, box->width());
  }
  for (auto* combo : root->findChildren<QComboBox*>()) {
    if (!combo->isVisible() || combo->isEditable()) continue;
    QStyleOptionComboBox option;
    option.initFrom(combo);
    const int room = combo->style()
                         ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                         .width();
    for (int i = 0; i < combo->count(); ++i) {
      check(combo, combo->itemText(i), combo->fontMetrics().horizontalAdvance(combo->itemText(i)), room);
    }
  }
  return out;
}

}  // namespace varnel::test
