#include "bench/fleet-day/collected_check.h"

#include <cmath>
#include <exception>

#include "files/idc_reader.h"

namespace varnel::bench {

namespace {

using testsupport::Json;

// A file's times are days since 1899-12-30, the truth's seconds since 2000-01-01.
constexpr double kDaysTo2000 = 36526.0;

bool SameEntries(const std::vector<IdcEntry>& got, const Json& want) {
  const auto& entries = want["entries"].AsArray();
  if (got.size() != entries.size()) return false;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const IdcEntry& g = got[i];
    const Json& w = entries[i];
    const long long seconds = std::llround((g.DateTime - kDaysTo2000) * 86400.0);
    if (seconds != w["t"].AsInt() || g.Kind != w["kind"].AsInt() ||
        g.Extra != static_cast<std::uint32_t>(w["extra"].AsInt())) {
      return false;
    }
    if (!w["value"].IsNull() && g.Value != static_cast<float>(w["value"].AsNumber())) return false;
  }
  return true;
}

bool IsDataFile(const std::filesystem::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".IDC" && p.filename().string().find("_BAK") == std::string::npos;
}

void Note(FileFigures& f, const std::string& text) {
  if (f.notes.size() < 8) f.notes.push_back(text);
}

}  // namespace

FileFigures CheckFiles(const std::vector<testsupport::FleetTruth>& truths,
                       const std::vector<std::filesystem::path>& dataFolders) {
  FileFigures f;
  for (const auto& truth : truths) {
    for (const auto& l : truth.loggers) {
      // The newest record of every answered call; a call whose logger held none has no file.
      std::vector<const Json*> expected;
      for (const auto& c : l.calls) {
        if (c.records.size() == 0) continue;
        expected.push_back(&c.records[0]);
        f.entriesExpected += static_cast<long long>(c.records[0]["entries"].size());
        f.entriesBySerial[l.serial] += static_cast<long long>(c.records[0]["entries"].size());
      }
      f.callsExpected += static_cast<int>(expected.size());
      std::vector<bool> matched(expected.size(), false);
      for (const auto& folder : dataFolders) {
        const auto dir = folder / std::to_string(l.serial);
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) continue;
        for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
          if (!e.is_regular_file() || !IsDataFile(e.path())) continue;
          ++f.files;
          IdcFile file;
          try {
            file = ReadIdcFile(e.path());
          } catch (const std::exception& x) {
            ++f.strayFiles;
            Note(f, e.path().string() + ": unreadable (" + x.what() + ")");
            continue;
          }
          bool duplicate = false, placed = false;
          for (std::size_t i = 0; i < expected.size() && !placed; ++i) {
            if (!SameEntries(file.Measurements, *expected[i])) continue;
            if (matched[i]) {
              duplicate = true;
              continue;
            }
            matched[i] = placed = true;
            ++f.callsWithFile;
            ++f.filesBySerial[l.serial];
            f.entriesInMatchedFiles += static_cast<long long>(file.Measurements.size());
          }
          if (placed) continue;
          if (duplicate) {
            ++f.duplicateFiles;
            Note(f, e.path().string() + ": a second file of the same call");
          } else {
            ++f.strayFiles;
            Note(f, e.path().string() + ": matches no call of logger " + std::to_string(l.serial));
          }
        }
      }
      for (std::size_t i = 0; i < expected.size(); ++i) {
        if (!matched[i]) Note(f, "logger " + std::to_string(l.serial) + ": answered call " +
                                     std::to_string(i + 1) + " has no file");
      }
    }
  }
  return f;
}

}  // namespace varnel::bench
