#include "dialogs/form_logger_config.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <filesystem>

#include "app/registered_device_store.h"
#include "common/locale_text.h"
#include "device/pressure_units.h"
#include "dialogs/dialog_support.h"
#include "dialogs/float_edit.h"
#include "dialogs/form_add_dev.h"
#include "dialogs/form_message.h"
#include "dialogs/window_placement.h"
#include "files/cfx_format.h"
#include "files/cfx_reader.h"
#include "files/native_path.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {


// The offset edits' own key rule: one decimal mark and one minus sign at most.
bool OffsetKeyAllowed(const QString& /*before*/, const QString& after) {
  const QChar sep = TFloatEdit::DecimalSeparator();
  int marks = 0;
  for (QChar c : after) {
    if (c == QLatin1Char('.') || c == QLatin1Char(',') || c == sep) ++marks;
  }
  return marks <= 1 && after.count(QLatin1Char('-')) <= 1;
}

// A scroll area that asks for all of its content's room (a plain one asks for a fixed
// share of the font size), so the dialog opens without scroll bars wherever it fits.
class FittingScrollArea : public QScrollArea {
 public:
  explicit FittingScrollArea(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  }
  QSize sizeHint() const override {
    if (!widget()) return QScrollArea::sizeHint();
    const int f = 2 * frameWidth();
    QSize s = widget()->sizeHint();
    // Wrapped labels need more lines at the width the content gets than its hint assumes.
    if (widget()->hasHeightForWidth()) s.setHeight(std::max(s.height(), widget()->heightForWidth(s.width())));
    return s + QSize(f, f);
  }
};

// True when the header of the .cfx file is accepted; `wl` tells a water-level configuration.
bool ReadCfxHeader(const QString& file, bool& wl) {
  CfxContent scratch;
  int kind = -1;
  try {
    if (!ReadConfigFile(scratch, PathFromUtf8(file.toStdString()), true, kind)) {
      return false;
    }
  } catch (const std::exception&) {
    return false;  // the file breaks off inside its header
  }
  wl = kind == kCfxKindWl;
  return true;
}

}  // namespace

TFormLoggerConfig::TFormLoggerConfig(QWidget* owner) : QDialog(owner, NoCloseBoxFlags()) {
  setObjectName(QStringLiteral("FormLoggerConfig"));
  BuildLayout();
  ApplyLanguage();

  // FormCreate
  CbMonth->setCurrentIndex(QDate::currentDate().month() - 1);
  SpYear->setValue(QDate::currentDate().year());
  CbPUnit->setCurrentIndex(0);

  connect(LbDevices, &QListWidget::currentRowChanged, this, [this] {
    if (!selecting_) LbDevicesClick();
  });
  // A click on another device has switched (and saved) already through the row change; only
  // a click on the device shown saves and reloads it here.
  connect(LbDevices, &QListWidget::itemClicked, this, [this] {
    if (LbDevices->currentRow() == rowAtPress_) LbDevicesClick();
  });
  connect(btnAdd, &QPushButton::clicked, this, &TFormLoggerConfig::btnAddClick);
  connect(btnDel, &QPushButton::clicked, this, &TFormLoggerConfig::btnDelClick);
  connect(btnReset, &QPushButton::clicked, this, &TFormLoggerConfig::btnResetClick);
  connect(btnClose, &QPushButton::clicked, this, &TFormLoggerConfig::btnCloseClick);
  connect(BtnOpenFile, &QPushButton::clicked, this, &TFormLoggerConfig::BtnOpenFileClick);
  connect(RbReadFrom, &QRadioButton::toggled, this, &TFormLoggerConfig::RbReadFromClick);
  connect(RbActRec, &QRadioButton::toggled, this, &TFormLoggerConfig::RbReadFromClick);
  connect(ChBOffset, &QCheckBox::toggled, this, &TFormLoggerConfig::ChBOffsetClick);
  connect(ChBWriteConfig, &QCheckBox::toggled, this, &TFormLoggerConfig::ChBWriteConfigClick);
  connect(ChBWriteID, &QCheckBox::toggled, this, &TFormLoggerConfig::ChBWriteIDClick);
  connect(ChBID, &QCheckBox::toggled, this, &TFormLoggerConfig::ChBIDClick);
  connect(ChBComment, &QCheckBox::toggled, this, &TFormLoggerConfig::ChBCommentClick);
  connect(Memo1, &QPlainTextEdit::textChanged, this, &TFormLoggerConfig::Memo1Change);

  for (TFloatEdit* fe : {FeP1, FeP2}) {
    // White either way: validity is not coloured in this dialog.
    fe->ColorOk = Qt::white;
    fe->ColorError = Qt::white;
    fe->OnKeyPress = OffsetKeyAllowed;
    fe->OnExit = [](TFloatEdit& e) {
      if (e.text().isEmpty()) e.setText(QStringLiteral("0"));
    };
    fe->SetValue(0);
  }
  RbActRec->setChecked(true);
  CbSyncClock->setChecked(true);
  ApplyEnablingRules();
  EdIntPath->setEnabled(false);
  ChBWL->setEnabled(false);

  InstallKeyPreview(this);
  resetListener_ = RegisteredDeviceStore::AddResetListener(
      [this](const QString& serial) { EntryWasReset(serial); });
}

