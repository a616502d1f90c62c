#include "notify/mail_settings.h"

#include <cstdlib>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace varnel::notify {

namespace {

std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t\r\n") - begin + 1);
}

// An address that can go into an SMTP command and a header as it is: one '@' with text on
// both sides, no blanks, controls, angle brackets or separators.
bool PlainAddress(const std::string& a) {
  const auto at = a.find('@');
  if (at == 0 || at == std::string::npos || at + 1 == a.size() || a.find('@', at + 1) != a.npos)
    return false;
  for (unsigned char c : a) {
    if (c <= ' ' || c == 0x7f || c == '<' || c == '>' || c == ',' || c == ';' || c == '"')
      return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> ParseAddressList(const std::string& text) {
  std::vector<std::string> out;
  std::string::size_type pos = 0;
  while (pos <= text.size()) {
    auto end = text.find_first_of(",;\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string entry = Trim(text.substr(pos, end - pos));
    const auto open = entry.rfind('<');
    const auto close = entry.rfind('>');
    if (open != std::string::npos && close != std::string::npos && close > open)
      entry = Trim(entry.substr(open + 1, close - open - 1));
    if (!entry.empty()) out.push_back(entry);
    pos = end + 1;
  }
  return out;
}

std::string DefaultNetrcFile() {
#ifdef _WIN32
  const char* home = std::getenv("USERPROFILE");
  return home && *home ? std::string(home) + "\\_netrc" : std::string();
#else
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.netrc";
  const passwd* pw = ::getpwuid(::getuid());
  return pw && pw->pw_dir ? std::string(pw->pw_dir) + "/.netrc" : std::string();
#endif
}

std::string CheckMailSettings(const MailSettings& s) {
  // The URL is not repeated in these messages: it might hold a password after all.
  if (s.Url.rfind("smtp://", 0) != 0 && s.Url.rfind("smtps://", 0) != 0)
    return "the mail server's URL must begin with smtp:// or smtps://";
  const auto host = s.Url.find("://") + 3;
  if (s.Url.find('@', host) < s.Url.find('/', host))
    return "the mail server's URL must not hold a login: it belongs in the netrc file";
  if (!PlainAddress(s.From)) return "the sender \"" + s.From + "\" is not an e-mail address";
  if (s.To.empty()) return "no recipient";
  for (const std::string& to : s.To) {
    if (!PlainAddress(to)) return "the recipient \"" + to + "\" is not an e-mail address";
  }
  if (s.TimeoutSeconds <= 0) return "the time-out must be at least one second";
  return {};
}

}  // namespace varnel::notify
