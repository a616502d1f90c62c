#pragma once
#include <QString>
#include <QStringList>

// The supplied post-processing module: each new data file's measurements as a CSV file
// beside it (one line per entry: datetime,kind,value,extra).
namespace varnel::idc2csv {

// "<folder>/<name>.csv" for "<folder>/<name>.<ext>".
QString CsvPathFor(const QString& dataFile);

// Writes the CSV of one data file. The CSV appears complete or not at all (written to a
// temporary file and renamed). Returns "" or the reason it failed.
QString ConvertToCsv(const QString& dataFile);

// The files of the last readout, as the collector stored them ("File0", "File1", ... in
// position order).
QStringList FileListFromStore();

// Registers this module in the store under the key name `keyName`: its program path, its
// display name and whether it is started once per file.
void RegisterModule(const QString& keyName, const QString& programPath,
                    const QString& description, bool oneFile);

}  // namespace varnel::idc2csv
