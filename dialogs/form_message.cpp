#include "dialogs/form_message.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/dialog_support.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

constexpr int kWidth = 400, kHeight = 150;

struct ButtonSpec {
  int Text;  // text id; kHidden: no button
  std::uint8_t Answer;
};
constexpr int kHidden = 0;
constexpr ButtonSpec kNone{kHidden, 0};

struct KindSpec {
  ButtonSpec Left, Middle, Right;
  int Focus;  // 1 middle, 2 right
};

KindSpec SpecOf(int kind) {
  switch (kind) {
    case mkOkCancel: return {kNone, {kTextButtonOk, maOk}, {kTextButtonCancel, maCancel}, 1};
    case mkAbortRetryIgnore:
      return {{kTextButtonAbort, maAbort}, {kTextButtonRetry, maRetry},
              {kTextButtonIgnore, maIgnore}, 1};
    // The questions start on the button that commits to nothing.
    case mkYesNoCancel:
      return {{kTextButtonYes, maYes}, {kTextButtonNo, maNo}, {kTextButtonCancel, maCancel}, 2};
    case mkYesNo: return {kNone, {kTextButtonYes, maYes}, {kTextButtonNo, maNo}, 2};
    case mkRetryCancel:
      return {kNone, {kTextButtonRetry, maRetry}, {kTextButtonCancel, maCancel}, 1};
    default: return {kNone, {kTextButtonOk, maOk}, kNone, 1};
  }
}

MessageIcon IconOf(int kind, MessageIcon asked) {
  if (asked != MessageIcon::Automatic) return asked;
  switch (kind) {
    case mkYesNoCancel:
    case mkYesNo: return MessageIcon::Question;
    case mkAbortRetryIgnore:
    case mkRetryCancel: return MessageIcon::Warning;
    default: return MessageIcon::Information;
  }
}

QStyle::StandardPixmap PixmapOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Question: return QStyle::SP_MessageBoxQuestion;
    case MessageIcon::Warning: return QStyle::SP_MessageBoxWarning;
    case MessageIcon::Critical: return QStyle::SP_MessageBoxCritical;
    default: return QStyle::SP_MessageBoxInformation;
  }
}

}  // namespace

TFormMessage::TFormMessage(QWidget* owner) : QDialog(owner, NoCloseBoxFlags()) {
  setObjectName(QStringLiteral("FormMessage"));
  setWindowTitle(Tx(kTextMessageTitle));
  setFixedSize(kWidth, kHeight);

  LbText = new QLabel(this);
  LbText->setObjectName(QStringLiteral("LbText"));
  LbText->setWordWrap(true);
  LbText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LbText->setTextFormat(Qt::PlainText);

  auto* row = new QHBoxLayout;
  row->addStretch(1);
  BtL = new QPushButton(this);
  BtM = new QPushButton(this);
  BtR = new QPushButton(this);
  const char* names[] = {"BtL", "BtM", "BtR"};
  int i = 0;
  for (QPushButton* b : {BtL, BtM, BtR}) {
    b->setObjectName(QLatin1String(names[i++]));
    b->setFixedWidth(100);
    // A hidden button keeps its place: two buttons take the middle and the right one.
    QSizePolicy sp = b->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    b->setSizePolicy(sp);
    row->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, b] { Answer(b); });
  }

  ImIcon = new QLabel(this);
  ImIcon->setObjectName(QStringLiteral("ImIcon"));
  ImIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* message = new QHBoxLayout;
  message->addWidget(ImIcon, 0);
  message->addSpacing(8);
  message->addWidget(LbText, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(message, 1);
  layout->addLayout(row);
  InstallKeyPreview(this);
  SetButtons(mkOk);
}

void TFormMessage::SetButtons(int kind) {
  const KindSpec spec = SpecOf(kind);
  const ButtonSpec buttons[] = {spec.Left, spec.Middle, spec.Right};
  QPushButton* widgets[] = {BtL, BtM, BtR};
  for (int i = 0; i < 3; ++i) {
    answers_[i] = buttons[i].Answer;
    widgets[i]->setVisible(buttons[i].Text != kHidden);
    widgets[i]->setText(buttons[i].Text != kHidden ? Tx(buttons[i].Text) : QString());
  }
  QPushButton* focus = spec.Focus == 2 ? BtR : BtM;
  focus->setDefault(true);
  focus->setFocus();
}

std::uint8_t TFormMessage::ShowMessageBox(const QString& text, const QString& caption, int kind,
                                          MessageIcon icon) {
  LbText->setText(text);
  shownIcon_ = IconOf(kind, icon);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  ImIcon->setPixmap(style()->standardIcon(PixmapOf(shownIcon_), nullptr, this)
                        .pixmap(QSize(side, side), devicePixelRatioF()));
  setWindowTitle(caption);
  for (QPushButton* b : {BtL, BtM, BtR}) b->setDefault(false);
  SetButtons(kind);
  // The width stays; a text longer than the usual height grows the box downwards rather
  // than losing its last lines.
  setFixedHeight(std::max(kHeight, layout()->totalHeightForWidth(kWidth)));
  result_ = 0;
  answered_ = false;
  exec();
  return result_;
}

void TFormMessage::Answer(QPushButton* button) {
  const int i = button == BtL ? 0 : button == BtM ? 1 : 2;
  result_ = answers_[i];
  answered_ = true;
  done(result_);
}

bool TFormMessage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    return true;  // no keys of its own
  }
  return QDialog::eventFilter(watched, event);
}

void TFormMessage::closeEvent(QCloseEvent* event) {
  if (answered_) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace varnel
