#include "e2e_checks.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <sstream>

#include "lang/lang.h"
#include "lang/text_ids.h"

namespace varnel::test {

namespace {

// The texts with which the program reports a fault: a port that does not open, errors the
// logger reports, a lost or changed logger, a silent modem, files, backups, the language
// setting, an impossible memory layout, the contact history and the page cache, a modem
// that went or whose set-up failed, a logger without pages for its texts.
constexpr int kFaultTextIds[] = {
    kTextPortError,         kTextRecordError,         kTextBatteryError,
    kTextAcknowledgeError,  kTextDeviceChanged,       kTextNoCommunication,
    kTextNoFileCreated,     kTextModemTimeout,        kTextBackupFailed,
    kTextFilesNotFinished,  kTextUnknownLanguage,     kTextMemoryLayoutInvalid,
    kTextHistoryNotWritten, kTextPageCacheDamaged,    kTextPageCacheNotWritten,
    kTextModemGone,         kTextSetupRetry,          kTextNoTextPages,
    kTextIdNotWritten,      kTextCommentNotWritten,   kTextFolderUnusable,
    kTextConfigNotWritten,  kTextValueRefused};
// The console collector's complaints on its error output.
constexpr const char* kCollectorComplaint = "varnel-collect: ";

std::vector<std::string> FaultTexts() {
  std::vector<std::string> texts = {kCollectorComplaint};
  for (int base : {kEnglishBase, kDutchBase, kGermanBase}) {
    for (int id : kFaultTextIds) {
      if (std::string t = LoadText(id, base); !t.empty()) texts.push_back(std::move(t));
    }
  }
  return texts;
}

// The line, or the part after its time stamp and TAB, begins with `text`.
bool Begins(const std::string& line, const std::string& text) {
  if (line.rfind(text, 0) == 0) return true;
  const std::size_t tab = line.find('\t');
  return tab != std::string::npos && line.compare(tab + 1, text.size(), text) == 0;
}

}  // namespace

std::string FaultLines(const std::vector<std::string>& lines,
                       const std::vector<std::string>& allowed) {
  static const std::vector<std::string> faults = FaultTexts();
  std::string found;
  for (const std::string& line : lines) {
    const auto begins = [&line](const std::string& t) { return Begins(line, t); };
    if (std::any_of(faults.begin(), faults.end(), begins) &&
        std::none_of(allowed.begin(), allowed.end(), begins)) {
      found += line + "\n";
    }
  }
  return found;
}

std::string FaultLines(const std::string& text, const std::vector<std::string>& allowed) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return FaultLines(lines, allowed);
}

std::string LogFaultLines(const QString& logPath, const std::vector<std::string>& allowed) {
  QFile f(logPath);
  if (!f.open(QIODevice::ReadOnly)) return "cannot read the program log " + logPath.toStdString();
  return FaultLines(f.readAll().toStdString(), allowed);
}

QString ProgramIn(const QString& program, const QString& folder) {
  const QString path = folder + "/" + QFileInfo(program).fileName();
  // A hard link: the program finds its own folder through the name it was started by, which
  // a symbolic link would resolve. Made under a name of its own and renamed over the old
  // one: a program started from the same folder a moment ago (three collectors at once) is
  // never without its file while it starts.
  const QString fresh = path + QStringLiteral(".new");
  QFile::remove(fresh);
  if (::link(QFile::encodeName(program).constData(), QFile::encodeName(fresh).constData()) == 0 ||
      QFile::copy(program, fresh)) {
    if (::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) == 0) {
      return path;
    }
  }
  return program;
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
