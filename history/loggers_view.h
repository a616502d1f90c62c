#pragma once
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/background_work.h"
#include "alerts/alert_book.h"
#include "history/logger_summary.h"

QT_BEGIN_NAMESPACE
class QLabel;
class QPushButton;
class QTableWidget;
QT_END_NAMESPACE

// The "Loggers" view: one row per logger from the contact history, as varnel-history
// prints it, with the warnings marked. A double click on a row asks for that logger's data.
namespace varnel {

class LoggersView : public QWidget {
 public:
  explicit LoggersView(QString historyPath, QWidget* parent = nullptr);

  // Reads the history again on a thread of its own; the table follows when it is read
  // (or the reason it could not be, in the status line).
  void Refresh();
  // The history is being read.
  bool Loading() const { return loading_; }
  // The reason the last reading failed; empty when it succeeded.
  const QString& ErrorText() const { return error_; }
  // Called on the window's thread whenever a reading has ended and the table shows it.
  std::function<void()> OnLoaded;

  QTableWidget* Table() const { return table_; }
  const std::vector<LoggerSummary>& Loggers() const { return loggers_; }
  // Called with the serial number of a double-clicked row.
  std::function<void(std::uint32_t)> OnOpenData;

 protected:
  // The columns are measured again once the window has its final font.
  void showEvent(QShowEvent* event) override;

 private:
  struct Reading {
    std::vector<LoggerSummary> Loggers;
    std::map<std::uint32_t, std::vector<Alert>> Alerts;  // open at this PC's collector
    std::string Error;
  };
  void Show(Reading reading, int generation);

  QString historyPath_;
  QString error_;
  bool loading_ = false;
  int generation_ = 0;
  std::vector<LoggerSummary> loggers_;
  std::map<std::uint32_t, std::vector<Alert>> alerts_;
  QTableWidget* table_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* refresh_ = nullptr;
  BackgroundWork work_{this};
};

}  // namespace varnel
