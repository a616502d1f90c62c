#include "alerts/alert_channels.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSysInfo>
#include <QThread>

#include "alerts/system_log.h"
#include "lang/text_ids.h"
#include "notify/mail_queue.h"
#include "notify/mail_settings.h"
#include "notify/smtp_sender.h"

namespace varnel {

namespace {

// How long a test waits for the operator's command.
constexpr int kCommandTestMs = 30000;

std::string LocalTime(std::int64_t seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds)
      .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))
      .toStdString();
}

std::string Whom(const Alert& a) {
  if (a.Serial == 0) return QSysInfo::machineHostName().toStdString();
  return std::to_string(a.Serial) + (a.Identity.empty() ? "" : " " + a.Identity);
}

// Mail that was not delivered when the program ended, in the order it was to go.
std::vector<notify::MailMessage> ReadKeptMail(const QString& path) {
  std::vector<notify::MailMessage> kept;
  QFile f(path);
  if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) return kept;
  for (const QJsonValue& v : QJsonDocument::fromJson(f.readAll()).array()) {
    const QJsonObject o = v.toObject();
    notify::MailMessage m;
    m.Subject = o.value(QStringLiteral("subject")).toString().toStdString();
    m.Body = o.value(QStringLiteral("body")).toString().toStdString();
    m.Date = static_cast<std::int64_t>(o.value(QStringLiteral("date")).toDouble());
    if (!m.Subject.empty()) kept.push_back(std::move(m));
  }
  return kept;
}

bool KeepMail(const QString& path, const std::vector<notify::MailMessage>& mail) {
  if (mail.empty()) return !QFile::exists(path) || QFile::remove(path);
  QJsonArray all;
  for (const notify::MailMessage& m : mail) {
    all.append(QJsonObject{{QStringLiteral("subject"), QString::fromStdString(m.Subject)},
                           {QStringLiteral("body"), QString::fromStdString(m.Body)},
                           {QStringLiteral("date"), static_cast<double>(m.Date)}});
  }
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(QJsonDocument(all).toJson()) >= 0;
}

}  // namespace

AlertChannels::AlertChannels(AlertSettings settings, std::function<std::string(int)> text,
                             std::function<void(const std::string&)> log, QString mailKeep)
    : settings_(std::move(settings)),
      text_(std::move(text)),
      log_(std::move(log)),
      mailKeep_(std::move(mailKeep)) {
  StartMail(ReadKeptMail(mailKeep_));
}

void AlertChannels::Reset(AlertSettings settings) {
  std::vector<notify::MailMessage> pending;
  if (mail_) {
    mail_->Stop();
    pending = mail_->Pending();
    mail_.reset();
  }
  settings_ = std::move(settings);
  mailProblem_.clear();
  StartMail(std::move(pending));
}

void AlertChannels::StartMail(std::vector<notify::MailMessage> waiting) {
  if (settings_.MailSet()) mailProblem_ = notify::CheckMailSettings(MailTo());
  if (!settings_.MailSet() || !mailProblem_.empty()) {
    // Mail that was on its way waits for settings it can go out with.
    if (!waiting.empty() && !mailKeep_.isEmpty()) {
      auto kept = ReadKeptMail(mailKeep_);
      kept.insert(kept.end(), waiting.begin(), waiting.end());
      KeepMail(mailKeep_, kept);
    }
    return;
  }
  const notify::MailSettings to = MailTo();
  // The queue reports on its own thread; the lines reach the log on this one.
  QPointer<QCoreApplication> app = QCoreApplication::instance();
  auto toLog = log_;
  auto texts = text_;
  mail_ = std::make_unique<notify::MailQueue>(to, [app, toLog, texts](const notify::MailAttempt& a) {
    if (a.Error.empty() || !app) return;
    const std::string why =
        " (mail, attempt " + std::to_string(a.Attempt) + "): " + a.Error +
        (a.GivenUp ? "; refused by the server, not tried again: \"" + a.Message.Subject + "\""
                   : "; again in " + std::to_string(a.RetryIn.count() / 1000) + " s");
    QMetaObject::invokeMethod(
        app, [toLog, texts, why] { toLog(texts(kTextAlertNotSent) + why); }, Qt::QueuedConnection);
  });
  for (notify::MailMessage& m : waiting) mail_->Add(std::move(m));
  if (!mailKeep_.isEmpty()) QFile::remove(mailKeep_);
}

AlertChannels::~AlertChannels() {
  if (!mail_) return;
  mail_->Stop();
  if (!mailKeep_.isEmpty()) KeepMail(mailKeep_, mail_->Pending());
}

void AlertChannels::Flush(int ms) {
  if (!mail_) return;
  QDeadlineTimer deadline(ms);
  while (!mail_->Pending().empty() && !deadline.hasExpired()) QThread::msleep(50);
}

