#pragma once
#include <QString>
#include <QVariantList>
#include <string>
#include <vector>

#include "files/idc_reader.h"

// What the database tests look at: the rows of a database, read through a connection of
// the test's own, and data files made in memory.
namespace varnel::test {

// The rows of `sql` (one QVariantList per row); *error set on failure.
std::vector<QVariantList> Rows(const QString& url, const QString& sql, std::string* error);
// The first value of the first row (an invalid QVariant on failure).
QVariant Value(const QString& url, const QString& sql);

// A time as "yyyy-MM-dd HH:mm:ss" whichever engine gave it (text or date-time).
QString TimeOf(const QVariant& v);

// Days since 1899-12-30 for a date and a time of day, as a data file stores them.
double FileDays(int year, int month, int day, int hour, int minute, int second);

// Compares the measurements of the database with every entry of the file: same number, and
// entry by entry (in file order within equal times and kinds) the same time, kind, value
// and extra. Empty when equal, else the first difference.
std::string CompareWithFile(const QString& url, const IdcFile& file);

}  // namespace varnel::test
