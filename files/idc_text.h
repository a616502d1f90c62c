#pragma once
#include <ostream>
#include <string>
#include <string_view>

#include "files/idc_reader.h"

namespace varnel {

// Text forms of a data file, for people and for post-processing programs.

// The ISO 8601 text of a date-time (days since 1899-12-30 00:00:00, the fraction the time
// of day): "YYYY-MM-DDThh:mm:ss", rounded to the nearest millisecond, with ".mmm" added
// only when the milliseconds are not zero. The files hold the local wall-clock time of the
// PC that read the logger and no time zone, so the text has no zone designator either.
// A negative date-time counts its whole days back from 1899-12-30 and its fraction
// forward from the start of that day (-1.25 is 1899-12-29T06:00:00), as the files'
// date-time type does. Empty when the value is not a number or lies outside the years
// 1 ... 9999.
std::string DateTimeToIso(double dateTime);

// The text of a float that reads back to the same float: the shortest decimal form, "."
// as decimal point whatever the locale; "nan", "inf", "-inf" for the special values.
std::string FloatText(float v);
std::string DoubleText(double v);

// The texts of the files (identity text, comment, units) are bytes of the Windows code
// page of the PC that wrote them; for JSON they are taken as Windows-1252 and turned into
// UTF-8, with JSON escapes where needed. Returns the quoted JSON string.
std::string JsonString(std::string_view codePageText);

// One line of column names, then one line per measurement entry:
//   datetime,kind,value,extra
// datetime as DateTimeToIso; kind the number of the entry kind (0 ... 14 the channel of a
// measured value, 15 an event, 16 a time marker); value as FloatText; extra the unsigned
// extra value. Lines end with "\n"; no field ever holds a comma or a quote.
void WriteIdcCsv(std::ostream& out, const IdcFile& file);

// The whole file as one JSON object (UTF-8, "\n" line ends): the block list, the writer
// tag, the logger identity, the channels, the float parameters, the record values, the
// battery block and the measurements. Floats that are not numbers are written as null.
void WriteIdcJson(std::ostream& out, const IdcFile& file);

}  // namespace varnel
