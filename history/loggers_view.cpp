#include "history/loggers_view.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/locale_text.h"
#include "database/contact_store.h"
#include "history/history_report.h"
#include "history/history_settings.h"
#include "history/history_summary.h"
#include "lang/lang.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

QString Text(int id) { return QString::fromStdString(LoadText(id)); }

template <typename T>
QString Opt(const std::optional<T>& v, int decimals = 0, double scale = 1.0) {
  if (!v) return QStringLiteral("-");
  return QString::number(static_cast<double>(*v) * scale, 'f', decimals);
}

// The window writes times as every other window of the program does; the console report
// keeps its fixed form for the programs that read it.
QString ContactTimeText(std::int64_t t) {
  const QDateTime local = QDateTime::fromSecsSinceEpoch(t);
  return DateTimeText(local.date(), local.time());
}

enum Column { kSerial, kIdentity, kLast, kDays, kBattery, kBatteryTrend, kClock, kDrift, kRing,
              kResult, kContacts, kWarnings, kAlerts, kColumns };

}  // namespace

LoggersView::LoggersView(QString historyPath, QWidget* parent)
    : QWidget(parent), historyPath_(std::move(historyPath)) {
  setWindowTitle(QStringLiteral("Varnel - ") + Text(kTextLoggersTitle));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  refresh_ = new QPushButton(Text(kTextRefresh), this);
  status_ = new QLabel(this);
  top->addWidget(refresh_);
  top->addWidget(status_, 1);
  layout->addLayout(top);
  table_ = new QTableWidget(0, kColumns, this);
  table_->setHorizontalHeaderLabels(
      {Text(kTextColumnSerial), Text(kTextColumnIdentity), Text(kTextColumnLastContact),
       Text(kTextColumnDaysSince), Text(kTextColumnBattery), Text(kTextColumnBatteryPerDay),
       Text(kTextColumnClock), Text(kTextColumnClockPerDay), Text(kTextColumnRingUse),
       Text(kTextColumnLastResult), Text(kTextColumnContacts), Text(kTextColumnWarnings),
       Text(kTextDigestOpen)});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->setVisible(false);
  table_->setWordWrap(false);  // a serial number or a time broken over two lines is misread
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_, 1);
  connect(refresh_, &QPushButton::clicked, this, [this] { Refresh(); });
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    if (OnOpenData && row >= 0 && row < static_cast<int>(loggers_.size())) {
      OnOpenData(loggers_[static_cast<std::size_t>(row)].SerialNumber);
    }
  });
  resize(1100, 420);
  Refresh();
}

void LoggersView::Refresh() {
  // A reading already under way is overtaken: only the newest one's result is shown.
  const int generation = ++generation_;
  loading_ = true;
  status_->setText(Text(kTextReadingHistory));
  const QString path = historyPath_;
  const HistoryThresholds limits = ReadHistoryThresholds();
  const std::int64_t now = QDateTime::currentSecsSinceEpoch();
  work_.Run<Reading>(
      [path, limits, now] {
        Reading r;
        // A database URL: the contacts of every collector that writes into it.
        const auto store = ContactStoreFor(path, &r.Error);
        if (store) r.Error = store->Open(true);
        if (store && r.Error.empty()) {
          r.Loggers = SummarizeStoredHistory(*store, std::nullopt, now, limits, &r.Error);
        }
        r.Alerts = OpenAlertsByLogger(DefaultAlertBookPath());
        return r;
      },
      [this, generation](Reading r) { Show(std::move(r), generation); });
}

void LoggersView::Show(Reading reading, int generation) {
  if (generation != generation_) return;
  loading_ = false;
  loggers_ = std::move(reading.Loggers);
  alerts_ = std::move(reading.Alerts);
  const std::string& error = reading.Error;
  table_->setRowCount(static_cast<int>(loggers_.size()));
  const QColor warnBack(0xff, 0xe0, 0xd8), warnText(0xb0, 0x10, 0x10);
  for (int r = 0; r < static_cast<int>(loggers_.size()); ++r) {
    const LoggerSummary& s = loggers_[static_cast<std::size_t>(r)];
    QStringList warnings;
    for (HistoryWarning w : s.Warnings) warnings << Text(HistoryWarningTextId(w));
    QStringList alerts;
    if (const auto open = alerts_.find(s.SerialNumber); open != alerts_.end()) {
      for (const Alert& a : open->second) alerts << QString::fromStdString(a.What);
    }
    const QString cells[kColumns] = {
        QString::number(s.SerialNumber),
        QString::fromStdString(s.IdentityText),
        ContactTimeText(s.LastContact),
        QString::number(s.DaysSince, 'f', 1),
        Opt(s.Battery),
        Opt(s.BatteryPerDay, 2),
        Opt(s.ClockOffset),
        Opt(s.DriftPerDay, 1),
        Opt(s.RingUse, 1, 100.0),
        Text(ContactResultTextId(s.LastResult)),
        QString::number(s.Contacts),
        warnings.join(QStringLiteral("; ")),
        alerts.join(QStringLiteral("; ")),
    };
    for (int c = 0; c < kColumns; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c != kIdentity && c != kLast && c != kResult && c != kWarnings && c != kAlerts) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      }
      if (!s.Warnings.empty() || !alerts.isEmpty()) {
        item->setBackground(warnBack);
        if (c == kWarnings || c == kAlerts) item->setForeground(warnText);
      }
      table_->setItem(r, c, item);
    }
  }
  table_->resizeColumnsToContents();
  error_ = QString::fromStdString(error);
  status_->setText(error_);
  if (OnLoaded) OnLoaded();
}

void LoggersView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  table_->resizeColumnsToContents();
}

}  // namespace varnel
