#include "history/history_report.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <optional>

namespace varnel {

namespace {

// One cell: its text for the table and CSV, its value for JSON.
struct Cell {
  std::string Text;
  QJsonValue Json;
};

Cell Str(const std::string& s) { return {s, QString::fromStdString(s)}; }
Cell Int(std::int64_t v) { return {std::to_string(v), static_cast<qint64>(v)}; }
Cell Num(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return {buf, QString::fromLatin1(buf).toDouble()};
}
template <typename T>
Cell OptInt(const std::optional<T>& v) {
  return v ? Int(static_cast<std::int64_t>(*v)) : Cell{"-", QJsonValue::Null};
}
Cell OptNum(const std::optional<double>& v, int decimals, double scale = 1.0) {
  return v ? Num(*v * scale, decimals) : Cell{"-", QJsonValue::Null};
}
Cell Time(std::int64_t t) { return Str(LocalTimeText(t)); }

std::string Joined(const std::vector<std::string>& parts, const char* sep) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? sep : "") + parts[i];
  return out;
}

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

using Row = std::vector<Cell>;

// A list of names: "a; b" in the table, an array in JSON.
Cell Names(const std::vector<std::string>& names) {
  QJsonArray a;
  for (const std::string& n : names) a.append(QString::fromStdString(n));
  return {names.empty() ? std::string("-") : Joined(names, "; "), a};
}

// The width of a UTF-8 text in characters (an identity text may hold "ü").
std::size_t Width(const std::string& s) {
  return static_cast<std::size_t>(
      std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// One line of an aligned table: each cell padded to its column's width but the last.
std::string Line(const std::vector<std::size_t>& width, const std::vector<std::string>& cells) {
  std::string l;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i) l += "  ";
    l += cells[i];
    if (i + 1 < cells.size()) l += std::string(width[i] - Width(cells[i]), ' ');
  }
  return l + "\n";
}

std::string Render(const std::vector<std::string>& header, const std::vector<Row>& rows,
                   ReportFormat format) {
  std::string out;
  if (format == ReportFormat::Csv) {
    out = Joined(header, ",") + "\n";
    for (const Row& r : rows) {
      std::vector<std::string> f;
      for (const Cell& c : r) f.push_back(CsvField(c.Text == "-" ? std::string() : c.Text));
      out += Joined(f, ",") + "\n";
    }
    return out;
  }
  std::vector<std::size_t> width(header.size());
  for (std::size_t i = 0; i < header.size(); ++i) width[i] = header[i].size();
  for (const Row& r : rows) {
    for (std::size_t i = 0; i < r.size(); ++i) width[i] = std::max(width[i], Width(r[i].Text));
  }
  const auto line = [&](const std::vector<std::string>& cells) { return Line(width, cells); };
  out = line(header);
  for (const Row& r : rows) {
    std::vector<std::string> cells;
    for (const Cell& c : r) cells.push_back(c.Text);
    out += line(cells);
  }
  return out;
}

QJsonObject Object(const std::vector<std::string>& header, const Row& row) {
  QJsonObject o;
  for (std::size_t i = 0; i < header.size(); ++i) o.insert(QString::fromStdString(header[i]), row[i].Json);
  return o;
}

std::string JsonText(const QJsonValue& v) {
  const QJsonDocument doc = v.isArray() ? QJsonDocument(v.toArray()) : QJsonDocument(v.toObject());
  return doc.toJson(QJsonDocument::Indented).toStdString();
}

const std::vector<std::string> kLoggerHeader = {
    "serial",         "identity",        "contacts",   "last_contact",    "days_since",
    "battery",        "battery_per_day", "clock_s",    "drift_s_per_day", "ring_use",
    "last_result",    "warnings",        "alerts"};

Row LoggerRow(const LoggerSummary& s, const LoggerAlerts& alerts) {
  std::vector<std::string> warnings;
  for (HistoryWarning w : s.Warnings) warnings.push_back(HistoryWarningName(w));
  return {Int(s.SerialNumber),
          Str(s.IdentityText),
          Int(s.Contacts),
          Time(s.LastContact),
          Num(s.DaysSince, 1),
          OptInt(s.Battery),
          OptNum(s.BatteryPerDay, 2),
          OptInt(s.ClockOffset),
          OptNum(s.DriftPerDay, 1),
          OptNum(s.RingUse, 1, 100.0),
          Str(ContactResultName(s.LastResult)),
          Names(warnings),
          Names(alerts.count(s.SerialNumber) ? alerts.at(s.SerialNumber)
                                             : std::vector<std::string>{})};
}

const std::vector<std::string> kContactHeader = {
    "time",         "serial",       "identity",      "device_id",      "firmware",
    "battery",      "clock_s",      "clock_set",     "last_page",      "reserved_pages",
    "ring_use",     "state_bits",   "error_bits",    "records_listed", "records_read",
    "pages_read",   "line_bytes",   "duration_s",    "result",         "files"};

