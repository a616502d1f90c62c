#pragma once
#include <QString>

#include "files/idc_reader.h"

namespace varnel::test {

// A record as a data file holds it: serial 40123, started 2000-01-02 03:46:40 (device
// second 100000), `count` pairs of P1 and P2 readings a minute apart from 2024-03-07
// 14:00:00 on, two event entries with the same time (only their order tells them apart),
// and a reading that is not a number.
IdcFile SampleRecordFile(int count, std::uint32_t serial = 40123);

// Puts files into the database of `url` as a collector does (a record read again, the
// next piece of the same record, another logger) and checks that each entry is there
// exactly once and as the file has it.
void CheckEveryEntryOnce(const QString& url);

// Tables made by the version before (with a file in them) are taken over in place by the
// first collector of this one: old rows stay, new ones get the offset, the units' rows and
// the view, and the span index is made; contacts gain the PC, the port and the files'
// names in the data folder. `folder` takes the data file it writes.
void CheckTablesOfTheLastVersionAreTakenOver(const QString& url, const QString& folder);

}  // namespace varnel::test