notify::MailSettings AlertChannels::MailTo() const {
  notify::MailSettings to;
  to.Url = settings_.Mail.toStdString();
  to.From = settings_.From.isEmpty()
                ? "varnel@" + QSysInfo::machineHostName().toStdString()
                : settings_.From.toStdString();
  to.To = notify::ParseAddressList(settings_.To.toStdString());
  // Empty: the user's own netrc file when there is one, else no login.
  to.NetrcFile = settings_.MailNetrc.toStdString();
  to.CaFile = settings_.MailCaFile.toStdString();
  return to;
}

AlertText AlertChannels::Compose(const Alert& a, bool cleared) const {
  AlertText t;
  t.Subject = text_(cleared ? kTextAlertCleared : kTextAlertRaised) + ": " + Whom(a) + ": " +
              a.What;
  t.Body = a.What + "\n";
  if (a.Serial != 0) {
    t.Body += text_(kTextAlertLogger) + ": " + std::to_string(a.Serial);
    if (!a.Identity.empty()) t.Body += " (" + a.Identity + ")";
    t.Body += "\n";
  }
  t.Body += text_(kTextAlertSince) + ": " + LocalTime(a.Since) + "\n";
  if (!a.Details.empty()) t.Body += a.Details + "\n";
  t.Body += "PC: " + QSysInfo::machineHostName().toStdString() + "\n";
  return t;
}

void AlertChannels::Send(const Alert& alert, bool cleared) {
  const AlertText text = Compose(alert, cleared);
  if (settings_.SystemLog) {
    if (std::string why = ToSystemLog(alert, cleared, text); !why.empty()) {
      log_(text_(kTextAlertNotSent) + " (system log): " + why);
    }
  }
  if (!settings_.Command.isEmpty()) {
    if (std::string why = RunCommand(alert, cleared, false); !why.empty()) {
      log_(text_(kTextAlertNotSent) + " (command): " + why);
    }
  }
  if (mail_) {
    mail_->Add({text.Subject, text.Body, QDateTime::currentSecsSinceEpoch()});
  } else if (!mailProblem_.empty()) {
    // Said once per run; the alerts still go to the other channels.
    log_(text_(kTextAlertNotSent) + " (mail): " + mailProblem_);
    mailProblem_.clear();
  }
}

AlertText AlertChannels::ComposeDigest(const std::vector<Alert>& open,
                                       const std::vector<Alert>& silent,
                                       std::int64_t now) const {
  AlertText t;
  t.Subject = text_(kTextDigest) + ": " + QSysInfo::machineHostName().toStdString() + ", " +
              LocalTime(now).substr(0, 10);
  const auto list = [this, &t](int title, const std::vector<Alert>& alerts, bool withWhat) {
    t.Body += text_(title) + " (" + std::to_string(alerts.size()) + "):\n";
    if (alerts.empty()) t.Body += "  " + text_(kTextDigestNone) + "\n";
    for (const Alert& a : alerts) {
      t.Body += "  " + Whom(a) + ": " + (withWhat ? a.What + ", " : "") +
                text_(kTextAlertSince) + " " + LocalTime(a.Since) +
                (a.Details.empty() ? "" : " (" + a.Details + ")") + "\n";
    }
  };
  list(kTextDigestOpen, open, true);
  t.Body += "\n";
  list(kTextDigestSilent, silent, false);
  t.Body += "\nPC: " + QSysInfo::machineHostName().toStdString() + "\n";
  return t;
}

bool AlertChannels::SendDigest(const std::vector<Alert>& open, const std::vector<Alert>& silent,
                               std::int64_t now) {
  if (!mail_) return false;
  const AlertText text = ComposeDigest(open, silent, now);
  mail_->Add({text.Subject, text.Body, now});
  return true;
}

std::vector<ChannelOutcome> AlertChannels::SendAndWait(const Alert& alert) {
  std::vector<ChannelOutcome> said;
  // "mail: sent to ...", or "failed: mail: why", in the operator's language.
  const auto tell = [this, &said](int channel, const std::string& why, const std::string& done) {
    if (why.empty()) {
      said.push_back({text_(channel) + ": " + done, false});
    } else {
      said.push_back({text_(kTextChannelFailed) + ": " + text_(channel) + ": " + why, true});
    }
  };
  const AlertText text = Compose(alert, false);
  if (settings_.SystemLog) {
    tell(kTextChannelSystemLog, ToSystemLog(alert, false, text), text_(kTextChannelWritten));
  } else {
    tell(kTextChannelSystemLog, {}, text_(kTextChannelOff) + " ([Notify] SystemLog=0)");
  }
  if (!settings_.Command.isEmpty()) {
    tell(kTextChannelCommand, RunCommand(alert, false, true), "exit 0");
  } else {
    tell(kTextChannelCommand, {}, text_(kTextChannelNotSet) + " ([Notify] Command=)");
  }
  if (settings_.MailSet()) {
    const notify::MailSettings to = MailTo();
    std::string why = notify::CheckMailSettings(to);
    if (why.empty()) why = notify::SendMail(to, {text.Subject, text.Body, alert.Since});
    std::string whom;
    for (const std::string& a : to.To) whom += (whom.empty() ? "" : ", ") + a;
    tell(kTextChannelMail, why, text_(kTextChannelSentTo) + " " + whom);
  } else {
    tell(kTextChannelMail, {}, text_(kTextChannelNotSet) + " ([Notify] Mail= and To=)");
  }
  return said;
}

