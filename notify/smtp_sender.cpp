#include "notify/smtp_sender.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace varnel::notify {

namespace {

bool CurlReady() {
  // Once per process, before the first handle: the global set-up is not safe to run from
  // two threads at once.
  static std::once_flag once;
  static CURLcode result = CURLE_FAILED_INIT;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return result == CURLE_OK;
}

// "smtp://host:25" from the URL: the scheme, host and port only, so that no login that
// was put into it anyway appears in a message.
std::string ServerName(const std::string& url) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> u(curl_url(), curl_url_cleanup);
  if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
    return "the mail server";
  auto part = [&](CURLUPart which) {
    char* text = nullptr;
    std::string out;
    if (curl_url_get(u.get(), which, &text, CURLU_DEFAULT_PORT) == CURLUE_OK && text) out = text;
    curl_free(text);
    return out;
  };
  return part(CURLUPART_SCHEME) + "://" + part(CURLUPART_HOST) + ":" + part(CURLUPART_PORT);
}

bool Readable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

struct Upload {
  const std::string* data;
  std::size_t sent = 0;
};

std::size_t ReadMail(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto* upload = static_cast<Upload*>(user);
  const std::size_t n = std::min(size * count, upload->data->size() - upload->sent);
  std::memcpy(buffer, upload->data->data() + upload->sent, n);
  upload->sent += n;
  return n;
}

int StopRequested(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* stop = static_cast<const std::atomic<bool>*>(user);
  return stop && stop->load() ? 1 : 0;
}

struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What went wrong, in words an operator can act on. `detail` is curl's own message, which
// never holds the password.
std::string Reason(CURLcode code, const std::string& detail, long osError, long reply,
                   const MailSettings& settings, const std::string& netrc) {
  const std::string more = detail.empty() ? "" : " (" + detail + ")";
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return "host name not found" + more;
    case CURLE_COULDNT_CONNECT:
#ifdef _WIN32
      if (osError == 10061) return "connection refused";  // WSAECONNREFUSED
#else
      if (osError == ECONNREFUSED) return "connection refused";
#endif
      return "cannot connect" + more;
    case CURLE_OPERATION_TIMEDOUT:
      return "no answer within " + std::to_string(settings.TimeoutSeconds) + " s" + more;
    case CURLE_LOGIN_DENIED:
      return "authentication failed" + (reply ? " (server reply " + std::to_string(reply) + ")"
                                              : more);
    case CURLE_USE_SSL_FAILED:
      return "STARTTLS not offered, and the settings require TLS";
    case CURLE_PEER_FAILED_VERIFICATION:
      return "the server's certificate is not trusted by " +
             (settings.CaFile.empty() ? std::string("the system's certificate authorities")
                                      : "the CA file " + settings.CaFile) + more;
    case CURLE_SSL_CACERT_BADFILE:
      return "cannot use the CA file " + settings.CaFile + more;
    case CURLE_SSL_CONNECT_ERROR:
      return "TLS handshake failed" + more;
    case CURLE_ABORTED_BY_CALLBACK:
      return "stopped";
    default:
      break;
  }
  // 530: the server takes mail only after a login, and none was made.
  if (reply == 530)
    return "the server requires a login" + more + "; is there an entry for its host in " +
           (netrc.empty() ? std::string("a netrc file") : netrc) + "?";
  return (detail.empty() ? std::string(curl_easy_strerror(code)) : detail) +
         (reply ? " (server reply " + std::to_string(reply) + ")" : "");
}

}  // namespace

std::string SendMail(const MailSettings& settings, const MailMessage& message) {
  return SendMail(settings, message, nullptr);
}

std::string SendMail(const MailSettings& settings, const MailMessage& message,
                     const std::atomic<bool>* stop, bool* refused) {
  if (refused) *refused = false;
  try {
    if (std::string bad = CheckMailSettings(settings); !bad.empty()) return bad;
    const std::string server = ServerName(settings.Url);
    if (!CurlReady()) return server + ": the network library cannot start";

    std::string netrc = settings.NetrcFile.empty() ? DefaultNetrcFile() : settings.NetrcFile;
    if (!Readable(netrc)) {
      if (!settings.NetrcFile.empty()) return server + ": cannot read the netrc file " + netrc;
      netrc.clear();  // no default netrc: no login
    }
    if (!settings.CaFile.empty() && !Readable(settings.CaFile))
      return server + ": cannot read the CA file " + settings.CaFile;

    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return server + ": the network library cannot start";
    CURL* c = curl.get();
    const std::string mail = ComposeMail(settings, message);
    Upload upload{&mail};
    std::unique_ptr<curl_slist, SlistFree> recipients;
    for (const std::string& to : settings.To) {
      curl_slist* more = curl_slist_append(recipients.get(), ("<" + to + ">").c_str());
      if (!more) return server + ": out of memory";
      recipients.release();
      recipients.reset(more);
    }
    char error[CURL_ERROR_SIZE] = {};
    const long timeout = settings.TimeoutSeconds;
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_URL, settings.Url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // called from worker threads
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, timeout);
    // smtp://: TLS through STARTTLS when the server offers it, or always when required.
    curl_easy_setopt(c, CURLOPT_USE_SSL,
                     settings.RequireTls ? static_cast<long>(CURLUSESSL_ALL)
                                         : static_cast<long>(CURLUSESSL_TRY));
    if (!settings.CaFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, settings.CaFile.c_str());
#ifdef _WIN32
    // Windows' TLS checks revocation and fails when a private authority publishes no list;
    // a certificate that is known to be revoked is still refused.
    curl_easy_setopt(c, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
#endif
    if (!netrc.empty()) {
      curl_easy_setopt(c, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL));
      curl_easy_setopt(c, CURLOPT_NETRC_FILE, netrc.c_str());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, ("<" + settings.From + ">").c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadMail);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mail.size()));
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, StopRequested);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, stop);

    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_OK) return {};
    long osError = 0, reply = 0;
    curl_easy_getinfo(c, CURLINFO_OS_ERRNO, &osError);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply);
    if (refused) {
      *refused = reply >= 500 && reply <= 599 && reply != 530 && reply != 535 &&
                 code != CURLE_LOGIN_DENIED;
    }
    return server + ": " + Reason(code, error, osError, reply, settings, netrc);
  } catch (const std::exception& e) {
    return std::string("mail not sent: ") + e.what();
  }
}

}  // namespace varnel::notify
