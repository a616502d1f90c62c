#pragma once
#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

// The prompt for the serial number of a device to register. A number as a logger reports it
// (decimal digits, no leading zero) that is not already in the device list is accepted.
namespace varnel {

class TFormMessage;

class TFormAddDev : public QDialog {
  Q_OBJECT
 public:
  explicit TFormAddDev(QWidget* owner = nullptr);

  void SetMessageBox(TFormMessage* box) { message_ = box; }
  // The registered serial numbers to check against; set before every showing.
  void SetDeviceList(const QStringList& list) { devices_ = list; }

  bool Accepted = false;

  QLabel* LbText;
  QLineEdit* EdSN;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 public slots:
  void btnOKClick();
  void btnCancelClick();
  void reject() override { btnCancelClick(); }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyLanguage();

  QStringList devices_;
  TFormMessage* message_ = nullptr;
};

}  // namespace varnel