TFormLoggerConfig::~TFormLoggerConfig() {
  RegisteredDeviceStore::RemoveResetListener(resetListener_);
}

float TFormLoggerConfig::UnitFactor(int index) { return varnel::UnitFactor(index); }

void TFormLoggerConfig::BuildLayout() {
  auto label = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(QLatin1String(name));
    return l;
  };
  auto check = [this](const char* name) {
    auto* c = new QCheckBox(this);
    c->setObjectName(QLatin1String(name));
    return c;
  };
  auto button = [this](const char* name) {
    auto* b = new QPushButton(this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
  };
  auto bold = [](QLabel* l) {
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setWordWrap(true);
    // Some bold faces draw capital umlauts above their ascent ("Ändern" at the top of the
    // label lost its dots under Wine): room for them above the first line.
    l->setContentsMargins(0, 3, 0, 0);
  };

  LbReg = label("LbReg");
  LbSN = label("LbSN");
  LbDevices = new QListWidget(this);
  LbDevices->setObjectName(QStringLiteral("LbDevices"));
  LbDevices->setSelectionMode(QAbstractItemView::SingleSelection);
  LbDevices->setSortingEnabled(false);
  btnAdd = button("btnAdd");
  btnDel = button("btnDel");

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  LbDescription = label("LbDescription");
  EdDescription = new QLineEdit(this);
  EdDescription->setObjectName(QStringLiteral("EdDescription"));
  LbReadout = label("LbReadout");
  RbActRec = new QRadioButton(this);
  RbActRec->setObjectName(QStringLiteral("RbActRec"));
  RbReadFrom = new QRadioButton(this);
  RbReadFrom->setObjectName(QStringLiteral("RbReadFrom"));
  CbMonth = new QComboBox(this);
  CbMonth->setObjectName(QStringLiteral("CbMonth"));
  SpYear = new QSpinBox(this);
  SpYear->setObjectName(QStringLiteral("SpYear"));
  SpYear->setRange(2000, 2200);
  CbSyncClock = check("CbSyncClock");
  ChBReadNewPages = check("ChBReadNewPages");
  ChBOffset = check("ChBOffset");
  LbP1 = label("LbP1");
  FeP1 = new TFloatEdit(this);
  FeP1->setObjectName(QStringLiteral("FeP1"));
  LbP2 = label("LbP2");
  FeP2 = new TFloatEdit(this);
  FeP2->setObjectName(QStringLiteral("FeP2"));
  LbUnit = label("LbUnit");
  CbPUnit = new QComboBox(this);
  CbPUnit->setObjectName(QStringLiteral("CbPUnit"));
  for (std::string_view unit : PressureUnitNames()) {
    CbPUnit->addItem(QString::fromUtf8(unit.data(), static_cast<qsizetype>(unit.size())));
  }
  LbCorrInfo = label("LbCorrInfo");
  LbCorrInfo->setWordWrap(true);
  ChBWriteConfig = check("ChBWriteConfig");
  LbConfigFile = label("LbConfigFile");
  EdIntPath = new QLineEdit(this);
  EdIntPath->setObjectName(QStringLiteral("EdIntPath"));
  EdIntPath->setReadOnly(true);
  BtnOpenFile = button("BtnOpenFile");
  BtnOpenFile->setText(QStringLiteral("..."));
  ChBWL = check("ChBWL");
  ChBWriteID = check("ChBWriteID");
  LbHint = label("LbHint");
  bold(LbHint);
  ChBID = check("ChBID");
  EdID = new QLineEdit(this);
  EdID->setObjectName(QStringLiteral("EdID"));
  EdID->setMaxLength(kMaxIdLength);
  ChBComment = check("ChBComment");
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setTabChangesFocus(true);
  Memo1->setMinimumHeight(70);
  LbLastContact = label("LbLastContact");
  LbLastExecDate = label("LbLastExecDate");
  LbLastExecDate->setTextFormat(Qt::PlainText);
  LbResetHint = label("LbResetHint");
  bold(LbResetHint);
  LbStoreNotice = label("LbStoreNotice");
  bold(LbStoreNotice);
  LbStoreNotice->setTextFormat(Qt::PlainText);
  LbStoreNotice->hide();
  btnReset = button("btnReset");
  btnClose = button("btnClose");

  auto* left = new QVBoxLayout;
  left->addWidget(LbReg);
  left->addWidget(LbSN);
  left->addWidget(LbDevices, 1);
  left->addWidget(btnAdd);
  left->addWidget(btnDel);

  // Two columns: what is read (and corrected) on the left, what is written into the logger
  // on the right. One column of everything is taller than a 768-pixel screen.
  auto* columns = new QHBoxLayout(Panel1);
  columns->setContentsMargins(0, 0, 0, 0);
  auto* readSide = new QVBoxLayout;
  auto* writeSide = new QVBoxLayout;
  columns->addLayout(readSide, 1);
  columns->addSpacing(14);
  columns->addLayout(writeSide, 1);
  auto row = [](QVBoxLayout* side, std::initializer_list<QWidget*> widgets, int stretchAt = -1) {
    auto* h = new QHBoxLayout;
    int i = 0;
    for (QWidget* w : widgets) h->addWidget(w, i++ == stretchAt ? 1 : 0);
    if (stretchAt < 0) h->addStretch(1);
    side->addLayout(h);
  };
  readSide->addWidget(LbDescription);
  readSide->addWidget(EdDescription);
  readSide->addSpacing(6);
  readSide->addWidget(LbReadout);
  readSide->addWidget(RbActRec);
  row(readSide, {RbReadFrom, CbMonth, SpYear});
  readSide->addWidget(CbSyncClock);
  readSide->addWidget(ChBReadNewPages);
  readSide->addSpacing(6);
  readSide->addWidget(ChBOffset);
  auto* offsets = new QGridLayout;
  offsets->addWidget(LbP1, 0, 0);
  offsets->addWidget(FeP1, 0, 1);
  offsets->addWidget(LbP2, 0, 2);
  offsets->addWidget(FeP2, 0, 3);
  offsets->addWidget(LbUnit, 1, 0);
  offsets->addWidget(CbPUnit, 1, 1);
  offsets->setColumnStretch(4, 1);
  readSide->addLayout(offsets);
  readSide->addWidget(LbCorrInfo);
  readSide->addSpacing(6);
  row(readSide, {LbLastContact, LbLastExecDate});
  readSide->addWidget(LbResetHint);
  readSide->addStretch(1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(btnReset);
  bottom->addStretch(1);
  readSide->addLayout(bottom);

  writeSide->addWidget(ChBWriteConfig);
  writeSide->addWidget(LbConfigFile);
  row(writeSide, {EdIntPath, BtnOpenFile}, 0);
  writeSide->addWidget(ChBWL);
  writeSide->addWidget(ChBWriteID);
  writeSide->addWidget(LbHint);
  writeSide->addWidget(ChBID);
  writeSide->addWidget(EdID);
  writeSide->addWidget(ChBComment);
  writeSide->addWidget(Memo1, 1);

  for (TFloatEdit* fe : {FeP1, FeP2}) fe->setMaximumWidth(110);
  // A whole identity of 63 characters in view (the logger's name in every file name); its
  // own row under the box gives it the column's width.
  EdID->setMinimumWidth(EdID->fontMetrics().averageCharWidth() * kMaxIdLength + 16);
  // Long texts wrap within their column instead of widening the dialog.
  for (QLabel* l : {LbCorrInfo, LbHint, LbResetHint, LbConfigFile}) {
    l->setWordWrap(true);
    l->setMinimumWidth(200);
  }

  // Everything but the Close row sits in a scroll area: where a screen is smaller still
  // (or the desktop scales up), the options scroll instead of being cut.
  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("OptionsContent"));
  auto* top = new QHBoxLayout(content);
  top->setContentsMargins(0, 0, 0, 0);
  top->addLayout(left, 0);
  top->addSpacing(10);
  top->addWidget(Panel1, 1);
  scroll_ = new FittingScrollArea(this);
  scroll_->setObjectName(QStringLiteral("OptionsScroll"));
  scroll_->setWidget(content);
  auto* closeRow = new QHBoxLayout;
  closeRow->addWidget(LbStoreNotice, 1);
  closeRow->addStretch(0);  // keeps Close at its size while the notice is hidden
  closeRow->addWidget(btnClose, 0, Qt::AlignBottom);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scroll_, 1);
  layout->addLayout(closeRow);
  LbDevices->setFixedWidth(170);
  BtnOpenFile->setFixedWidth(40);
}

