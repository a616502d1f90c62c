#include "database/database_url.h"

#include <QUrl>
#include <QRegularExpression>
#include <QUrlQuery>

#include <algorithm>
#include <array>

#include "common/locations.h"

namespace varnel {

namespace {

// Options of the client library a URL may carry. Others are refused rather than passed on:
// a typing error must not be taken for an option that silently does nothing.
constexpr std::array<const char*, 7> kClientOptions = {
    "sslmode", "sslrootcert", "sslcert", "sslkey", "application_name", "connect_timeout",
    "target_session_attrs"};

std::string CheckOption(const QString& key, const QString& value) {
  static const QStringList sslModes = {"disable", "allow", "prefer", "require", "verify-ca",
                                       "verify-full"};
  static const QStringList sessionAttrs = {"any", "read-write", "read-only", "primary",
                                           "standby", "prefer-standby"};
  // The driver joins its options with ";" and separates them by it.
  if (value.contains(QLatin1Char(';'))) return key.toStdString() + " must not hold \";\"";
  if (key == QLatin1String("sslmode") && !sslModes.contains(value)) {
    return "sslmode \"" + value.toStdString() + "\" is not one of " +
           sslModes.join(QStringLiteral(", ")).toStdString();
  }
  if (key == QLatin1String("target_session_attrs") && !sessionAttrs.contains(value)) {
    return "target_session_attrs \"" + value.toStdString() + "\" is not one of " +
           sessionAttrs.join(QStringLiteral(", ")).toStdString();
  }
  if (key == QLatin1String("connect_timeout")) {
    bool ok = false;
    if (value.toInt(&ok) < 0 || !ok) return "connect_timeout must be a number of seconds";
  }
  return {};
}

}  // namespace

QString UrlForMessages(const QString& url) {
  QString text = url.trimmed();
  // scheme://userinfo@host: everything up to the last "@" before the path is user information.
  const int start = text.indexOf(QLatin1String("://"));
  if (start >= 0) {
    const int authority = start + 3;
    int end = text.indexOf(QLatin1Char('/'), authority);
    const int query = text.indexOf(QLatin1Char('?'), authority);
    if (end < 0 || (query >= 0 && query < end)) end = query < 0 ? int(text.size()) : query;
    const int at = text.lastIndexOf(QLatin1Char('@'), end - 1);
    if (at >= authority) text.remove(authority, at + 1 - authority);
  }
  static const QRegularExpression password(QStringLiteral("([?&]password=)[^&#]*"),
                                           QRegularExpression::CaseInsensitiveOption);
  text.replace(password, QStringLiteral("\\1***"));
  return text;
}

QString DatabaseTarget::Display() const {
  if (Engine == DatabaseEngine::SQLite) return QStringLiteral("sqlite://") + Path;
  QString text = QStringLiteral("postgresql://");
  if (!User.isEmpty()) text += User + QLatin1Char('@');
  if (!Host.startsWith(QLatin1Char('/'))) text += Host;
  if (Port > 0) text += QLatin1Char(':') + QString::number(Port);
  text += QLatin1Char('/') + Name;
  QStringList query;
  if (Host.startsWith(QLatin1Char('/'))) query << QStringLiteral("host=") + Host;
  for (const auto& [key, value] : Options) query << key + QLatin1Char('=') + value;
  if (!query.isEmpty()) text += QLatin1Char('?') + query.join(QLatin1Char('&'));
  return text;
}

std::optional<DatabaseTarget> ParseDatabaseUrl(const QString& text, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<DatabaseTarget> {
    if (error) *error = why;
    return std::nullopt;
  };
  const QString url = text.trimmed();
  DatabaseTarget t;
  const int colon = url.indexOf(QLatin1Char(':'));
  const QString scheme = colon > 0 ? url.left(colon).toLower() : QString();
  if (scheme == QLatin1String("sqlite")) {
    t.Engine = DatabaseEngine::SQLite;
    QString rest = url.mid(colon + 1);
    if (rest.startsWith(QLatin1String("//"))) rest = rest.mid(2);
    // sqlite:///abs/path keeps its leading slash; sqlite://C:/x and sqlite:rel are taken as
    // they stand.
    t.Path = QUrl::fromPercentEncoding(rest.toUtf8());
    if (t.Path.isEmpty()) t.Path = DefaultDatabasePath();
    return t;
  }
  if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")) {
    return fail("\"" + UrlForMessages(url).toStdString() +
                "\" is not a database URL (sqlite:///path or postgresql://user@host:port/db)");
  }
  const QUrl u(url, QUrl::StrictMode);
  // The parser's own message quotes the text it choked on, which may be the password.
  if (!u.isValid()) {
    return fail("\"" + UrlForMessages(url).toStdString() + "\" is not a usable URL");
  }
  t.Engine = DatabaseEngine::PostgreSQL;
  t.Host = u.host(QUrl::FullyDecoded);
  t.Port = u.port(0);
  t.User = u.userName(QUrl::FullyDecoded);
  t.Password = u.password(QUrl::FullyDecoded);
  t.Name = u.path(QUrl::FullyDecoded);
  if (t.Name.startsWith(QLatin1Char('/'))) t.Name = t.Name.mid(1);
  const QUrlQuery query(u);
  for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
    if (key == QLatin1String("host")) {
      t.Host = value;
    } else if (key == QLatin1String("port")) {
      bool ok = false;
      t.Port = value.toInt(&ok);
      if (!ok) return fail("port \"" + value.toStdString() + "\" is not a number");
    } else if (key == QLatin1String("user")) {
      t.User = value;
    } else if (key == QLatin1String("password")) {
      t.Password = value;
    } else if (key == QLatin1String("dbname")) {
      t.Name = value;
    } else if (std::find(kClientOptions.begin(), kClientOptions.end(), key.toStdString()) !=
               kClientOptions.end()) {
      if (const std::string why = CheckOption(key, value); !why.empty()) return fail(why);
      t.Options.emplace_back(key, value);
    } else {
      return fail("unknown parameter \"" + key.toStdString() + "\" in the database URL");
    }
  }
  if (t.Name.isEmpty()) return fail("the database URL names no database (postgresql://host/NAME)");
  if (t.Port < 0 || t.Port > 65535) return fail("port out of range in the database URL");
  return t;
}

}  // namespace varnel
