#include "files/idc_names.h"

#include <cstdio>
#include <system_error>

#include "files/durable_file.h"
#include "files/native_path.h"

namespace varnel {

NameRules NativeNameRules() {
#ifdef _WIN32
  return NameRules::Windows;
#else
  return NameRules::Posix;
#endif
}

namespace {

bool InvalidInName(unsigned char c, NameRules rules) {
  if (c == 0 || c == '/') return true;
  if (rules == NameRules::Posix) return false;
  if (c < 32) return true;
  switch (c) {
    case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return false;
  }
}

enum class NameState { Free, Taken, Unknown };

// Free when nothing (not even a dangling link) stands at p. A path that cannot be looked
// at is never taken for free: the name must never be one that would overwrite a file.
NameState StateOf(const std::filesystem::path& p) {
  std::error_code ec;
  const auto st = std::filesystem::symlink_status(p, ec);
  if (ec) {
    return st.type() == std::filesystem::file_type::not_found ? NameState::Free
                                                              : NameState::Unknown;
  }
  return std::filesystem::exists(st) ? NameState::Taken : NameState::Free;
}

// A logger's folder holds this many seconds' worth of names (a hundred each) from the time
// a name is asked for: far more than any readout needs, and a bound on the search.
constexpr int kMaxSecondsAhead = 3600;
// Tries to name one file before giving up, each after another writer took the name.
constexpr int kCommitAttempts = 1000;

// The local time `seconds` after t, as the clock on the wall shows it.
std::tm LocalTimeAfter(const std::tm& t, int seconds) {
  if (seconds == 0) return t;
  std::tm later = t;
  later.tm_sec += seconds;
  std::mktime(&later);  // carries the seconds into minutes, hours, days ...
  return later;
}

}  // namespace

std::string ReplaceInvalidNameChars(std::string_view text, NameRules rules) {
  std::string out(text);
  for (char& c : out) {
    if (InvalidInName(static_cast<unsigned char>(c), rules)) c = '_';
  }
  return out;
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  return tm;
}

std::string IdcNameStem(std::string_view identityText, const std::tm& t, NameRules rules) {
  std::string stem;
  if (!identityText.empty()) {
    stem = ReplaceInvalidNameChars(identityText, rules);
    stem += '_';
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d,%02d,%04d_%02d,%02d,%02d_", t.tm_mday, t.tm_mon + 1,
                t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  stem += buf;
  return stem;
}

std::filesystem::path DataFolderOf(const std::filesystem::path& dataFolder,
                                   std::uint32_t serialNumber) {
  const std::filesystem::path folder = dataFolder / std::to_string(serialNumber);
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    // One level only: a missing data folder is the operator's to fix, not ours to invent.
    std::filesystem::create_directory(folder, ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) return {};
  }
  return folder;
}

std::filesystem::path MakeDataFileName(const std::filesystem::path& dataFolder,
                                       std::uint32_t serialNumber, std::string_view identityText,
                                       const std::tm& localTime) {
  const std::filesystem::path folder = DataFolderOf(dataFolder, serialNumber);
  if (folder.empty()) return {};
  for (int ahead = 0; ahead <= kMaxSecondsAhead; ++ahead) {
    const std::string stem = IdcNameStem(identityText, LocalTimeAfter(localTime, ahead));
    for (int n = 0; n < 100; ++n) {
      char seq[8];
      std::snprintf(seq, sizeof seq, "%02d", n);
      const std::filesystem::path candidate = folder / PathFromUtf8(stem + seq + ".IDC");
      switch (StateOf(candidate)) {
        case NameState::Free:
          return candidate;
        case NameState::Taken:
          break;
        case NameState::Unknown:
          return {};  // the folder cannot be looked into: no name is safe
      }
    }
  }
  return {};
}

std::filesystem::path MakeDataFileName(const std::filesystem::path& dataFolder,
                                       std::uint32_t serialNumber, std::string_view identityText) {
  return MakeDataFileName(dataFolder, serialNumber, identityText, LocalTimeNow());
}

std::filesystem::path CommitDataFile(const std::filesystem::path& temp,
                                     const std::filesystem::path& dataFolder,
                                     std::uint32_t serialNumber, std::string_view identityText,
                                     const std::tm& localTime, std::string& error) {
  for (int attempt = 0; attempt < kCommitAttempts; ++attempt) {
    const std::filesystem::path name =
        MakeDataFileName(dataFolder, serialNumber, identityText, localTime);
    if (name.empty()) {
      error = "no data file name is free in \"" +
              (dataFolder / std::to_string(serialNumber)).string() + "\"";
      return {};
    }
    switch (MoveToNewName(temp, name, error)) {
      case MoveResult::Done:
        return name;
      case MoveResult::NameTaken:
        break;  // another writer was quicker: the next free name
      case MoveResult::Failed:
        return {};
    }
  }
  error = "every data file name tried was taken by another writer";
  return {};
}

std::filesystem::path BackupFileName(const std::filesystem::path& fileName) {
  std::filesystem::path backup = fileName.parent_path() / fileName.stem();
  backup += "_BAK.idc";
  return backup;
}

}  // namespace varnel
