#include "dialogs/alerts_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/dialog_support.h"
#include "lang/text_ids.h"

namespace varnel {

AlertsPage::AlertsPage(QWidget* parent) : QWidget(parent) {
  LbMail = Named(new QLabel(this), "LbMail");
  EdMail = Named(new QLineEdit(this), "EdMail");
  EdMail->setPlaceholderText(QStringLiteral("smtp://mail.example.org:587"));
  LbFrom = Named(new QLabel(this), "LbFrom");
  EdFrom = Named(new QLineEdit(this), "EdFrom");
  LbTo = Named(new QLabel(this), "LbTo");
  EdTo = Named(new QLineEdit(this), "EdTo");
  EdTo->setPlaceholderText(QStringLiteral("ops@example.org, duty@example.org"));
  LbPassword = Named(new QLabel(this), "LbPassword");
  LbPassword->setWordWrap(true);
  LbCommand = Named(new QLabel(this), "LbCommand");
  EdCommand = Named(new QLineEdit(this), "EdCommand");
  ChBSystemLog = Named(new QCheckBox(this), "ChBSystemLog");
  LbDigest = Named(new QLabel(this), "LbDigest");
  CbDigest = Named(new QComboBox(this), "CbDigest");
  btnTest = Named(new QPushButton(this), "btnTest");
  btnTest->setAutoDefault(false);
  LbTestResult = Named(new QLabel(this), "LbTestResult");
  LbTestResult->setTextFormat(Qt::PlainText);
  LbTestResult->setWordWrap(true);
  LbTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
  LbTestResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Room for a line per channel before any test ran: the dialog does not grow to show them.
  LbTestResult->setMinimumHeight(4 * LbTestResult->fontMetrics().lineSpacing());

  auto* grid = new QGridLayout(this);
  int row = 0;
  for (auto [label, edit] : {std::pair<QLabel*, QLineEdit*>{LbMail, EdMail}, {LbFrom, EdFrom},
                             {LbTo, EdTo}}) {
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row++, 1, 1, 2);
  }
  grid->addWidget(LbPassword, row++, 1, 1, 2);
  grid->addWidget(LbCommand, row, 0);
  grid->addWidget(EdCommand, row++, 1, 1, 2);
  grid->addWidget(ChBSystemLog, row++, 0, 1, 3);
  grid->addWidget(LbDigest, row, 0);
  grid->addWidget(CbDigest, row++, 1);
  grid->addWidget(btnTest, row++, 0, 1, 2, Qt::AlignLeft);
  grid->addWidget(LbTestResult, row++, 0, 1, 3);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(2, 1);

  connect(btnTest, &QPushButton::clicked, this, &AlertsPage::TestClick);
  ApplyLanguage();
}

void AlertsPage::ApplyLanguage() {
  LbMail->setText(Tx(kTextAlertsMailServer));
  LbFrom->setText(Tx(kTextAlertsFrom));
  LbTo->setText(Tx(kTextAlertsTo));
  LbPassword->setText(Tx(kTextAlertsPassword));
  LbCommand->setText(Tx(kTextAlertsCommand));
  ChBSystemLog->setText(Tx(kTextAlertsSystemLog));
  LbDigest->setText(Tx(kTextAlertsDigest));
  btnTest->setText(Tx(kTextAlertsSendTest));
  const int digest = CbDigest->currentIndex();
  CbDigest->clear();
  CbDigest->addItem(Tx(kTextDigestNone));
  for (int h = 0; h < 24; ++h) CbDigest->addItem(QStringLiteral("%1:00").arg(h, 2, 10, QLatin1Char('0')));
  CbDigest->setCurrentIndex(digest < 0 ? 0 : digest);
}

void AlertsPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  btnTest->setVisible(static_cast<bool>(OnTest));
}

void AlertsPage::SetValues(const AlertSettings& s) {
  kept_ = s;
  EdMail->setText(s.Mail);
  EdFrom->setText(s.From);
  EdTo->setText(s.To);
  EdCommand->setText(s.Command);
  ChBSystemLog->setChecked(s.SystemLog);
  CbDigest->setCurrentIndex(s.DigestHour >= 0 && s.DigestHour <= 23 ? s.DigestHour + 1 : 0);
  LbTestResult->clear();
}

AlertSettings AlertsPage::Values() const {
  AlertSettings s = kept_;
  s.Mail = EdMail->text().trimmed();
  s.From = EdFrom->text().trimmed();
  s.To = EdTo->text().trimmed();
  s.Command = EdCommand->text().trimmed();
  s.SystemLog = ChBSystemLog->isChecked();
  s.DigestHour = CbDigest->currentIndex() - 1;
  return s;
}

void AlertsPage::TestClick() {
  if (!OnTest || testing_) return;
  testing_ = true;
  btnTest->setEnabled(false);
  LbTestResult->setText(Tx(kTextAlertsTesting));
  const auto test = OnTest;
  const AlertSettings settings = Values();
  work_.Run<std::vector<std::string>>([test, settings] { return test(settings); },
                                      [this](std::vector<std::string> said) {
                                        QStringList lines;
                                        for (const std::string& l : said) lines << QString::fromStdString(l);
                                        LbTestResult->setText(lines.join(QLatin1Char('\n')));
                                        btnTest->setEnabled(true);
                                        testing_ = false;
                                      });
}

}  // namespace varnel
