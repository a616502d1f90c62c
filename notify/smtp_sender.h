#pragma once
#include <atomic>
#include <string>

#include "notify/mail_message.h"
#include "notify/mail_settings.h"

namespace varnel::notify {

// Sends one message (ComposeMail) to the recipients of `settings`; empty on success, else
// a reason that names the server ("smtp://mail.example.org:25: connection refused",
// "...: authentication failed (535 ...)", "...: STARTTLS not offered"). The login comes
// from the netrc file's entry for the server's host; without one no AUTH is tried. Never
// throws, never puts the password into the reason. Blocks for TimeoutSeconds at most.
std::string SendMail(const MailSettings& settings, const MailMessage& message);

// The same, ending the attempt soon (within about a second) once *stop is set. When
// `refused` is given it tells whether the server itself refused this message for good (a
// 5xx reply to the sender, a recipient or the text, such as 550 "no such user"): sending
// it again will not help. A refused login (530, 535) is the settings' fault, not the
// message's, and is not counted so.
std::string SendMail(const MailSettings& settings, const MailMessage& message,
                     const std::atomic<bool>* stop, bool* refused = nullptr);

}  // namespace varnel::notify
