#include "alerts/alert_book.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include "common/locations.h"

namespace varnel {

namespace {

QJsonObject ToJson(const Alert& a) {
  return {{QStringLiteral("key"), QString::fromStdString(a.Key)},
          {QStringLiteral("serial"), static_cast<double>(a.Serial)},
          {QStringLiteral("identity"), QString::fromStdString(a.Identity)},
          {QStringLiteral("what"), QString::fromStdString(a.What)},
          {QStringLiteral("details"), QString::fromStdString(a.Details)},
          {QStringLiteral("since"), static_cast<double>(a.Since)}};
}

}  // namespace

std::map<std::string, Alert> ReadOpenAlerts(const QString& path) {
  std::map<std::string, Alert> open;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return open;
  // A damaged book (a disk that filled while it was written) opens nothing: at worst an
  // alert is sent a second time, which beats one never cleared.
  const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
  for (const QJsonValue& v : doc.array()) {
    const QJsonObject o = v.toObject();
    Alert a;
    a.Key = o.value(QStringLiteral("key")).toString().toStdString();
    if (a.Key.empty()) continue;
    a.Serial = static_cast<std::uint32_t>(o.value(QStringLiteral("serial")).toDouble());
    a.Identity = o.value(QStringLiteral("identity")).toString().toStdString();
    a.What = o.value(QStringLiteral("what")).toString().toStdString();
    a.Details = o.value(QStringLiteral("details")).toString().toStdString();
    a.Since = static_cast<std::int64_t>(o.value(QStringLiteral("since")).toDouble());
    open[a.Key] = std::move(a);
  }
  return open;
}

std::map<std::uint32_t, std::vector<Alert>> OpenAlertsByLogger(const QString& path) {
  std::map<std::uint32_t, std::vector<Alert>> byLogger;
  for (auto& [key, alert] : ReadOpenAlerts(path)) {
    if (alert.Serial != 0) byLogger[alert.Serial].push_back(std::move(alert));
  }
  return byLogger;
}

QString DefaultAlertBookPath() {
  return QDir(UserDataFolder()).filePath(QStringLiteral("alerts.json"));
}

AlertBook::AlertBook(QString path) : path_(std::move(path)), open_(ReadOpenAlerts(path_)) {}

bool AlertBook::Raise(const Alert& alert) {
  if (open_.count(alert.Key)) return false;
  open_[alert.Key] = alert;
  Save();
  return true;
}

std::optional<Alert> AlertBook::Clear(const std::string& key) {
  const auto it = open_.find(key);
  if (it == open_.end()) return std::nullopt;
  Alert closed = std::move(it->second);
  open_.erase(it);
  Save();
  return closed;
}

std::vector<std::string> AlertBook::OpenKeys(const std::string& prefix) const {
  std::vector<std::string> keys;
  for (auto it = open_.lower_bound(prefix); it != open_.end() && it->first.rfind(prefix, 0) == 0;
       ++it) {
    keys.push_back(it->first);
  }
  return keys;
}

void AlertBook::Save() {
  QJsonArray all;
  for (const auto& [key, alert] : open_) all.append(ToJson(alert));
  QDir().mkpath(QFileInfo(path_).absolutePath());
  QSaveFile f(path_);
  if (f.open(QIODevice::WriteOnly) &&
      f.write(QJsonDocument(all).toJson(QJsonDocument::Indented)) >= 0 && f.commit()) {
    error_.clear();
  } else {
    error_ = "cannot write " + path_.toStdString() + ": " + f.errorString().toStdString();
  }
}

}  // namespace varnel
