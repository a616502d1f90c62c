#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <string>
#include <vector>

#include "tests/support/sim_process.h"

// End-to-end checks: the simulator's truth file, the data files decoded with idc-dump, and
// the program's own fault lines in its memo and log.
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

// The lines among `lines` (memo lines, or program log lines with or without their time
// stamp) in which the program reports a fault of its own or of the line: each begins with
// one of the fault texts of the string table (in any of its languages), such as "No File
// created !", "Contact history not written" or "No communication! ...". A line that begins
// with a text of `allowed` is one the test provokes on purpose and is left out. Returns
// the lines found, one per line, or "" when there are none.
std::string FaultLines(const std::vector<std::string>& lines,
                       const std::vector<std::string>& allowed = {});
// The same for a whole text (the output of a collector run, say).
std::string FaultLines(const std::string& text, const std::vector<std::string>& allowed = {});
// The same for a program log file; a log that cannot be read is reported as a fault.
std::string LogFaultLines(const QString& logPath, const std::vector<std::string>& allowed = {});

// A link to `program` (a copy where no link can be made) in `folder`: a program run from
// there keeps its program log beside it, apart from every other test's.
QString ProgramIn(const QString& program, const QString& folder);

}  // namespace varnel::test
