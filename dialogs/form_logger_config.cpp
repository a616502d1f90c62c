#include "dialogs/form_logger_config.h"

#include <QAbstractButton>
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

namespace varnel {

namespace {

constexpr int kCfxRejectedText = 707;
constexpr int kStoreFailedText = 713;
constexpr int kReadNewPagesText = 812;
constexpr int kStoreChangedText = 890;      // "The stored options of device" <serial>
constexpr int kStoreChangedText2 = 891;     // "were changed meanwhile ..."
constexpr int kKeptAsTypedText = 892;
constexpr int kNowAsStoredText = 893;
constexpr int kChangesSavedText = 894;

// A control's state as one value, and back: what the operator sees of it.
QVariant StateOf(const QWidget* w) {
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->isChecked();
  if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentIndex();
  if (auto* sp = qobject_cast<const QSpinBox*>(w)) return sp->value();
  if (auto* m = qobject_cast<const QPlainTextEdit*>(w)) return m->toPlainText();
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
  return {};
}

void SetState(QWidget* w, const QVariant& v) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    // A radio button is set by ticking the one that was on.
    if (v.toBool() || !b->autoExclusive()) b->setChecked(v.toBool());
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    c->setCurrentIndex(v.toInt());
  } else if (auto* sp = qobject_cast<QSpinBox*>(w)) {
    sp->setValue(v.toInt());
  } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
    m->setPlainText(v.toString());
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setText(v.toString());
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(v.toString());
  }
}

QString StoredComment(const QString& memoText) {
  QString t = memoText;
  t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return t;
}

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
  row(writeSide, {ChBID, EdID}, 1);
  writeSide->addWidget(ChBComment);
  writeSide->addWidget(Memo1, 1);

  for (TFloatEdit* fe : {FeP1, FeP2}) fe->setMaximumWidth(110);
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
  setWindowTitle(Tx(300));
  LbReg->setText(Tx(301));
  LbSN->setText(Tx(302));
  LbReadout->setText(Tx(303));
  RbActRec->setText(Tx(304));
  RbReadFrom->setText(Tx(305));
  CbSyncClock->setText(Tx(306));
  ChBReadNewPages->setText(Tx(kReadNewPagesText));
  ChBOffset->setText(Tx(307));
  LbP1->setText(Tx(308));
  LbP2->setText(Tx(309));
  LbUnit->setText(Tx(310));
  ChBWriteConfig->setText(Tx(311));
  LbConfigFile->setText(Tx(312));
  ChBWL->setText(Tx(313));
  ChBID->setText(Tx(314));
  ChBComment->setText(Tx(315));
  btnAdd->setText(Tx(316));
  btnDel->setText(Tx(317));
  btnClose->setText(Tx(318));
  CbMonth->clear();
  for (int id = 319; id <= 330; ++id) CbMonth->addItem(Tx(id));
  ChBWriteID->setText(Tx(331));
  LbHint->setText(KeepMarksWithWord(Tx(332)));
  btnReset->setText(Tx(335));
  LbDescription->setText(Tx(336));
  LbLastContact->setText(Tx(339));
  LbResetHint->setText(KeepMarksWithWord(Tx(340)));
  LbCorrInfo->setText(KeepMarksWithWord(Tx(341)));
}

// ---------------------------------------------------------------- enabling rules

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
  if (StoredComment(Memo1->toPlainText()).size() <= kMaxCommentLength) return;
  trimmingMemo_ = true;
  QTextCursor cursor = Memo1->textCursor();
  while (StoredComment(Memo1->toPlainText()).size() > kMaxCommentLength) {
    if (cursor.position() > 0) {
      cursor.deletePreviousChar();
    } else {
      cursor.movePosition(QTextCursor::End);
    }
  }
  Memo1->setTextCursor(cursor);
  trimmingMemo_ = false;
}

// ---------------------------------------------------------------- store

void TFormLoggerConfig::FillDeviceList() {
  for (const QString& serial : RegisteredDeviceStore().List()) LbDevices->addItem(serial);
}

void TFormLoggerConfig::SetOffsetEdit(TFloatEdit* edit, const QString& stored) {
  double v = 0;
  if (ParseLocaleNumber(stored, v)) {
    edit->SetValue(v);
  } else {
    // Not a number under this system's notation: shown as it is stored, so the operator
    // sees it; it counts as 0, as it does for the readout.
    edit->setText(stored);
    edit->Validate();
  }
}

TFormLoggerConfig::StoreEntry TFormLoggerConfig::ReadEntry(const QString& serial) {
  const RegisteredDeviceStore store;
  StoreEntry e;
  e.Stored = store.Read(serial);
  e.ReadNewPages = store.ReadOnlyNewPages(serial);
  return e;
}

