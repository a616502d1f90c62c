#pragma once
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

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

  // Reads the history again. False (the reason shown) when it cannot be read.
  bool Refresh();

  QTableWidget* Table() const { return table_; }
  const std::vector<LoggerSummary>& Loggers() const { return loggers_; }
  // Called with the serial number of a double-clicked row.
  std::function<void(std::uint32_t)> OnOpenData;

 protected:
  // The columns are measured again once the window has its final font.
  void showEvent(QShowEvent* event) override;

 private:
  QString historyPath_;
  std::vector<LoggerSummary> loggers_;
  QTableWidget* table_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* refresh_ = nullptr;
};

}  // namespace varnel
