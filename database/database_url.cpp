#include "database/database_url.h"

#include <QUrl>
#include <QUrlQuery>

#include "common/locations.h"

namespace varnel {

QString DatabaseTarget::Display() const {
  if (Engine == DatabaseEngine::SQLite) return QStringLiteral("sqlite://") + Path;
  QString text = QStringLiteral("postgresql://");
  if (!User.isEmpty()) text += User + QLatin1Char('@');
  if (!Host.startsWith(QLatin1Char('/'))) text += Host;
  if (Port > 0) text += QLatin1Char(':') + QString::number(Port);
  text += QLatin1Char('/') + Name;
  if (Host.startsWith(QLatin1Char('/'))) text += QStringLiteral("?host=") + Host;
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
    return fail("\"" + url.toStdString() +
                "\" is not a database URL (sqlite:///path or postgresql://user@host:port/db)");
  }
  const QUrl u(url, QUrl::StrictMode);
  if (!u.isValid()) return fail("\"" + url.toStdString() + "\": " + u.errorString().toStdString());
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
    } else {
      return fail("unknown parameter \"" + key.toStdString() + "\" in the database URL");
    }
  }
  if (t.Name.isEmpty()) return fail("the database URL names no database (postgresql://host/NAME)");
  if (t.Port < 0 || t.Port > 65535) return fail("port out of range in the database URL");
  return t;
}

}  // namespace varnel