std::string AlertChannels::ToSystemLog(const Alert& alert, bool cleared,
                                       const AlertText& text) {
  // The fields a monitoring rule picks out, the same names as the command's environment.
  SystemLogEntry entry{cleared, text.Subject, text.Body, {}};
  entry.Fields = {{"VARNEL_ALERT_EVENT", cleared ? "cleared" : "raised"},
                  {"VARNEL_ALERT_KEY", alert.Key},
                  {"VARNEL_ALERT_SERIAL", std::to_string(alert.Serial)}};
  if (!alert.Identity.empty()) entry.Fields.emplace_back("VARNEL_ALERT_IDENTITY", alert.Identity);
  entry.Fields.emplace_back("VARNEL_ALERT_WHAT", alert.What);
  if (!alert.Details.empty()) entry.Fields.emplace_back("VARNEL_ALERT_DETAILS", alert.Details);
  entry.Fields.emplace_back("VARNEL_ALERT_SINCE", std::to_string(alert.Since));
  return WriteSystemLog(entry);
}

std::string AlertChannels::RunCommand(const Alert& alert, bool cleared, bool wait) {
  QStringList words = QProcess::splitCommand(settings_.Command);
  if (words.isEmpty()) return "empty command";
  QProcess p;
  p.setProgram(words.takeFirst());
  const QString event = cleared ? QStringLiteral("cleared") : QStringLiteral("raised");
  const QString serial = QString::number(alert.Serial);
  const AlertText text = Compose(alert, cleared);
  // The fields as arguments (event, key, serial, what, details) and in the environment.
  p.setArguments(words + QStringList{event, QString::fromStdString(alert.Key), serial,
                                     QString::fromStdString(alert.What),
                                     QString::fromStdString(alert.Details)});
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("VARNEL_ALERT_EVENT"), event);
  env.insert(QStringLiteral("VARNEL_ALERT_KEY"), QString::fromStdString(alert.Key));
  env.insert(QStringLiteral("VARNEL_ALERT_SERIAL"), serial);
  env.insert(QStringLiteral("VARNEL_ALERT_IDENTITY"), QString::fromStdString(alert.Identity));
  env.insert(QStringLiteral("VARNEL_ALERT_WHAT"), QString::fromStdString(alert.What));
  env.insert(QStringLiteral("VARNEL_ALERT_DETAILS"), QString::fromStdString(alert.Details));
  env.insert(QStringLiteral("VARNEL_ALERT_SINCE"), QString::number(alert.Since));
  env.insert(QStringLiteral("VARNEL_ALERT_SUBJECT"), QString::fromStdString(text.Subject));
  env.insert(QStringLiteral("VARNEL_ALERT_BODY"), QString::fromStdString(text.Body));
  p.setProcessEnvironment(env);
  if (!wait) {
    return p.startDetached() ? std::string()
                             : p.program().toStdString() + ": " + p.errorString().toStdString();
  }
  p.setProcessChannelMode(QProcess::ForwardedChannels);
  p.start();
  if (!p.waitForStarted()) return p.program().toStdString() + ": " + p.errorString().toStdString();
  if (!p.waitForFinished(kCommandTestMs)) {
    p.kill();
    p.waitForFinished(1000);
    return p.program().toStdString() + ": still running after 30 s";
  }
  if (p.exitStatus() != QProcess::NormalExit) return p.program().toStdString() + ": crashed";
  return p.exitCode() == 0 ? std::string()
                           : p.program().toStdString() + ": exit " + std::to_string(p.exitCode());
}

std::vector<ChannelOutcome> SendTestAlert(const AlertSettings& settings,
                                          const std::function<std::string(int)>& text) {
  AlertChannels channels(settings, text, [](const std::string&) {});
  Alert test;
  test.Key = "collector/test";
  test.What = text(kTextAlertTest);
  test.Since = QDateTime::currentSecsSinceEpoch();
  return channels.SendAndWait(test);
}

}  // namespace varnel