void TFormLoggerConfig::ApplyLanguage() {
  setWindowTitle(Tx(kTextOptionsTitle));
  LbReg->setText(Tx(kTextRegisteredDevices));
  LbSN->setText(Tx(kTextSerialNumberLabel));
  LbReadout->setText(Tx(kTextReadoutOptions));
  RbActRec->setText(Tx(kTextReadActualRecord));
  RbReadFrom->setText(Tx(kTextReadFrom));
  CbSyncClock->setText(Tx(kTextSyncClock));
  ChBReadNewPages->setText(Tx(kTextReadNewPages));
  ChBOffset->setText(Tx(kTextOffsetCorrection));
  LbP1->setText(Tx(kTextP1));
  LbP2->setText(Tx(kTextP2));
  LbUnit->setText(Tx(kTextUnit));
  ChBWriteConfig->setText(Tx(kTextWriteConfig));
  LbConfigFile->setText(Tx(kTextConfigFileLabel));
  ChBWL->setText(Tx(kTextWaterLevelConfig));
  ChBID->setText(Tx(kTextNewIdentity));
  ChBComment->setText(Tx(kTextNewCommentLabel));
  btnAdd->setText(Tx(kTextAddDevice));
  btnDel->setText(Tx(kTextDeleteDevice));
  btnClose->setText(Tx(kTextOptionsClose));
  CbMonth->clear();
  for (int id = kTextJanuary; id <= kTextDecember; ++id) CbMonth->addItem(Tx(id));
  // The longest month name ("Dezember") whole, however narrow the column gets.
  CbMonth->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  CbMonth->setMinimumWidth(CbMonth->sizeHint().width());
  ChBWriteID->setText(Tx(kTextWriteNewText));
  LbHint->setText(KeepMarksWithWord(Tx(kTextTransferHint)));
  btnReset->setText(Tx(kTextClearOptions));
  LbDescription->setText(Tx(kTextDescription));
  LbLastContact->setText(Tx(kTextLastContact));
  LbResetHint->setText(KeepMarksWithWord(Tx(kTextResetHint)));
  LbCorrInfo->setText(KeepMarksWithWord(Tx(kTextOffsetHint)));
}

