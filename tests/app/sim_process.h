#pragma once
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "child_process.h"

// End-to-end support: the simulator as a child process on a pseudo-terminal, its truth file,
// and the data files decoded with idc-dump.
namespace varnel::test {

class SimProcess {
 public:
  SimProcess() = default;
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  ~SimProcess() { Stop(); }

  // Starts vtq-sim with `args`, its COM link in `portsFolder`, and waits until it is ready.
  bool Start(const QStringList& args, const QString& portsFolder);
  // SIGTERM and wait; the simulator removes its link and writes its truth file.
  void Stop();
  QString Output();

 private:
  ChildProcess process_;
  std::string outputFile_;
};

// The truth file the simulator wrote.
QJsonObject ReadTruth(const QString& path);
// The truth record whose start time is `startTime` (empty when none).
QJsonObject TruthRecordStartingAt(const QJsonObject& truth, qint64 startTime);

// A data file decoded by idc-dump --json (empty object when it cannot be decoded).
QJsonObject DumpIdc(const QString& file);

// Checks that a decoded file holds exactly the entries of a truth record: time (device
// seconds as local wall-clock), kind, value and extra. Returns "" or the first difference.
QString CompareWithTruth(const QJsonObject& dump, const QJsonObject& truthRecord);

// The text of a device time as idc-dump writes it.
QString DeviceIso(qint64 seconds);

}  // namespace varnel::test
