#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include "tests/support/sim_process.h"

// End-to-end checks: the simulator's truth file, and the data files decoded with idc-dump.
namespace varnel::test {

using testsupport::SimProcess;

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