// ---------------------------------------------------------------- enabling rules

void TFormLoggerConfig::ApplyEnablingRules() {
  RbReadFromClick();
  ChBOffsetClick();
  ChBWriteConfigClick();
  ChBWriteIDClick();
  ChBIDClick();
  ChBCommentClick();
}

void TFormLoggerConfig::RbReadFromClick() {
  const bool on = RbReadFrom->isChecked();
  CbMonth->setEnabled(on);
  SpYear->setEnabled(on);
}

void TFormLoggerConfig::ChBOffsetClick() {
  const bool on = ChBOffset->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{LbP1, FeP1, LbP2, FeP2, LbUnit, CbPUnit}) {
    w->setEnabled(on);
  }
}

void TFormLoggerConfig::ChBWriteConfigClick() {
  const bool on = ChBWriteConfig->isChecked();
  BtnOpenFile->setEnabled(on);
  ChBWriteID->setEnabled(on);
  if (!on) ChBWriteID->setChecked(false);  // the file name stays
}

void TFormLoggerConfig::ChBWriteIDClick() {
  const bool on = ChBWriteID->isChecked();
  ChBID->setEnabled(on);
  ChBComment->setEnabled(on);
  if (!on) {
    ChBID->setChecked(false);  // the texts stay
    ChBComment->setChecked(false);
  }
}

