#include "sim_process.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <cstdio>
#include <QThread>

namespace varnel::test {

bool SimProcess::Start(const QStringList& args, const QString& portsFolder) {
  outputFile_ = (portsFolder + "/../vtq-sim.out").toStdString();
  std::vector<std::string> a;
  for (const QString& s : args) a.push_back(s.toStdString());
  if (!process_.Start(VTQ_SIM_PATH, a, {{"VARNEL_PORTS", portsFolder.toStdString()}},
                      outputFile_)) {
    return false;
  }
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 10000) {
    if (ReadWholeText(outputFile_).find("ready") != std::string::npos) return true;
    if (!process_.Running()) return false;
    QThread::msleep(20);
  }
  return false;
}

void SimProcess::Stop() { process_.Terminate(5000); }

QString SimProcess::Output() {
  return outputFile_.empty() ? QString() : QString::fromStdString(ReadWholeText(outputFile_));
}

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
  const std::string out = (file + ".dump.json").toStdString();
  ChildProcess dump;
  if (!dump.Start(IDC_DUMP_PATH, {"--json", file.toStdString()}, {}, out)) return {};
  const int status = dump.Wait(20000);
  const std::string text = ReadWholeText(out);
  std::remove(out.c_str());
  if (status != 0) return {};
  return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
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
