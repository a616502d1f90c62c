#include "files/idc_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "files/code_page_text.h"
#include "link/byte_order.h"

namespace varnel {
namespace {

constexpr double kMsPerDay = 86400000.0;
// 0001-01-01 and 9999-12-31 as date-times.
constexpr std::int64_t kFirstDay = -693593;
constexpr std::int64_t kLastDay = 2958465;
// 1970-01-01 as a date-time.
constexpr std::int64_t kUnixEpochDay = 25569;

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

// The proleptic Gregorian date of a day count from 1970-01-01.
CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2 ? 1 : 0), m, d};
}

template <typename T>
void AppendNumber(std::string& out, T v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// A JSON number for a float, or null for the values JSON cannot hold.
void AppendJsonFloat(std::string& out, float v) {
  if (std::isfinite(v)) {
    AppendNumber(out, v);
  } else {
    out += "null";
  }
}

void AppendJsonDouble(std::string& out, double v) {
  if (std::isfinite(v)) {
    AppendNumber(out, v);
  } else {
    out += "null";
  }
}

void AppendJsonIso(std::string& out, double dateTime) {
  const std::string iso = DateTimeToIso(dateTime);
  if (iso.empty()) {
    out += "null";
  } else {
    out += '"';
    out += iso;
    out += '"';
  }
}

std::string Hex32(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
  return buf;
}

// Small helper that keeps the "key": value lines of one object apart with commas.
class JsonObject {
 public:
  JsonObject(std::string& out, const char* indent) : out_(out), indent_(indent) {}
  std::string& Key(const char* key) {
    out_ += first_ ? "\n" : ",\n";
    first_ = false;
    out_ += indent_;
    out_ += '"';
    out_ += key;
    out_ += "\": ";
    return out_;
  }
  template <typename T>
  void Int(const char* key, T v) {
    AppendNumber(Key(key), v);
  }
  void Float(const char* key, float v) { AppendJsonFloat(Key(key), v); }
  void Text(const char* key, std::string_view v) { Key(key) += JsonString(v); }
  void Bool(const char* key, bool v) { Key(key) += v ? "true" : "false"; }

 private:
  std::string& out_;
  const char* indent_;
  bool first_ = true;
};

}  // namespace

std::string DateTimeToIso(double dateTime) {
  if (!std::isfinite(dateTime)) return {};
  const double whole = std::trunc(dateTime);
  if (whole < static_cast<double>(kFirstDay) || whole > static_cast<double>(kLastDay)) return {};
  std::int64_t day = static_cast<std::int64_t>(whole);
  std::int64_t ms = std::llround(std::fabs(dateTime - whole) * kMsPerDay);
  if (ms >= static_cast<std::int64_t>(kMsPerDay)) {
    ms -= static_cast<std::int64_t>(kMsPerDay);
    ++day;
    if (day > kLastDay) return {};
  }
  const CivilDate d = CivilFromDays(day - kUnixEpochDay);
  const auto msOfDay = static_cast<unsigned>(ms);
  const unsigned hour = msOfDay / 3600000;
  const unsigned minute = msOfDay / 60000 % 60;
  const unsigned second = msOfDay / 1000 % 60;
  const unsigned milli = msOfDay % 1000;
  char buf[64];
  if (milli == 0) {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02u:%02u:%02u",
                  static_cast<long long>(d.year), d.month, d.day, hour, minute, second);
  } else {
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02u:%02u:%02u.%03u",
                  static_cast<long long>(d.year), d.month, d.day, hour, minute, second, milli);
  }
  return buf;
}

std::string FloatText(float v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  std::string out;
  AppendNumber(out, v);
  return out;
}

std::string DoubleText(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  std::string out;
  AppendNumber(out, v);
  return out;
}

std::string JsonString(std::string_view codePageText) {
  std::string out;
  out.reserve(codePageText.size() + 2);
  out += '"';
  for (const char ch : codePageText) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    const char32_t cp = Cp1252ToUnicode(c);
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(cp));
      out += buf;
    } else {
      AppendUtf8(out, cp);
    }
  }
  out += '"';
  return out;
}