void TFormLoggerConfig::ChBIDClick() { EdID->setEnabled(ChBID->isChecked()); }

void TFormLoggerConfig::ChBCommentClick() { Memo1->setEnabled(ChBComment->isChecked()); }

void TFormLoggerConfig::Memo1Change() {
  if (trimmingMemo_) return;
  // At most kMaxCommentLength characters as stored: what does not fit of the last typing
  // or pasting is dropped, as a length limit does.
  if (LoggerOptionsModel::StoredComment(Memo1->toPlainText()).size() <= kMaxCommentLength) return;
  trimmingMemo_ = true;
  QTextCursor cursor = Memo1->textCursor();
  while (LoggerOptionsModel::StoredComment(Memo1->toPlainText()).size() > kMaxCommentLength) {
    if (cursor.position() > 0) {
      cursor.deletePreviousChar();
    } else {
      cursor.movePosition(QTextCursor::End);
    }
  }
  Memo1->setTextCursor(cursor);
  trimmingMemo_ = false;
}

// ---------------------------------------------------------------- clear and events

void TFormLoggerConfig::ClearOptions() {
  LbDescription->setEnabled(true);
  EdDescription->setEnabled(true);
  CbMonth->setCurrentIndex(QDate::currentDate().month() - 1);
  SpYear->setValue(QDate::currentDate().year());
  CbPUnit->setCurrentIndex(0);
  RbActRec->setChecked(true);
  CbSyncClock->setChecked(true);
  ChBReadNewPages->setChecked(false);
  ChBOffset->setChecked(false);
  FeP1->SetValue(0);
  FeP2->SetValue(0);
  ChBWriteConfig->setChecked(false);
  EdIntPath->clear();
  ChBWriteID->setChecked(false);
  ChBWL->setChecked(false);
  ChBID->setChecked(false);
  EdID->clear();
  ChBComment->setChecked(false);
  Memo1->clear();
  if (LbDevices->count() > 0) btnDel->setEnabled(true);
  ApplyEnablingRules();
}

void TFormLoggerConfig::SelectRow(int row) {
  selecting_ = true;
  LbDevices->setCurrentRow(row);
  selecting_ = false;
}

