#include "notify/mail_message.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace varnel::notify {

namespace {

constexpr std::size_t kLineLimit = 78;  // what mail programs show without wrapping

// Control characters (line breaks above all) become blanks: a header stays one header.
std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return out;
}

bool PrintableAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7e) return false;
  }
  return true;
}

std::string Base64(const std::string& bytes) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                       static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += kDigits[(v >> shift) & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// The subject as it stands after "Subject: ": as it is when it is short printable ASCII
// (and cannot be taken for an encoded word), else as base64 encoded words of at most 42
// bytes each, one per line, never splitting a UTF-8 sequence.
std::string SubjectField(const std::string& subject) {
  const std::string text = OneLine(subject);
  if (PrintableAscii(text) && text.find("=?") == std::string::npos &&
      text.size() + 9 <= kLineLimit)
    return text;
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = std::min(pos + 42, text.size());
    // Back up to the start of a character (a byte that is not 10xxxxxx).
    while (end < text.size() && end > pos + 1 &&
           (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
      --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(text.substr(pos, end - pos)) + "?=";
    pos = end;
  }
  return out;
}

// "name: a, b, c" folded before an address that would make the line too long.
std::string AddressHeader(const std::string& name, const std::vector<std::string>& addresses) {
  std::string out = name + ":";
  std::size_t lineLength = out.size();
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const std::string a = OneLine(addresses[i]) + (i + 1 < addresses.size() ? "," : "");
    if (i > 0 && lineLength + 1 + a.size() > kLineLimit) {
      out += "\r\n";
      lineLength = 0;
    }
    out += " " + a;
    lineLength += 1 + a.size();
  }
  return out + "\r\n";
}

// The body's lines, each without its line end ("\r\n", "\n" or a lone "\r").
std::vector<std::string> BodyLines(const std::string& body) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\r' || body[i] == '\n') {
      if (body[i] == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += body[i];
    }
  }
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();  // the final line end
  return lines;
}

// One line in quoted-printable, with soft breaks ("=" at the end) so that no line is longer
// than 76 characters. Blanks are kept as they are except at the end of the line, where
// transport may strip them.
std::string QuotedPrintableLine(const std::string& line) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t length = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    const bool last = i + 1 == line.size();
    std::string token;
    if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last)) {
      token = static_cast<char>(c);
    } else {
      token = {'=', kHex[c >> 4], kHex[c & 15]};
    }
    if (length + token.size() > 75) {
      out += "=\r\n";
      length = 0;
    }
    out += token;
    length += token.size();
  }
  return out + "\r\n";
}

std::string LocalHostName() {
  char name[256] = {};
#ifdef _WIN32
  DWORD size = sizeof name;
  if (!GetComputerNameExA(ComputerNameDnsFullyQualified, name, &size)) return {};
#else
  if (::gethostname(name, sizeof name - 1) != 0) return {};
#endif
  std::string host = name;
  for (char c : host) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return {};
  }
  return host;
}

// "<32 random hex digits.time@host>": unique without any state kept between runs.
std::string MessageId(const MailSettings& settings, std::int64_t date) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937_64 random([] {
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::seed_seq seed{device(), device(), static_cast<unsigned>(now), counter.fetch_add(1)};
    return std::mt19937_64(seed);
  }());
  char id[64];
  std::snprintf(id, sizeof id, "%016llx%016llx.%llx",
                static_cast<unsigned long long>(random()),
                static_cast<unsigned long long>(random()), static_cast<unsigned long long>(date));
  std::string host = LocalHostName();
  if (host.empty() || host.find('.') == std::string::npos) {
    const auto at = settings.From.rfind('@');
    const std::string domain = at == std::string::npos ? "" : OneLine(settings.From.substr(at + 1));
    if (!domain.empty() && domain.find(' ') == std::string::npos) host = domain;
  }
  if (host.empty()) host = "varnel.invalid";
  return "<" + std::string(id) + "@" + host + ">";
}

}  // namespace

std::string MailDate(std::int64_t seconds) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &t) != 0) return "Thu, 01 Jan 1970 00:00:00 +0000";
#else
  if (!localtime_r(&t, &local)) return "Thu, 01 Jan 1970 00:00:00 +0000";
#endif
  // The offset is what the local fields say minus the true time, whatever the zone rules.
  const std::int64_t localSeconds =
      std::chrono::sys_days(std::chrono::year(local.tm_year + 1900) /
                            static_cast<unsigned>(local.tm_mon + 1) /
                            static_cast<unsigned>(local.tm_mday))
              .time_since_epoch()
              .count() *
          86400 +
      local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  const std::int64_t offsetMinutes = (localSeconds - seconds) / 60;
  const std::int64_t absMinutes = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02lld%02lld",
                kDays[local.tm_wday % 7], local.tm_mday, kMonths[local.tm_mon % 12],
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                offsetMinutes < 0 ? '-' : '+', static_cast<long long>(absMinutes / 60),
                static_cast<long long>(absMinutes % 60));
  return text;
}

std::string ComposeMail(const MailSettings& settings, const MailMessage& message) {
  const std::vector<std::string> lines = BodyLines(message.Body);
  bool sevenBit = true;
  for (const std::string& line : lines) {
    if (line.size() > 76) sevenBit = false;
    for (unsigned char c : line) {
      if ((c < 0x20 && c != '\t') || c > 0x7e) sevenBit = false;
    }
  }

  std::string mail = "Date: " + MailDate(message.Date) + "\r\n";
  mail += AddressHeader("From", {settings.From});
  mail += AddressHeader("To", settings.To);
  mail += "Subject: " + SubjectField(message.Subject) + "\r\n";
  mail += "Message-ID: " + MessageId(settings, message.Date) + "\r\n";
  mail += "MIME-Version: 1.0\r\n";
  mail += "Content-Type: text/plain; charset=UTF-8\r\n";
  mail += std::string("Content-Transfer-Encoding: ") +
          (sevenBit ? "7bit" : "quoted-printable") + "\r\n\r\n";
  for (const std::string& line : lines)
    mail += sevenBit ? line + "\r\n" : QuotedPrintableLine(line);
  return mail;
}

}  // namespace varnel::notify
