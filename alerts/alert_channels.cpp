#include "alerts/alert_channels.h"

#include <QDateTime>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSysInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <syslog.h>
#endif

#include "lang/text_ids.h"

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

}  // namespace

AlertChannels::AlertChannels(AlertSettings settings, std::function<std::string(int)> text,
                             std::function<void(const std::string&)> log)
    : settings_(std::move(settings)), text_(std::move(text)), log_(std::move(log)) {}

AlertChannels::~AlertChannels() = default;

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
}

std::vector<std::string> AlertChannels::SendAndWait(const Alert& alert) {
  std::vector<std::string> said;
  const AlertText text = Compose(alert, false);
  if (settings_.SystemLog) {
    const std::string why = ToSystemLog(alert, false, text);
    said.push_back(why.empty() ? "system log: written" : "failed: system log: " + why);
  } else {
    said.push_back("system log: off ([Notify] SystemLog=0)");
  }
  if (!settings_.Command.isEmpty()) {
    const std::string why = RunCommand(alert, false, true);
    said.push_back(why.empty() ? "command: exit 0" : "failed: command: " + why);
  } else {
    said.push_back("command: not set ([Notify] Command=)");
  }
  return said;
}

std::string AlertChannels::ToSystemLog(const Alert& alert, bool cleared,
                                       const AlertText& text) {
  // The fields a monitoring rule can pick out, in one line.
  const std::string fields = "VARNEL_ALERT=" + std::string(cleared ? "cleared" : "raised") +
                             " KEY=\"" + alert.Key + "\" SERIAL=" + std::to_string(alert.Serial) +
                             " SINCE=" + std::to_string(alert.Since);
#ifdef Q_OS_WIN
  // The installer registers the source; where it is missing, the entry still goes in.
  HANDLE source = RegisterEventSourceW(nullptr, L"Varnel");
  if (!source) return "no event source (error " + std::to_string(GetLastError()) + ")";
  const std::wstring line =
      QString::fromStdString(text.Subject + "\n" + text.Body + fields).toStdWString();
  const wchar_t* strings[] = {line.c_str()};
  const BOOL ok = ReportEventW(source, cleared ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_WARNING_TYPE,
                               0, cleared ? 2 : 1, nullptr, 1, 0, strings, nullptr);
  const DWORD error = GetLastError();
  DeregisterEventSource(source);
  return ok ? std::string() : "event log (error " + std::to_string(error) + ")";
#else
  // The journal takes syslog's lines as they are; warning for a new alert, notice for one
  // that cleared.
  openlog("varnel", LOG_PID, LOG_DAEMON);
  syslog(cleared ? LOG_NOTICE : LOG_WARNING, "%s (%s)", text.Subject.c_str(), fields.c_str());
  closelog();
  return {};
#endif
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

}  // namespace varnel
