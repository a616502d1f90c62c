#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace varnel {

// A data or configuration file could not be created, opened, written or read. The
// message names the file and the cause; callers turn it into a status, never a crash.
class FileError : public std::runtime_error {
 public:
  explicit FileError(const std::string& message) : std::runtime_error(message) {}
};

// A file was read but its bytes are not a valid file: it is truncated, its fields
// contradict each other, or its check sum is wrong. Offset() is the byte position (from
// the start of the file) at which the fault was found; the message reads
// "<file>: at offset <n>: <detail>" (without the file part when no file name is known).
class FileFormatError : public FileError {
 public:
  FileFormatError(std::uint64_t offset, const std::string& detail, const std::string& file = {})
      : FileError((file.empty() ? std::string() : "\"" + file + "\": ") + "at offset " +
                  std::to_string(offset) + ": " + detail),
        offset_(offset),
        detail_(detail) {}
  std::uint64_t Offset() const noexcept { return offset_; }
  const std::string& Detail() const noexcept { return detail_; }
  // The same fault, named with the file it was found in.
  FileFormatError InFile(const std::string& file) const { return {offset_, detail_, file}; }

 private:
  std::uint64_t offset_;
  std::string detail_;
};

// The text of the last operating-system error (errno), for error messages.
std::string LastSystemErrorText();

}  // namespace varnel