Row ContactRow(const ContactFigures& c) {
  QJsonArray files;
  std::vector<std::string> names;
  for (const std::string& f : c.Files) {
    files.append(QString::fromStdString(f));
    names.push_back(f.substr(f.find_last_of("/\\") + 1));
  }
  return {Time(c.Time),
          Int(c.SerialNumber),
          Str(c.IdentityText),
          Str(c.DeviceId),
          Str(c.Firmware),
          OptInt(c.Battery),
          OptInt(c.ClockOffset),
          {c.ClockSet ? "yes" : "no", c.ClockSet},
          OptInt(c.LastPage),
          OptInt(c.ReservedPages),
          OptNum(c.RingUse, 1, 100.0),
          Int(c.StateBits),
          Int(c.ErrorBits),
          Int(c.RecordsListed),
          Int(c.RecordsRead),
          Int(c.PagesRead),
          Int(static_cast<std::int64_t>(c.LineBytes)),
          Num(c.Duration, 1),
          Str(ContactResultName(c.Result)),
          {names.empty() ? std::string("-") : Joined(names, " "), files}};
}

}  // namespace

std::string LocalTimeText(std::int64_t t) {
  return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

std::string LoggersReport(const std::vector<LoggerSummary>& loggers, ReportFormat format,
                          const LoggerAlerts& alerts) {
  std::vector<Row> rows;
  for (const LoggerSummary& s : loggers) rows.push_back(LoggerRow(s, alerts));
  if (format != ReportFormat::Json) return Render(kLoggerHeader, rows, format);
  QJsonArray a;
  for (const Row& r : rows) a.append(Object(kLoggerHeader, r));
  return JsonText(a);
}

std::string ContactsReport(const std::vector<ContactFigures>& contacts,
                           const LoggerSummary& summary, ReportFormat format) {
  std::string out;
  WriteContactsReport(
      [&contacts](const ContactPageVisitor& visit) {
        visit(contacts);
        return true;
      },
      summary, format, [&out](const std::string& piece) { out += piece; });
  return out;
}

bool WriteContactsReport(const ContactWalk& walk, const LoggerSummary& summary,
                         ReportFormat format, const std::function<void(const std::string&)>& write,
                         const LoggerAlerts& alerts) {
  if (format == ReportFormat::Json) {
    // The envelope as a whole document with no contacts, the contacts streamed into it:
    // the same text as the document with them all, without holding them all.
    QJsonObject envelope;
    envelope.insert(QStringLiteral("summary"), Object(kLoggerHeader, LoggerRow(summary, alerts)));
    envelope.insert(QStringLiteral("contacts"), QJsonArray());
    const std::string text = JsonText(envelope);
    const std::string open = "\"contacts\": [\n";
    const std::size_t split = text.find(open) + open.size();
    write(text.substr(0, split));
    bool first = true;
    const bool ok = walk([&](const std::vector<ContactFigures>& page) {
      std::string piece;
      for (const ContactFigures& c : page) {
        const std::string element = JsonText(Object(kContactHeader, ContactRow(c)));
        piece += first ? "" : ",\n";
        first = false;
        // Two levels deeper than a document of its own; the last line's break is the
        // separator's business.
        for (std::size_t at = 0; at < element.size();) {
          const std::size_t end = element.find('\n', at);
          piece += "        " + element.substr(at, end - at);
          at = end + 1;
          if (at < element.size()) piece += "\n";
        }
      }
      write(piece);
    });
    write((first ? "" : "\n") + text.substr(split));
    return ok;
  }
  if (format == ReportFormat::Csv) {
    write(Joined(kContactHeader, ",") + "\n");
    return walk([&](const std::vector<ContactFigures>& page) {
      std::vector<Row> rows;
      for (const ContactFigures& c : page) rows.push_back(ContactRow(c));
      const std::string text = Render(kContactHeader, rows, format);
      write(text.substr(text.find('\n') + 1));  // the header once only
    });
  }
  // The table's columns are as wide as their widest cell: one walk to measure, one to write.
  std::vector<std::size_t> width;
  for (const std::string& h : kContactHeader) width.push_back(h.size());
  bool ok = walk([&](const std::vector<ContactFigures>& page) {
    for (const ContactFigures& c : page) {
      const Row r = ContactRow(c);
      for (std::size_t i = 0; i < r.size(); ++i) width[i] = std::max(width[i], Width(r[i].Text));
    }
  });
  write(Line(width, kContactHeader));
  ok = walk([&](const std::vector<ContactFigures>& page) {
    std::string piece;
    for (const ContactFigures& c : page) {
      std::vector<std::string> cells;
      for (Cell& cell : ContactRow(c)) cells.push_back(std::move(cell.Text));
      piece += Line(width, cells);
    }
    write(piece);
  }) && ok;
  write("\n" + Render(kLoggerHeader, {LoggerRow(summary, alerts)}, format));
  return ok;
}

}  // namespace varnel
