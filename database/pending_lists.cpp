#include "database/pending_lists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

namespace varnel {

QString PendingContactsPath(const QString& fileList) {
  const QFileInfo info(fileList);
  return info.dir().filePath(info.completeBaseName() + QStringLiteral("-contacts.txt"));
}

namespace {

// Several collectors of one user share a list: each change holds the lock for a moment.
class ListLock {
 public:
  explicit ListLock(const QString& list) : lock_(list + QStringLiteral(".lock")) {
    QDir().mkpath(QFileInfo(list).absolutePath());
    lock_.setStaleLockTime(30000);
    locked_ = lock_.tryLock(2000);
  }
  bool Locked() const { return locked_; }

 private:
  QLockFile lock_;
  bool locked_ = false;
};

QStringList ReadList(const QString& list) {
  QFile f(list);
  QStringList lines;
  if (!f.open(QIODevice::ReadOnly)) return lines;
  for (const QByteArray& raw : f.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (!line.isEmpty() && !lines.contains(line)) lines << line;
  }
  return lines;
}

QStringList ReadLocked(const QString& list) {
  ListLock lock(list);
  return ReadList(list);
}

template <typename T>
QJsonValue Opt(const std::optional<T>& v) {
  return v ? QJsonValue(static_cast<double>(*v)) : QJsonValue();
}

}  // namespace

QStringList ReadPendingFiles(const QString& list) { return ReadLocked(list); }
QStringList ReadPendingContacts(const QString& list) { return ReadLocked(list); }

// JSON keeps every figure exactly (numbers up to 2^53, doubles to the last bit), so a
// contact sent twice is the same row twice and the database's key keeps one.
QString ContactLine(const ContactFigures& c) {
  QJsonArray files;
  for (const std::string& f : c.Files) files.append(QString::fromStdString(f));
  const QJsonObject o{
      {QStringLiteral("time"), static_cast<double>(c.Time)},
      {QStringLiteral("serial"), static_cast<double>(c.SerialNumber)},
      {QStringLiteral("identity"), QString::fromStdString(c.IdentityText)},
      {QStringLiteral("device"), QString::fromStdString(c.DeviceId)},
      {QStringLiteral("firmware"), QString::fromStdString(c.Firmware)},
      {QStringLiteral("battery"), Opt(c.Battery)},
      {QStringLiteral("clockOffset"), Opt(c.ClockOffset)},
      {QStringLiteral("clockSet"), c.ClockSet},
      {QStringLiteral("lastPage"), Opt(c.LastPage)},
      {QStringLiteral("reservedPages"), Opt(c.ReservedPages)},
      {QStringLiteral("ringUse"), Opt(c.RingUse)},
      {QStringLiteral("state"), c.StateBits},
      {QStringLiteral("errors"), c.ErrorBits},
      {QStringLiteral("listed"), c.RecordsListed},
      {QStringLiteral("read"), c.RecordsRead},
      {QStringLiteral("pages"), c.PagesRead},
      {QStringLiteral("lineBytes"), static_cast<double>(c.LineBytes)},
      {QStringLiteral("duration"), c.Duration},
      {QStringLiteral("result"), QString::fromLatin1(ContactResultName(c.Result))},
      {QStringLiteral("files"), files},
      {QStringLiteral("dataFolder"), QString::fromStdString(c.DataFolder)},
      {QStringLiteral("collector"), QString::fromStdString(c.Collector)},
      {QStringLiteral("port"), c.Port},
  };
  return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<ContactFigures> ParseContactLine(const QString& line) {
  const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8());
  if (!doc.isObject()) return std::nullopt;
  const QJsonObject o = doc.object();
  const auto result = ParseContactResult(o.value(QStringLiteral("result")).toString().toStdString());
  if (!result || !o.value(QStringLiteral("time")).isDouble()) return std::nullopt;
  const auto number = [&o](const char* key) { return o.value(QLatin1String(key)).toDouble(); };
  const auto optional = [&o](const char* key) -> std::optional<double> {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
  };
  const auto text = [&o](const char* key) {
    return o.value(QLatin1String(key)).toString().toStdString();
  };
  ContactFigures c;
  c.Time = static_cast<std::int64_t>(number("time"));
  c.SerialNumber = static_cast<std::uint32_t>(number("serial"));
  c.IdentityText = text("identity");
  c.DeviceId = text("device");
  c.Firmware = text("firmware");
  if (const auto v = optional("battery")) c.Battery = static_cast<int>(*v);
  if (const auto v = optional("clockOffset")) c.ClockOffset = static_cast<std::int64_t>(*v);
  c.ClockSet = o.value(QStringLiteral("clockSet")).toBool();
  if (const auto v = optional("lastPage")) c.LastPage = static_cast<int>(*v);
  if (const auto v = optional("reservedPages")) c.ReservedPages = static_cast<int>(*v);
  c.RingUse = optional("ringUse");
  c.StateBits = static_cast<int>(number("state"));
  c.ErrorBits = static_cast<int>(number("errors"));
  c.RecordsListed = static_cast<int>(number("listed"));
  c.RecordsRead = static_cast<int>(number("read"));
  c.PagesRead = static_cast<int>(number("pages"));
  c.LineBytes = static_cast<std::uint64_t>(number("lineBytes"));
  c.Duration = number("duration");
  c.Result = *result;
  for (const QJsonValue& f : o.value(QStringLiteral("files")).toArray()) {
    c.Files.push_back(f.toString().toStdString());
  }
  // (Absent from the lines of earlier versions.)
  c.DataFolder = text("dataFolder");
  c.Collector = text("collector");
  c.Port = static_cast<int>(number("port"));
  return c;
}

}  // namespace varnel
