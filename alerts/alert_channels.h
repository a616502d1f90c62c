#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "alerts/alert_book.h"
#include "alerts/alert_settings.h"

namespace varnel::notify {
class MailQueue;
struct MailMessage;
struct MailSettings;
}  // namespace varnel::notify

// Where an alert goes when it is raised or cleared: the system's log, the operator's own
// command and e-mail, each as set. Nothing here waits on the network or on the command: a
// call in progress never waits for an alert.
namespace varnel {

// The texts of an alert as every channel tells it.
struct AlertText {
  std::string Subject;  // "Varnel alert: 40123 Well 4: Battery low"
  std::string Body;     // what, whom, since when, the figures, which PC
};

// What one channel did with a test alert, as a line for the operator.
struct ChannelOutcome {
  std::string Line;  // "mail: sent to ops@example.org", "failed: command: exit 2"
  bool Failed = false;
};

class AlertChannels {
 public:
  // `text` gives a text of the string table in the operator's language; `log` takes a line
  // for the memo and the program's log (a channel that failed), on the thread that made the
  // channels. Mail not delivered when the channels end is kept at `mailKeep` (when given)
  // and sent first by the next channels made with it.
  AlertChannels(AlertSettings settings, std::function<std::string(int)> text,
                std::function<void(const std::string&)> log, QString mailKeep = {});
  ~AlertChannels();

  // New settings from the configuration dialog: mail on its way goes out with them.
  void Reset(AlertSettings settings);

  AlertText Compose(const Alert& alert, bool cleared) const;
  // Hands the alert to every channel that is set.
  void Send(const Alert& alert, bool cleared);
  // The daily digest, by mail only (a digest is no page for a pager): the alerts open at
  // `now` and the loggers not heard from (each as an alert whose Since is its last contact
  // and Details how long ago). False when no mail is set.
  bool SendDigest(const std::vector<Alert>& open, const std::vector<Alert>& silent,
                  std::int64_t now);
  AlertText ComposeDigest(const std::vector<Alert>& open, const std::vector<Alert>& silent,
                          std::int64_t now) const;
  // For a test from the command line or the dialog: sends through every channel that is
  // set, waits for each, and says what each did, one outcome per channel.
  std::vector<ChannelOutcome> SendAndWait(const Alert& alert);

  // At the program's end: waits up to `ms` for the mail still queued to go out (what does
  // not is kept for the next start).
  void Flush(int ms);

  const AlertSettings& Settings() const { return settings_; }

 private:
  std::string ToSystemLog(const Alert& alert, bool cleared, const AlertText& text);
  notify::MailSettings MailTo() const;
  void StartMail(std::vector<notify::MailMessage> waiting);
  std::string RunCommand(const Alert& alert, bool cleared, bool wait);

  AlertSettings settings_;
  std::function<std::string(int)> text_;
  std::function<void(const std::string&)> log_;
  QString mailKeep_;
  std::string mailProblem_;  // settings that cannot be used: said once
  std::unique_ptr<notify::MailQueue> mail_;
};

// A test alert through every channel of `settings`, each waited for; what each did, as
// SendAndWait says it. What an operator tries after setting up the alerts.
std::vector<ChannelOutcome> SendTestAlert(const AlertSettings& settings,
                                          const std::function<std::string(int)>& text);

}  // namespace varnel
