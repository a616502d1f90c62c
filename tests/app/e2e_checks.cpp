#include "e2e_checks.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace varnel::test {

QJsonObject ReadTruth(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

QJsonObject TruthRecordStartingAt(const QJsonObject& truth, qint64 startTime) {
  for (const QJsonValue& r : truth.value("records").toArray()) {
    if (r.toObject().value("startTime").toInteger() == startTime) return r.toObject();
  }
  return {};
}

QJsonObject DumpIdc(const QString& file) {
  testsupport::ChildProcess dump;
  if (!dump.Start(IDC_DUMP_PATH, {"--json", file.toStdString()})) return {};
  if (dump.Wait(20000) != 0) return {};
  return QJsonDocument::fromJson(QByteArray::fromStdString(dump.Output())).object();
}

QString DeviceIso(qint64 seconds) {
  return QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC)
      .addSecs(seconds)
      .toString("yyyy-MM-ddTHH:mm:ss");
}

QString CompareWithTruth(const QJsonObject& dump, const QJsonObject& truthRecord) {
  if (dump.isEmpty()) return "the file could not be decoded";
  if (truthRecord.isEmpty()) return "no truth record for the file";
  const QJsonArray got = dump.value("Measurements").toArray();
  const QJsonArray want = truthRecord.value("entries").toArray();
  if (got.size() != want.size()) {
    return QString("%1 entries, truth has %2").arg(got.size()).arg(want.size());
  }
  for (qsizetype i = 0; i < got.size(); ++i) {
    const QJsonObject g = got[i].toObject();
    const QJsonObject w = want[i].toObject();
    const QString time = DeviceIso(w.value("t").toInteger());
    const bool same = g.value("DateTime").toString() == time &&
                      g.value("Kind").toInt() == w.value("kind").toInt() &&
                      static_cast<float>(g.value("Value").toDouble()) ==
                          static_cast<float>(w.value("value").toDouble()) &&
                      g.value("Extra").toInteger() == w.value("extra").toInteger();
    if (!same) {
      return QString("entry %1 differs: %2 vs truth %3")
          .arg(i)
          .arg(QString::fromUtf8(QJsonDocument(g).toJson(QJsonDocument::Compact)))
          .arg(QString::fromUtf8(QJsonDocument(w).toJson(QJsonDocument::Compact)));
    }
  }
  return {};
}

}  // namespace varnel::test
