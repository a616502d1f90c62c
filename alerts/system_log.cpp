#include "alerts/system_log.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <QString>
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>
#endif

namespace varnel {

std::string JournalDatagram(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string d;
  for (const auto& [name, value] : fields) {
    d += name;
    if (value.find('\n') == std::string::npos) {
      d += '=' + value + '\n';
      continue;
    }
    d += '\n';
    std::uint64_t size = value.size();
    for (int i = 0; i < 8; ++i, size >>= 8) d += static_cast<char>(size & 0xff);
    d += value + '\n';
  }
  return d;
}

namespace {

// The fields as NAME="value" words, for a log that takes one text.
std::string FieldsText(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string text;
  for (const auto& [name, value] : fields) {
    text += (text.empty() ? "" : " ") + name + "=\"" + value + "\"";
  }
  return text;
}

#ifndef _WIN32
// Where journald takes native entries; a test names a socket of its own.
std::string JournalSocket() {
  const char* path = std::getenv("VARNEL_JOURNAL_SOCKET");
  return path && *path ? path : "/run/systemd/journal/socket";
}

// Empty when the journal took the entry. Never waits: a journal that does not keep up
// costs the entry, not a call. `absent` is set when no journal listens here.
std::string ToJournal(const std::string& datagram, bool& absent) {
  const std::string path = JournalSocket();
  sockaddr_un to{};
  to.sun_family = AF_UNIX;
  if (path.size() >= sizeof to.sun_path) return "socket path too long: " + path;
  std::memcpy(to.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::strerror(errno);
  const ssize_t sent = sendto(fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                              reinterpret_cast<const sockaddr*>(&to), sizeof to);
  const int error = errno;
  close(fd);
  if (sent == static_cast<ssize_t>(datagram.size())) return {};
  absent = sent < 0 && (error == ENOENT || error == ECONNREFUSED || error == ENOTDIR);
  return "journal " + path + ": " + std::strerror(error);
}
#endif

}  // namespace

std::string WriteSystemLog(const SystemLogEntry& entry) {
#ifdef _WIN32
  // The installer registers the source; where it is missing, the entry still goes in.
  HANDLE source = RegisterEventSourceW(nullptr, L"Varnel");
  if (!source) return "no event source (error " + std::to_string(GetLastError()) + ")";
  const std::wstring line =
      QString::fromStdString(entry.Subject + "\n" + entry.Body + FieldsText(entry.Fields))
          .toStdWString();
  const wchar_t* strings[] = {line.c_str()};
  const BOOL ok = ReportEventW(source,
                               entry.Cleared ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_WARNING_TYPE,
                               0, entry.Cleared ? 2 : 1, nullptr, 1, 0, strings, nullptr);
  const DWORD error = GetLastError();
  DeregisterEventSource(source);
  return ok ? std::string() : "event log (error " + std::to_string(error) + ")";
#else
  const int priority = entry.Cleared ? LOG_NOTICE : LOG_WARNING;
  std::vector<std::pair<std::string, std::string>> fields = {
      {"MESSAGE", entry.Subject},
      {"PRIORITY", std::to_string(priority)},
      {"SYSLOG_FACILITY", std::to_string(LOG_DAEMON >> 3)},
      {"SYSLOG_IDENTIFIER", "varnel"},
      {"VARNEL_BODY", entry.Body}};
  fields.insert(fields.end(), entry.Fields.begin(), entry.Fields.end());
  bool absent = false;
  const std::string journal = ToJournal(JournalDatagram(fields), absent);
  // A journal that is there but did not take the entry is said, not tried again through
  // syslog: its /dev/log is the same journal, and syslog(3) would wait for it.
  if (journal.empty() || !absent) return journal;
  // No journal here: syslog gets the line with the fields.
  const std::string line = entry.Subject + " (" + FieldsText(entry.Fields) + ")";
  openlog("varnel", LOG_PID, LOG_DAEMON);
  syslog(priority, "%s", line.c_str());
  closelog();
  return {};
#endif
}

}  // namespace varnel