void WriteIdcCsv(std::ostream& out, const IdcFile& file) {
  std::string text = "datetime,kind,value,extra\n";
  text.reserve(text.size() + file.Measurements.size() * 48);
  for (const IdcEntry& m : file.Measurements) {
    text += DateTimeToIso(m.DateTime);
    text += ',';
    AppendNumber(text, static_cast<unsigned>(m.Kind));
    text += ',';
    text += FloatText(m.Value);
    text += ',';
    AppendNumber(text, m.Extra);
    text += '\n';
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void WriteIdcJson(std::ostream& out, const IdcFile& f) {
  std::string text = "{";
  text.reserve(4096 + f.Measurements.size() * 100);
  JsonObject top(text, "  ");
  top.Int("Size", f.Size);
  top.Int("Checksum", f.Checksum);
  {
    std::string& s = top.Key("Blocks");
    s += '[';
    for (std::size_t i = 0; i < f.Blocks.size(); ++i) {
      const IdcBlockInfo& b = f.Blocks[i];
      s += i ? ",\n    {" : "\n    {";
      s += "\"Id\": ";
      AppendNumber(s, b.Id);
      s += ", \"Offset\": ";
      AppendNumber(s, b.Offset);
      s += ", \"Length\": ";
      AppendNumber(s, b.Length);
      s += '}';
    }
    s += "\n  ]";
  }
  top.Text("WriterTag", f.WriterTag);
  top.Int("Identity", f.Identity);
  top.Text("IdentityHex", Hex32(f.Identity));
  top.Int("SerialNumber", f.SerialNumber);
  top.Int("WaterFlag", f.WaterFlag);
  top.Text("IdentityText", f.IdentityText);
  top.Text("CommentText", f.CommentText);
  top.Int("ChannelMask", f.ChannelMask);
  {
    std::string& s = top.Key("Channels");
    s += '[';
    for (std::size_t i = 0; i < f.Channels.size(); ++i) {
      const IdcChannel& c = f.Channels[i];
      s += i ? ",\n    {" : "\n    {";
      s += "\"Number\": ";
      AppendNumber(s, static_cast<unsigned>(c.Number));
      s += ", \"Unit\": ";
      s += JsonString(c.Unit);
      s += ", \"Factor\": ";
      AppendJsonFloat(s, c.Factor);
      s += ", \"Offset\": ";
      AppendJsonFloat(s, c.Offset);
      s += ", \"Flag\": ";
      AppendNumber(s, static_cast<unsigned>(c.Flag));
      s += '}';
    }
    s += f.Channels.empty() ? "]" : "\n  ]";
  }
  {
    std::string& s = top.Key("Floats100");
    s += '[';
    for (std::size_t i = 0; i < f.Floats100.size(); ++i) {
      if (i) s += ", ";
      AppendJsonFloat(s, f.Floats100[i]);
    }
    s += ']';
  }
  top.Int("FloatsChannelMask", f.FloatsChannelMask);
  {
    std::string& s = top.Key("Floats80");
    s += '[';
    for (std::size_t i = 0; i < f.Floats80.size(); ++i) {
      const IdcFloatPair& p = f.Floats80[i];
      s += i ? ", {" : "{";
      s += "\"Index\": ";
      AppendNumber(s, static_cast<unsigned>(p.Index));
      s += ", \"Values\": [";
      AppendJsonFloat(s, p.First);
      s += ", ";
      AppendJsonFloat(s, p.Second);
      s += "]}";
    }
    s += ']';
  }
  top.Int("StartTime", f.StartTime);
  AppendJsonIso(top.Key("StartDateTime"), DeviceTimeToDateTime(f.StartTime));
  top.Int("Time2", f.Time2);
  top.Int("Cfg8", f.Cfg8);
  top.Int("Cfg7A", f.Cfg7A);
  top.Float("Float96", f.Float96);
  top.Float("Float97", f.Float97);
  top.Bool("WideCfg9", f.WideCfg9);
  top.Int("Cfg9", f.Cfg9);
  top.Int("Cfg6A", f.Cfg6A);
  top.Int("Cfg7B", static_cast<unsigned>(f.Cfg7B));
  top.Int("Cfg6C", static_cast<unsigned>(f.Cfg6C));
  top.Int("Cfg6B", f.Cfg6B);
  top.Int("Cfg1Bit", static_cast<unsigned>(f.Cfg1Bit));
  top.Int("BatteryCapacity", static_cast<unsigned>(f.BatteryCapacity));
  {
    std::string& s = top.Key("Reserved");
    s += '[';
    for (std::size_t i = 0; i < f.Reserved.size(); ++i) {
      if (i) s += ", ";
      AppendNumber(s, f.Reserved[i]);
    }
    s += ']';
  }
  top.Int("MeasurementCount", f.Measurements.size());
  {
    std::string& s = top.Key("Measurements");
    s += '[';
    for (std::size_t i = 0; i < f.Measurements.size(); ++i) {
      const IdcEntry& m = f.Measurements[i];
      s += i ? ",\n    {" : "\n    {";
      s += "\"DateTime\": ";
      AppendJsonIso(s, m.DateTime);
      s += ", \"Days\": ";
      AppendJsonDouble(s, m.DateTime);
      s += ", \"Kind\": ";
      AppendNumber(s, static_cast<unsigned>(m.Kind));
      s += ", \"Value\": ";
      AppendJsonFloat(s, m.Value);
      s += ", \"Extra\": ";
      AppendNumber(s, m.Extra);
      s += '}';
    }
    s += f.Measurements.empty() ? "]" : "\n  ]";
  }
  text += "\n}\n";
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace varnel
