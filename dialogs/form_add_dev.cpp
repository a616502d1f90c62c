#include "dialogs/form_add_dev.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/registered_device_store.h"
#include "dialogs/dialog_support.h"
#include "dialogs/form_message.h"
#include "lang/text_ids.h"

namespace varnel {

TFormAddDev::TFormAddDev(QWidget* owner) : QDialog(owner, NoCloseBoxFlags()) {
  setObjectName(QStringLiteral("FormAddDev"));
  LbText = new QLabel(this);
  LbText->setObjectName(QStringLiteral("LbText"));
  EdSN = new QLineEdit(this);
  EdSN->setObjectName(QStringLiteral("EdSN"));
  btnOK = new QPushButton(this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnCancel = new QPushButton(this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  for (QPushButton* b : {btnOK, btnCancel}) b->setAutoDefault(false);
  connect(btnOK, &QPushButton::clicked, this, &TFormAddDev::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TFormAddDev::btnCancelClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(LbText);
  layout->addWidget(EdSN);
  layout->addLayout(buttons);
  setMinimumWidth(300);
  InstallKeyPreview(this);
  ApplyLanguage();
}

void TFormAddDev::ApplyLanguage() {
  setWindowTitle(Tx(kTextAddDeviceTitle));
  LbText->setText(Tx(kTextNewSerialNumber));
  btnOK->setText(Tx(kTextAddDeviceOk));
  btnCancel->setText(Tx(kTextAddDeviceCancel));
}

void TFormAddDev::showEvent(QShowEvent* event) {
  EdSN->clear();
  EdSN->setFocus();
  ApplyLanguage();
  QDialog::showEvent(event);
}

void TFormAddDev::btnOKClick() {
  const QString sn = EdSN->text();
  if (sn.isEmpty()) return;
  if (!SerialNameAllowed(sn)) {
    // The store would file it as nested keys that no logger's number ever reaches.
    if (message_) {
      message_->ShowMessageBox(Tx(kTextSeparatorRefused), Tx(kTextAddDeviceCaption), mkOk,
                               MessageIcon::Warning);
    }
    Accepted = false;
    return;
  }
  if (!SerialReportable(sn)) {
    // "SN 40123" or "040123" would be stored, and never match the number a logger reports.
    if (message_) {
      message_->ShowMessageBox(Tx(kTextSerialDigitsOnly), Tx(kTextAddDeviceCaption), mkOk,
                               MessageIcon::Warning);
    }
    Accepted = false;
    return;
  }
  if (devices_.contains(sn, Qt::CaseSensitive)) {
    if (message_) {
      message_->ShowMessageBox(Tx(kTextSerialKnown), Tx(kTextAddDeviceCaption), mkOk,
                               MessageIcon::Warning);
    }
    Accepted = false;
    return;
  }
  Accepted = true;
  done(QDialog::Accepted);
}

void TFormAddDev::btnCancelClick() {
  Accepted = false;
  done(QDialog::Rejected);
}

bool TFormAddDev::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (IsEnterKey(key)) {
      btnOKClick();
      return true;
    }
    if (key == Qt::Key_Escape) {
      btnCancelClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace varnel
