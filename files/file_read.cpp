#include "files/file_read.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "files/file_error.h"

namespace varnel {

FileBytes ReadFileBytes(const std::filesystem::path& name, std::uint64_t limit) {
  FileBytes result;
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) {
    result.Error = "it is a folder";
    return result;
  }
  errno = 0;
  std::ifstream in(name, std::ios::binary);
  if (!in.is_open()) {
    result.Error = LastSystemErrorText();
    return result;
  }
  result.Opened = true;
  // Read in pieces rather than trusting the size from the directory alone: the file may be
  // a pipe or change while it is read. With a known size the first piece takes it all (one
  // byte more, to see the end at once).
  constexpr std::uint64_t kPiece = 1 << 16;
  const std::uint64_t expected = std::filesystem::file_size(name, ec);
  std::uint64_t piece = !ec ? expected + 1 : kPiece;
  std::vector<std::uint8_t>& data = result.Data;
  for (;;) {
    const std::uint64_t room = limit + 1 - data.size();  // one more byte tells "larger"
    if (piece > room) piece = room;
    const std::size_t old = data.size();
    data.resize(old + static_cast<std::size_t>(piece));
    errno = 0;
    in.read(reinterpret_cast<char*>(data.data() + old), static_cast<std::streamsize>(piece));
    const auto got = static_cast<std::size_t>(in.gcount());
    data.resize(old + got);
    if (in.bad()) {
      result.ReadFailed = true;
      result.Error = LastSystemErrorText();
      break;
    }
    if (data.size() > limit) {
      data.resize(static_cast<std::size_t>(limit));
      result.Larger = true;
      break;
    }
    if (got < piece) break;
    piece = kPiece;
  }
  return result;
}

}  // namespace varnel
