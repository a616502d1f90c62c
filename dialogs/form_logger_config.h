#pragma once
#include <QDialog>
#include <QString>
#include <functional>

#include "dialogs/logger_options_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QWidget;

// "Read/Write Options": the editor of the registered-devices store. For every logger the
// operator registered by serial number it keeps what the next contact is to do. The dialog
// saves the device it shows whenever the operator switches to another one and when it is
// closed; nothing discards an edit. When the entry on show changes in the store meanwhile
// (a call carried its options out, another program wrote it), the sections the operator
// changed keep what was typed, the others take the stored values, and the dialog says so.
namespace varnel {

class TFloatEdit;
class TFormAddDev;
class TFormMessage;

class TFormLoggerConfig : public QDialog {
  Q_OBJECT
 public:
  explicit TFormLoggerConfig(QWidget* owner = nullptr);
  ~TFormLoggerConfig() override;

  void SetAddDeviceDialog(TFormAddDev* dialog) { addDev_ = dialog; }
  void SetMessageBox(TFormMessage* box) { message_ = box; }
  // The folder the open-file dialog for .cfx files starts in (the program's setting).
  std::function<QString()> ConfigFileFolder;

  // Units per bar of the pressure unit at `index`; 1 outside the list.
  static float UnitFactor(int index);

  void FillDeviceList();
  void ShowDeviceOptions(const QString& serial);
  // False when the store could not be written (the operator has been told).
  bool SaveDeviceOptions(const QString& serial);
  void ClearOptions();

  // The serial number whose values the controls show.
  QString CurrentSN;

  QLabel* LbReg;
  QLabel* LbSN;
  QListWidget* LbDevices;
  QPushButton* btnAdd;
  QPushButton* btnDel;
  QWidget* Panel1;
  QLabel* LbDescription;
  QLineEdit* EdDescription;
  QLabel* LbReadout;
  QRadioButton* RbActRec;
  QRadioButton* RbReadFrom;
  QComboBox* CbMonth;
  QSpinBox* SpYear;
  QCheckBox* CbSyncClock;
  // Not one of the one-shot options: only the pages written since the last contact cross
  // the line, for as long as it is ticked.
  QCheckBox* ChBReadNewPages;
  QCheckBox* ChBOffset;
  QLabel* LbP1;
  TFloatEdit* FeP1;
  QLabel* LbP2;
  TFloatEdit* FeP2;
  QLabel* LbUnit;
  QComboBox* CbPUnit;
  QLabel* LbCorrInfo;
  QCheckBox* ChBWriteConfig;
  QLabel* LbConfigFile;
  QLineEdit* EdIntPath;
  QPushButton* BtnOpenFile;
  QCheckBox* ChBWL;
  QCheckBox* ChBWriteID;
  QLabel* LbHint;
  QCheckBox* ChBID;
  QLineEdit* EdID;
  QCheckBox* ChBComment;
  QPlainTextEdit* Memo1;
  QLabel* LbLastContact;
  QLabel* LbLastExecDate;
  QLabel* LbResetHint;
  // Says what changed in the store underneath the shown entry; hidden until then.
  QLabel* LbStoreNotice;
  QPushButton* btnReset;
  QPushButton* btnClose;

  static constexpr int kMaxIdLength = 63;
  static constexpr int kMaxCommentLength = LoggerOptionsModel::kMaxCommentLength;

 public slots:
  void LbDevicesClick();
  void btnAddClick();
  void btnDelClick();
  void btnResetClick();
  void btnCloseClick();
  void BtnOpenFileClick();
  // Escape does not leave the dialog: only Close and Enter do, and both save.
  void reject() override {}

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyLanguage();
  void BuildLayout();
  void RbReadFromClick();
  void ChBOffsetClick();
  void ChBWriteConfigClick();
  void ChBWriteIDClick();
  void ChBIDClick();
  void ChBCommentClick();
  void Memo1Change();
  void SetOffsetEdit(TFloatEdit* edit, const QString& stored);
  void SelectRow(int row);
  void EntryWasReset(const QString& serial);

  // Shows the values `entry` holds; the controls of the values it lacks keep what they show.
  void ShowEntry(const OptionsEntry& entry);
  void ApplyEnablingRules();

  // What the option controls show, and the controls of one section set back to `shown`.
  ShownOptions CaptureShown() const;
  void ShowSection(int section, const ShownOptions& shown);
  // When the store no longer holds what the shown entry was read from: takes the stored
  // values into the sections the operator left alone, keeps the others as typed, and returns
  // what to tell the operator (empty when nothing visible changed). `operatorEdits` tells
  // whether any section differs from what was read.
  QString TakeStoreChanges(bool& operatorEdits);
  void ShowStoreNotice(const QString& text);

  TFormAddDev* addDev_ = nullptr;
  TFormMessage* message_ = nullptr;
  bool selecting_ = false;
  int rowAtPress_ = -1;  // the current row when the mouse went down on the device list
  bool trimmingMemo_ = false;
  QScrollArea* scroll_ = nullptr;
  int resetListener_ = 0;
  // The shown device's entry as last read from or written to the store, and what the
  // controls showed right after: the operator's edits are the differences from it.
  LoggerOptionsModel model_;
};

}  // namespace varnel
