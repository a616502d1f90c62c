#include "files/data_folder_state.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace varnel {

namespace {

// A name no data file has and no other probe takes at the same moment.
std::filesystem::path ProbeName(const std::filesystem::path& folder) {
  static std::mt19937_64 random{static_cast<std::uint64_t>(
      std::chrono::steady_clock::now().time_since_epoch().count()) ^ std::random_device{}()};
  return folder / (".varnel-probe-" + std::to_string(random()) + ".tmp");
}

bool Absent(const std::filesystem::path& p) {
  std::error_code ec;
  const auto st = std::filesystem::symlink_status(p, ec);
  return st.type() == std::filesystem::file_type::not_found;
}

}  // namespace

FolderState DataFolderState(const std::filesystem::path& folder) {
  std::error_code ec;
  const auto st = std::filesystem::status(folder, ec);
  if (st.type() == std::filesystem::file_type::not_found) return FolderState::Missing;
  if (ec) return FolderState::NotWritable;  // cannot even be looked at
  if (!std::filesystem::is_directory(st)) return FolderState::NotAFolder;
  // Never open a name that exists: the probe must not touch anybody's file.
  std::filesystem::path probe = ProbeName(folder);
  for (int tries = 0; !Absent(probe); ++tries) {
    if (tries == 8) return FolderState::NotWritable;
    probe = ProbeName(folder);
  }
  bool made = false;
  {
    std::ofstream out(probe, std::ios::binary);
    made = static_cast<bool>(out);
  }
  if (made) std::filesystem::remove(probe, ec);
  return made ? FolderState::Usable : FolderState::NotWritable;
}

}  // namespace varnel
