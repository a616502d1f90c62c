#pragma once
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "alerts/alert_settings.h"
#include "common/background_work.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The configuration dialog's page for the alerts: where they go (mail, the operator's own
// command, the system's log) and the daily digest, with a button that sends a test alert
// through what the page shows now, before it is stored.
namespace varnel {

class AlertsPage : public QWidget {
  Q_OBJECT
 public:
  explicit AlertsPage(QWidget* parent = nullptr);

  void ApplyLanguage();
  // The values shown; what the page does not show (the CA and netrc files) is kept as given.
  void SetValues(const AlertSettings& settings);
  AlertSettings Values() const;
  // Sends a test alert with these settings and says what each channel did; run on a thread
  // of its own (it waits for the mail server). Not set: the button is hidden.
  std::function<std::vector<std::string>(const AlertSettings&)> OnTest;
  bool Testing() const { return testing_; }

  QLabel* LbMail;
  QLineEdit* EdMail;
  QLabel* LbFrom;
  QLineEdit* EdFrom;
  QLabel* LbTo;
  QLineEdit* EdTo;
  QLabel* LbPassword;
  QLabel* LbCommand;
  QLineEdit* EdCommand;
  QCheckBox* ChBSystemLog;
  QLabel* LbDigest;
  QComboBox* CbDigest;
  QPushButton* btnTest;
  QLabel* LbTestResult;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void TestClick();

  AlertSettings kept_;
  bool testing_ = false;
  BackgroundWork work_{this};
};

}  // namespace varnel
