// What the window logic shows: the MainView side of the main window.
#include <algorithm>
#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

#include "gui/main_window.h"
#include "gui/fill_meter.h"
#include "gui/pictures.h"

namespace varnel {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QWidget* TfrmMain::Widget(Control control) const {
  const auto it = widgets_.find(control);
  return it == widgets_.end() ? nullptr : it->second;
}

void TfrmMain::AppendMemo(const std::string& line) { AppendMarkedMemo(line, MemoTone::Plain); }

void TfrmMain::AppendMarkedMemo(const std::string& line, MemoTone tone) {
  // Plain text in the rich-text box: a line that looks like markup is shown as it stands.
  // Each line gets its own format, so that a coloured line does not colour the next.
  QTextCharFormat format;
  if (tone == MemoTone::Error) format.setForeground(MemoErrorColour());
  if (tone == MemoTone::Warning) format.setForeground(MemoWarningColour());
  QTextCursor cursor(memo1_->document());
  cursor.movePosition(QTextCursor::End);
  if (!memo1_->document()->isEmpty()) cursor.insertBlock(QTextBlockFormat(), format);
  cursor.insertText(Q(line), format);
  memo1_->setTextCursor(cursor);
  memo1_->ensureCursorVisible();
  memo1_->verticalScrollBar()->setValue(memo1_->verticalScrollBar()->maximum());
}

void TfrmMain::ClearMemo() { memo1_->clear(); }

void TfrmMain::FocusMemo() { memo1_->setFocus(); }

void TfrmMain::SetStatusPanel(int panel, const std::string& text) {
  (panel == 0 ? panel0_ : panel1_)->setText(Q(text));
}

void TfrmMain::SetGauge(int maximum, int position) {
  progress_->setRange(0, std::max(0, maximum));
  progress_->setValue(std::clamp(position, 0, std::max(0, maximum)));
}

void TfrmMain::SetEnabled(Control control, bool enabled) {
  if (QAction* a = Action(control)) a->setEnabled(enabled);
  if (QWidget* w = Widget(control)) {
    // The file-name identity stays disabled: it only shows what the logger holds.
    if (control != Control::EditFilename) w->setEnabled(enabled);
  }
}

void TfrmMain::SetVisible(Control control, bool visible) {
  if (QAction* a = Action(control)) a->setVisible(visible);
  if (QWidget* w = Widget(control)) w->setVisible(visible);
}

void TfrmMain::SetCaption(Control control, const std::string& text) {
  switch (control) {
    case Control::Window:
      setWindowTitle(Q(text));
      return;
    case Control::AboutProduct:
    case Control::AboutVersion:
    case Control::AboutCaption:
      texts_[control] = text;
      return;
    case Control::ActivityBar:
      activity_->SetCaption(Q(text));
      return;
    default:
      break;
  }
  if (QAction* a = Action(control)) a->setText(Q(text));
  if (auto* label = qobject_cast<QLabel*>(Widget(control))) label->setText(Q(text));
  if (auto* button = qobject_cast<QAbstractButton*>(Widget(control))) button->setText(Q(text));
}

void TfrmMain::SetChecked(Control control, bool checked) {
  if (QAction* a = Action(control)) a->setChecked(checked);
  if (auto* button = qobject_cast<QAbstractButton*>(Widget(control))) {
    const QSignalBlocker block(button);
    button->setChecked(checked);
  }
}

void TfrmMain::SetStartDown(bool down) {
  const QSignalBlocker block(spbStartModem_);
  spbStartModem_->setChecked(down);
  spbStartModem_->setIcon(StartPicture(down));
}

void TfrmMain::ShowRecords(const std::vector<RecordEntry>& entries) {
  const QSignalBlocker block(lbRecords_);
  lbRecords_->clear();
  for (const RecordEntry& e : entries) {
    auto* item = new QListWidgetItem(Q(e.Text), lbRecords_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(e.Ticked ? Qt::Checked : Qt::Unchecked);
  }
  if (!entries.empty()) PlaceRecordHeadings(static_cast<int>(Q(entries.front().Text).size()));
}

void TfrmMain::SetRecordTicked(int index, bool ticked) {
  QListWidgetItem* item = lbRecords_->item(index);
  if (!item) return;
  const Qt::CheckState state = ticked ? Qt::Checked : Qt::Unchecked;
  if (item->checkState() == state) return;
  const QSignalBlocker block(lbRecords_);
  item->setCheckState(state);
}

void TfrmMain::SetFileNameText(const std::string& text) {
  editFilename_->setText(Q(text));
  // An identity longer than the field shows its start, where it differs from others; the
  // whole of it is in the tooltip.
  editFilename_->setCursorPosition(0);
  editFilename_->setToolTip(Q(text));
}

void TfrmMain::ShowPortMenu(const std::vector<PortMenuItem>& items) {
  for (QAction* a : portGroup_->actions()) {
    portGroup_->removeAction(a);
    portMenu_->removeAction(a);
    a->deleteLater();
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    QAction* a = portMenu_->addAction(Q(items[i].Caption));
    a->setObjectName(Q(items[i].Name));
    a->setCheckable(true);
    a->setChecked(items[i].Checked);
    a->setData(items[i].Number);
    portGroup_->addAction(a);
    connect(a, &QAction::triggered, this, [this, i] { logic_->COMClick(static_cast<int>(i)); });
  }
}

void TfrmMain::SetAddressField(int minimum, int maximum, int value) {
  const QSignalBlocker block(spAddr_);
  spAddr_->setRange(minimum, maximum);
  spAddr_->setValue(value);
}

void TfrmMain::SetActivity(int value, bool rightToLeft) {
  activity_->SetRightToLeft(rightToLeft);
  activity_->SetValue(value);
}

void TfrmMain::ShowModuleLists(const std::vector<std::string>& available,
                               const std::vector<std::string>& chosen) {
  // The available list only changes at start; keep the operator's selection in it.
  if (lbAvModuls_->count() != static_cast<int>(available.size())) {
    lbAvModuls_->clear();
    for (const std::string& name : available) lbAvModuls_->addItem(Q(name));
  }
  lbExModuls_->clear();
  for (const std::string& name : chosen) lbExModuls_->addItem(Q(name));
}

void TfrmMain::SetWindowPosition(WindowPosition position) {
  place_ = position;
  // Before the window is built up, its place waits for the captions (the menu bar's height).
  if (logic_) ApplyPlace();
}

std::optional<WindowPosition> TfrmMain::CurrentWindowPosition() const {
  // Maximised or hidden in the tray, the window keeps the place it returns to.
  const QPoint at = InNormalState() ? pos() : normalPos_;
  const QSize size = InNormalState() ? this->size() : normalSize_;
  WindowPosition place;
  place.Left = at.x();
  place.Top = at.y();
  place.Width = size.width();
  place.Height = size.height();
  place.Maximized = (windowState() & Qt::WindowMaximized) != 0;
  return place;
}

void TfrmMain::SetActivityText(const std::string& text) {
  if (tray_) tray_->setToolTip(Q(text));
}

}  // namespace varnel
