#pragma once
#include <string>
#include <vector>

// Where and how the alert e-mail goes. The password is never part of these settings: it
// comes from a netrc file, which the operator protects like any other secret of the
// account the program runs under.
namespace varnel::notify {

struct MailSettings {
  std::string Url;              // smtp://host[:port] (STARTTLS when the server offers it),
                                // smtps://host[:port] (TLS from the start)
  std::string From;             // address
  std::vector<std::string> To;  // addresses
  std::string NetrcFile;        // empty: the user's default netrc (DefaultNetrcFile())
  std::string CaFile;           // PEM; empty: the system's certificate authorities
  bool RequireTls = false;      // smtp://: fail when STARTTLS is not possible
  int TimeoutSeconds = 30;
};

// "a@x, b@y; c@z" -> {"a@x", "b@y", "c@z"}. Commas, semicolons and line ends separate;
// blanks around an address and empty entries are dropped, and "Name <a@x>" gives "a@x".
std::vector<std::string> ParseAddressList(const std::string& text);

// ~/.netrc; on Windows %USERPROFILE%\_netrc. Empty when there is no home folder.
std::string DefaultNetrcFile();

// What is wrong with the settings for sending ("no recipient", "the URL must begin with
// smtp:// or smtps://", ...); empty when they can be used.
std::string CheckMailSettings(const MailSettings& settings);

}  // namespace varnel::notify
