#pragma once
#include <QString>

// Where alerts go: [Notify] below the program's settings key (Corvane.ini; on Windows the
// key ...\Corvane\Notify), read by the window program and the collector alike. Values of
// their own: no value of the settings key changes with them.
namespace varnel {

struct AlertSettings {
  QString Mail;         // smtp://host:port or smtps://host:port; empty: no mail
  QString From;
  QString To;           // addresses, separated by commas
  QString MailCaFile;   // certificate authorities for the mail server; empty: the system's
  QString MailNetrc;    // the netrc file with the mail password; empty: the user's own
  QString Command;      // the operator's own command, with its arguments; empty: none
  bool SystemLog = true;  // the system's log (journal or syslog; Windows: event log)
  int DigestHour = -1;    // 0..23: a daily digest of what is open; else none

  bool MailSet() const { return !Mail.isEmpty() && !To.trimmed().isEmpty(); }
};

AlertSettings ReadAlertSettings();
// Stores them (the configuration dialog's page); a digest hour outside 0..23 is stored as -1.
void WriteAlertSettings(const AlertSettings& settings);

}  // namespace varnel
