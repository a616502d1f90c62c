// The read/write options dialog's side of the registered-devices store: the device list,
// an entry shown in the controls and the controls read back, saving, and what changed in the
// store underneath the entry on show. What to keep and what to take is the model's to say.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <optional>

#include "common/locale_text.h"
#include "app/registered_device_store.h"
#include "dialogs/dialog_support.h"
#include "dialogs/float_edit.h"
#include "dialogs/form_logger_config.h"
#include "dialogs/form_message.h"
#include "lang/text_ids.h"

namespace varnel {

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

void TFormLoggerConfig::ShowDeviceOptions(const QString& serial) {
  CurrentSN = serial;
  LbStoreNotice->hide();
  const OptionsEntry& entry = model_.Load(serial);
  if (entry.InStore()) ShowEntry(entry);
  model_.SetShown(CaptureShown());
}

void TFormLoggerConfig::ShowEntry(const OptionsEntry& stored) {
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
  if (entry.Has(V::PUnit)) CbPUnit->setCurrentIndex(LoggerOptionsModel::ShownUnit(v.PUnit));
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
  if (entry.Has(V::Comment)) Memo1->setPlainText(LoggerOptionsModel::ShownComment(v.Comment));
  if (entry.Has(V::LastContact)) LbLastExecDate->setText(v.LastContact);
  ChBReadNewPages->setChecked(stored.ReadNewPages);
}

// ---------------------------------------------------------------- changes underneath

ShownOptions TFormLoggerConfig::CaptureShown() const {
  ShownOptions s;
  s.Description = EdDescription->text();
  s.ReadActualRec = RbActRec->isChecked();
  s.ReadFromMonth = CbMonth->currentIndex();
  s.ReadFromYear = SpYear->value();
  s.SynchTime = CbSyncClock->isChecked();
  s.ReadNewPages = ChBReadNewPages->isChecked();
  s.OffsetCorr = ChBOffset->isChecked();
  s.P1Text = FeP1->text();
  s.P2Text = FeP2->text();
  s.Unit = CbPUnit->currentIndex();
  s.WriteConfig = ChBWriteConfig->isChecked();
  s.ConfigFile = EdIntPath->text();
  s.WLConfig = ChBWL->isChecked();
  s.WriteText = ChBWriteID->isChecked();
  s.NewID = ChBID->isChecked();
  s.ID = EdID->text();
  s.NewComment = ChBComment->isChecked();
  s.Comment = Memo1->toPlainText();
  s.LastContact = LbLastExecDate->text();
  return s;
}

void TFormLoggerConfig::ShowSection(int section, const ShownOptions& s) {
  // Controlling boxes before the controls that depend on them, so that setting a section
  // passes through the enabling rules as the operator did.
  using M = LoggerOptionsModel;
  switch (section) {
    case M::kDescription: EdDescription->setText(s.Description); break;
    case M::kReadout:
      (s.ReadActualRec ? RbActRec : RbReadFrom)->setChecked(true);  // ticks the one that was on
      CbMonth->setCurrentIndex(s.ReadFromMonth);
      SpYear->setValue(s.ReadFromYear);
      break;
    case M::kClock: CbSyncClock->setChecked(s.SynchTime); break;
    case M::kNewPages: ChBReadNewPages->setChecked(s.ReadNewPages); break;
    case M::kOffset:
      ChBOffset->setChecked(s.OffsetCorr);
      FeP1->setText(s.P1Text);
      FeP2->setText(s.P2Text);
      CbPUnit->setCurrentIndex(s.Unit);
      break;
    case M::kWrite:
      ChBWriteConfig->setChecked(s.WriteConfig);
      EdIntPath->setText(s.ConfigFile);
      ChBWL->setChecked(s.WLConfig);
      ChBWriteID->setChecked(s.WriteText);
      ChBID->setChecked(s.NewID);
      EdID->setText(s.ID);
      ChBComment->setChecked(s.NewComment);
      Memo1->setPlainText(s.Comment);
      break;
    case M::kLastContact: LbLastExecDate->setText(s.LastContact); break;
    default: break;
  }
}

QString TFormLoggerConfig::TakeStoreChanges(bool& operatorEdits) {
  operatorEdits = false;
  const std::optional<OptionsEntry> now = model_.ChangedUnderneath();
  if (!now) return {};
  const ShownOptions typed = CaptureShown();
  ShowEntry(*now);
  const LoggerOptionsModel::Taken taken = model_.TakeStored(*now, typed, CaptureShown());
  for (const LoggerOptionsModel::Section s : taken.Typed) ShowSection(s, typed);
  ApplyEnablingRules();
  operatorEdits = !taken.Typed.empty();
  return taken.Notice;
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
  const bool ok = model_.Save(serial, CaptureShown());
  if (!message_) return ok;
  if (!ok) {
    message_->ShowMessageBox(Tx(kTextStoreFailed), Tx(kTextOptionsTitle), mkOk, MessageIcon::Critical);
  } else if (operatorEdits && !changes.isEmpty()) {
    message_->ShowMessageBox(changes + QLatin1Char('\n') + Tx(kTextChangesSaved), Tx(kTextOptionsTitle), mkOk);
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

}  // namespace varnel
