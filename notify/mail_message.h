#pragma once
#include <cstdint>
#include <string>

#include "notify/mail_settings.h"

namespace varnel::notify {

struct MailMessage {
  std::string Subject;    // UTF-8
  std::string Body;       // UTF-8, lines separated by \n
  std::int64_t Date = 0;  // seconds since 1970 UTC
};

// The whole message as it goes to the server: Date (in the local time of this computer,
// with its offset), From, To, Subject (as encoded words when it is not plain ASCII or too
// long for one line), a unique Message-ID, MIME-Version, Content-Type text/plain;
// charset=UTF-8 and Content-Transfer-Encoding (7bit for short ASCII lines, else
// quoted-printable), every line ended by CRLF. Line breaks in the subject or the addresses
// become blanks: nothing the text holds can add a header. Lines beginning with a dot are
// left as they are: the SMTP layer doubles the dot.
std::string ComposeMail(const MailSettings& settings, const MailMessage& message);

// RFC 5322 date of `seconds` in local time: "Tue, 04 Mar 2025 14:05:09 +0100".
std::string MailDate(std::int64_t seconds);

}  // namespace varnel::notify