void TFormLoggerConfig::ShowDeviceOptions(const QString& serial) {
  CurrentSN = serial;
  LbStoreNotice->hide();
  loaded_ = ReadEntry(serial);
  loadedFromStore_ = loaded_.Stored.Present.any();
  if (loadedFromStore_) ShowEntry(loaded_);
  shownBase_ = CaptureShown();
}

void TFormLoggerConfig::ShowEntry(const StoreEntry& stored) {
  const StoredDevice& entry = stored.Stored;
  const DeviceValues& v = entry.Values;
  using V = DeviceValue;
  if (entry.Has(V::Description)) EdDescription->setText(v.Description);
  if (entry.Has(V::ReadActualRec)) (v.ReadActualRec ? RbActRec : RbReadFrom)->setChecked(true);
  RbReadFromClick();
  if (entry.Has(V::ReadFromMonth) && v.ReadFromMonth >= 0 && v.ReadFromMonth < 12) {
    CbMonth->setCurrentIndex(v.ReadFromMonth);
  }
  if (entry.Has(V::ReadFromYear)) SpYear->setValue(v.ReadFromYear);
  if (entry.Has(V::SynchTime)) CbSyncClock->setChecked(v.SynchTime);
  if (entry.Has(V::OffsetCorr)) ChBOffset->setChecked(v.OffsetCorr);
  ChBOffsetClick();
  if (entry.Has(V::P1Val)) SetOffsetEdit(FeP1, v.P1Val);
  if (entry.Has(V::P2Val)) SetOffsetEdit(FeP2, v.P2Val);
  if (entry.Has(V::PUnit)) {
    // As the readout takes it: the low byte, and a unit outside the list counts as bar.
    const int unit = v.PUnit & 0xFF;
    CbPUnit->setCurrentIndex(unit < kPressureUnitCount ? unit : 0);
  }
  if (entry.Has(V::WriteConfig)) ChBWriteConfig->setChecked(v.WriteConfig);
  ChBWriteConfigClick();
  if (entry.Has(V::ConfigFile)) EdIntPath->setText(v.ConfigFile);
  if (entry.Has(V::WriteText)) ChBWriteID->setChecked(v.WriteText);
  ChBWriteIDClick();
  if (entry.Has(V::WLConfig)) ChBWL->setChecked(v.WLConfig);
  if (entry.Has(V::NewID)) ChBID->setChecked(v.NewID);
  ChBIDClick();
  if (entry.Has(V::ID)) EdID->setText(v.ID);
  if (entry.Has(V::NewComment)) ChBComment->setChecked(v.NewComment);
  ChBCommentClick();
  if (entry.Has(V::Comment)) {
    QString text = v.Comment;
    while (text.size() > kMaxCommentLength) text.chop(1);
    if (text.endsWith(QLatin1Char('\r'))) text.chop(1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo1->setPlainText(text);
  }
  if (entry.Has(V::LastContact)) LbLastExecDate->setText(v.LastContact);
  ChBReadNewPages->setChecked(stored.ReadNewPages);
}

// ---------------------------------------------------------------- changes underneath

std::vector<QWidget*> TFormLoggerConfig::SectionControls(int section) const {
  // Controlling boxes before the controls that depend on them, so that restoring a section
  // passes through the enabling rules as the operator did.
  switch (section) {
    case kDescription: return {EdDescription};
    case kReadout: return {RbActRec, RbReadFrom, CbMonth, SpYear};
    case kClock: return {CbSyncClock};
    case kNewPages: return {ChBReadNewPages};
    case kOffset: return {ChBOffset, FeP1, FeP2, CbPUnit};
    case kWrite:
      return {ChBWriteConfig, EdIntPath, ChBWL, ChBWriteID, ChBID, EdID, ChBComment, Memo1};
    case kLastContact: return {LbLastExecDate};
    default: return {};
  }
}

QString TFormLoggerConfig::SectionName(int section) {
  static constexpr int kNames[kSectionCount] = {336, 303, 306, kReadNewPagesText, 307, 311, 339};
  return section >= 0 && section < kSectionCount ? Tx(kNames[section]) : QString();
}

TFormLoggerConfig::Shown TFormLoggerConfig::CaptureShown() const {
  Shown shown;
  for (int s = 0; s < kSectionCount; ++s) {
    for (const QWidget* w : SectionControls(s)) shown[static_cast<std::size_t>(s)] << StateOf(w);
  }
  return shown;
}

void TFormLoggerConfig::RestoreSection(int section, const QVariantList& values) {
  const std::vector<QWidget*> controls = SectionControls(section);
  for (std::size_t i = 0; i < controls.size() && i < static_cast<std::size_t>(values.size()); ++i) {
    SetState(controls[i], values[static_cast<qsizetype>(i)]);
  }
}

void TFormLoggerConfig::ApplyEnablingRules() {
  RbReadFromClick();
  ChBOffsetClick();
  ChBWriteConfigClick();
  ChBWriteIDClick();
  ChBIDClick();
  ChBCommentClick();
}

QString TFormLoggerConfig::TakeStoreChanges(bool& operatorEdits) {
  operatorEdits = false;
  if (!loadedFromStore_) return {};
  const StoreEntry now = ReadEntry(CurrentSN);
  // An entry deleted meanwhile comes back at the save, as typed.
  if (!now.Stored.Present.any() || now == loaded_) return {};
  const Shown typed = CaptureShown();
  ShowEntry(now);
  const Shown stored = CaptureShown();
  QStringList kept, adopted;
  for (int s = 0; s < kSectionCount; ++s) {
    const auto i = static_cast<std::size_t>(s);
    const bool edited = typed[i] != shownBase_[i];
    const bool changed = stored[i] != shownBase_[i];
    if (edited) {
      operatorEdits = true;
      RestoreSection(s, typed[i]);
      if (changed) kept << SectionName(s);
    } else if (changed) {
      adopted << SectionName(s);
    }
  }
  ApplyEnablingRules();
  loaded_ = now;
  shownBase_ = stored;
  if (kept.isEmpty() && adopted.isEmpty()) return {};
  QString text = Tx(kStoreChangedText) + QLatin1Char(' ') + CurrentSN + QLatin1Char(' ') +
                 Tx(kStoreChangedText2);
  const auto line = [&text](int id, const QStringList& sections) {
    if (sections.isEmpty()) return;
    text += QLatin1Char('\n') + Tx(id) + QLatin1Char(' ') + sections.join(QStringLiteral(", "));
  };
  line(kKeptAsTypedText, kept);
  line(kNowAsStoredText, adopted);
  return text;
}

void TFormLoggerConfig::ShowStoreNotice(const QString& text) {
  LbStoreNotice->setText(text);
  LbStoreNotice->show();
}

bool TFormLoggerConfig::SaveDeviceOptions(const QString& serial) {
  // Changed in the store since it was shown (by another program): what the operator left
  // alone takes the stored values, so that options a call carried out are not armed again.
  bool operatorEdits = false;
  const QString changes = serial == CurrentSN ? TakeStoreChanges(operatorEdits) : QString();
  RegisteredDeviceStore store;
  DeviceValues v;
  v.Description = EdDescription->text();
  v.ReadActualRec = RbActRec->isChecked();
  v.ReadFromMonth = CbMonth->currentIndex();
  v.ReadFromYear = SpYear->value();
  v.SynchTime = CbSyncClock->isChecked();
  v.OffsetCorr = ChBOffset->isChecked();
  v.P1Val = OffsetText(FeP1->GetValue());
  v.P2Val = OffsetText(FeP2->GetValue());
  v.PUnit = CbPUnit->currentIndex();
  v.CustomUnit = CbPUnit->currentText();
  v.WriteConfig = ChBWriteConfig->isChecked();
  v.ConfigFile = EdIntPath->text();
  v.WriteText = ChBWriteID->isChecked();
  v.WLConfig = ChBWL->isChecked();
  v.NewID = ChBID->isChecked();
  v.ID = EdID->text();
  v.NewComment = ChBComment->isChecked();
  v.Comment = StoredComment(Memo1->toPlainText());
  v.LastContact = LbLastExecDate->text();
  const bool ok = store.Write(serial, v) &&
                  store.SetReadOnlyNewPages(serial, ChBReadNewPages->isChecked());
  if (ok && serial == CurrentSN) {
    // Unsaved edits stay edits: only what reached the store is the new starting point.
    loaded_ = ReadEntry(serial);
    loadedFromStore_ = loaded_.Stored.Present.any();
    shownBase_ = CaptureShown();
  }
  if (!message_) return ok;
  if (!ok) {
    message_->ShowMessageBox(Tx(kStoreFailedText), Tx(300), mkOk, MessageIcon::Critical);
  } else if (operatorEdits && !changes.isEmpty()) {
    message_->ShowMessageBox(changes + QLatin1Char('\n') + Tx(kChangesSavedText), Tx(300), mkOk);
  }
  return ok;
}

void TFormLoggerConfig::EntryWasReset(const QString& serial) {
  // A call carried out the options of the device on show: the sections the operator did not
  // touch show what the store now holds, so that a later save does not arm the carried-out
  // options again; the typed ones stay, and the notice says which is which.
  if (!isVisible() || serial != CurrentSN || LbDevices->count() == 0) return;
  bool operatorEdits = false;
  const QString changes = TakeStoreChanges(operatorEdits);
  if (!changes.isEmpty()) ShowStoreNotice(changes);
}

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

// ---------------------------------------------------------------- events

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
  loadedFromStore_ = false;
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
  if (message_->ShowMessageBox(Tx(337), Tx(338), mkYesNo) != maYes) return;
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
  QFileDialog dialog(this, Tx(333), folder, Tx(334) + QStringLiteral(" (*.cfx)"));
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
    message_->ShowMessageBox(Tx(kCfxRejectedText), Tx(300), mkOk, MessageIcon::Warning);
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