void TFormLoggerConfig::showEvent(QShowEvent* event) {
  LbStoreNotice->hide();
  selecting_ = true;
  LbDevices->clear();
  selecting_ = false;
  FillDeviceList();
  if (LbDevices->count() == 0) {
    ClearOptions();
    btnDel->setEnabled(false);
    Panel1->setEnabled(false);
  } else {
    Panel1->setEnabled(true);
    btnDel->setEnabled(true);
    SelectRow(0);
    ShowDeviceOptions(LbDevices->item(0)->text());
  }
  LbDevices->setFocus();
  // The room the shown device's texts need, within the screen the dialog opens on.
  scroll_->updateGeometry();
  layout()->invalidate();
  PlaceOnScreenOf(this, parentWidget(), size().expandedTo(sizeHint()));
  QDialog::showEvent(event);
}

void TFormLoggerConfig::LbDevicesClick() {
  QListWidgetItem* item = LbDevices->currentItem();
  if (!item) return;
  SaveDeviceOptions(CurrentSN);
  ShowDeviceOptions(item->text());
}

void TFormLoggerConfig::btnAddClick() {
  if (!addDev_) return;
  QStringList list;
  for (int i = 0; i < LbDevices->count(); ++i) list << LbDevices->item(i)->text();
  addDev_->SetDeviceList(list);
  addDev_->exec();
  if (!addDev_->Accepted) return;
  const QString serial = addDev_->EdSN->text();
  if (LbDevices->count() > 0) SaveDeviceOptions(CurrentSN);
  LbDevices->addItem(serial);
  SelectRow(LbDevices->count() - 1);
  CurrentSN = serial;
  model_.LoadNew(serial);
  LbStoreNotice->hide();
  Panel1->setEnabled(true);
  ClearOptions();
  EdDescription->clear();
  LbLastExecDate->clear();
  EdDescription->setFocus();
}

void TFormLoggerConfig::btnDelClick() {
  QListWidgetItem* item = LbDevices->currentItem();
  if (!item || !message_) return;
  if (message_->ShowMessageBox(Tx(kTextDeleteQuestion), Tx(kTextDeleteTitle), mkYesNo) != maYes) {
    return;
  }
  RegisteredDeviceStore().Remove(item->text());
  selecting_ = true;
  delete LbDevices->takeItem(LbDevices->row(item));
  selecting_ = false;
  SelectRow(0);
  if (LbDevices->count() == 0) {
    Panel1->setEnabled(false);
    btnDel->setEnabled(false);
  } else {
    btnDel->setEnabled(true);
    ShowDeviceOptions(LbDevices->item(0)->text());
  }
}

void TFormLoggerConfig::btnResetClick() { ClearOptions(); }

void TFormLoggerConfig::btnCloseClick() {
  if (LbDevices->count() > 0) SaveDeviceOptions(CurrentSN);
  done(QDialog::Accepted);
}

void TFormLoggerConfig::BtnOpenFileClick() {
  const QString folder = ConfigFileFolder ? ConfigFileFolder() : QString();
  QFileDialog dialog(this, Tx(kTextOpenConfigFile), folder,
                     Tx(kTextConfigFileFilter) + QStringLiteral(" (*.cfx)"));
  dialog.setObjectName(QStringLiteral("OpenDialog1"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    EdIntPath->clear();
    ChBWL->setChecked(false);
    return;
  }
  const QString file = QDir::toNativeSeparators(dialog.selectedFiles().first());
  EdIntPath->setText(file);
  bool wl = false;
  if (ReadCfxHeader(file, wl)) {
    ChBWL->setChecked(wl);
  } else if (message_) {
    // Not in the comment box: what stands there is written into the logger as its comment.
    message_->ShowMessageBox(Tx(kTextCfxRejected), Tx(kTextOptionsTitle), mkOk,
                             MessageIcon::Warning);
  }
}

bool TFormLoggerConfig::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && watched == LbDevices->viewport())
    rowAtPress_ = LbDevices->currentRow();
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (IsEnterKey(key) && watched != Memo1 && !Memo1->isAncestorOf(qobject_cast<QWidget*>(watched))) {
      btnCloseClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace varnel
