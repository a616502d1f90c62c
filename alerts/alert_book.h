#pragma once
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The conditions an operator is told of once when they begin and once when they end, and
// the book of those that are open now. The book lives in a file of the per-user data
// folder, so that a restart neither repeats an alert nor forgets to clear it.
namespace varnel {

struct Alert {
  std::string Key;           // whom and what: "40123/battery low", "collector/database"
  std::uint32_t Serial = 0;  // the logger; 0: the collector itself
  std::string Identity;      // the logger's identity text
  std::string What;          // in the operator's language: "Battery low"
  std::string Details;       // the figures behind it: "battery 10 %"
  std::int64_t Since = 0;    // when it was raised, seconds since 1970 UTC
};

class AlertBook {
 public:
  // Reads the book at `path` (none yet, or unreadable: nothing is open).
  explicit AlertBook(QString path);

  // True when the alert was not open: it is now, and is to be sent.
  bool Raise(const Alert& alert);
  // The alert that was open under `key`, now closed and to be sent as cleared.
  std::optional<Alert> Clear(const std::string& key);
  // The open keys that begin with `prefix`.
  std::vector<std::string> OpenKeys(const std::string& prefix) const;
  const std::map<std::string, Alert>& Open() const { return open_; }
  // Why the book could not be kept (empty when it could): the alerts still go out.
  const std::string& LastError() const { return error_; }

 private:
  void Save();

  QString path_;
  std::map<std::string, Alert> open_;
  std::string error_;
};

// The open alerts of the book at `path`, for the views (read only).
std::map<std::string, Alert> ReadOpenAlerts(const QString& path);
// The same by logger (the collector's own alerts left out), each logger's by key.
std::map<std::uint32_t, std::vector<Alert>> OpenAlertsByLogger(const QString& path);

// Where the collector keeps its open alerts: alerts.json in the per-user data folder.
QString DefaultAlertBookPath();

}  // namespace varnel
