#include "files/durable_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace varnel {

namespace {

std::atomic<unsigned long> g_tempCounter{0};

unsigned long ProcessNumber() {
#ifdef _WIN32
  return static_cast<unsigned long>(GetCurrentProcessId());
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

std::string Quoted(const std::filesystem::path& p) { return "\"" + p.string() + "\""; }

#ifdef _WIN32

std::string LastWindowsError() {
  return std::system_category().message(static_cast<int>(GetLastError()));
}

#else

std::string LastErrnoText() { return std::generic_category().message(errno); }

// The folder's own entry list must reach the disk too, or a file moved into it may be
// missing after a power cut. Not every file system can do this; that is no failure.
void SyncFolderOf(const std::filesystem::path& file) {
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The file system cannot make a second name for a file (no hard links).
bool NoHardLinks(int e) {
  return e == EPERM || e == ENOTSUP || e == EOPNOTSUPP || e == ENOSYS || e == EXDEV ||
         e == EMLINK;
}

#endif

}  // namespace

std::filesystem::path TempNameBeside(const std::filesystem::path& target) {
  std::filesystem::path name(".~");
  name += target.filename();
  name += "." + std::to_string(ProcessNumber()) + "-" + std::to_string(++g_tempCounter) + ".part";
  return target.parent_path() / name;
}

bool FlushToDisk(const std::filesystem::path& file, std::string& error) {
#ifdef _WIN32
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "cannot open " + Quoted(file) + " to flush it: " + LastWindowsError();
    return false;
  }
  const bool ok = FlushFileBuffers(h) != 0;
  if (!ok) error = "cannot flush " + Quoted(file) + ": " + LastWindowsError();
  CloseHandle(h);
  return ok;
#else
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + Quoted(file) + " to flush it: " + LastErrnoText();
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  if (!ok) error = "cannot flush " + Quoted(file) + ": " + LastErrnoText();
  ::close(fd);
  return ok;
#endif
}

MoveResult MoveToNewName(const std::filesystem::path& from, const std::filesystem::path& to,
                         std::string& error) {
#ifdef _WIN32
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return MoveResult::Done;
  const DWORD e = GetLastError();
  if (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS) return MoveResult::NameTaken;
  error = "cannot move " + Quoted(from) + " to " + Quoted(to) + ": " + LastWindowsError();
  return MoveResult::Failed;
#else
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    SyncFolderOf(to);
    return MoveResult::Done;
  }
  if (errno == EEXIST) return MoveResult::NameTaken;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP) {
    error = "cannot move " + Quoted(from) + " to " + Quoted(to) + ": " + LastErrnoText();
    return MoveResult::Failed;
  }
#endif
  // A second name for the file is made only when the name is free; the first then goes.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    SyncFolderOf(to);
    return MoveResult::Done;
  }
  if (errno == EEXIST) return MoveResult::NameTaken;
  if (!NoHardLinks(errno)) {
    error = "cannot move " + Quoted(from) + " to " + Quoted(to) + ": " + LastErrnoText();
    return MoveResult::Failed;
  }
  // A file system without either way: look, then move (the one case with a short window).
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(to, ec))) {
    return MoveResult::NameTaken;
  }
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    error = "cannot move " + Quoted(from) + " to " + Quoted(to) + ": " + LastErrnoText();
    return MoveResult::Failed;
  }
  SyncFolderOf(to);
  return MoveResult::Done;
#endif
}

bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::error_code& reason) {
#ifdef _WIN32
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  reason.assign(static_cast<int>(GetLastError()), std::system_category());
  return false;
#else
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    reason.assign(errno, std::generic_category());
    return false;
  }
  SyncFolderOf(to);
  return true;
#endif
}

bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error) {
  std::error_code reason;
  if (MoveReplacing(from, to, reason)) return true;
  error = "cannot move " + Quoted(from) + " to " + Quoted(to) + ": " + reason.message();
  return false;
}

bool CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::string& error) {
  const std::filesystem::path temp = TempNameBeside(to);
  std::error_code ec;
  if (!std::filesystem::copy_file(from, temp, ec)) {
    error = "cannot copy " + Quoted(from) + " to " + Quoted(temp) + ": " +
            (ec ? ec.message() : std::string("unknown error"));
    std::filesystem::remove(temp, ec);
    return false;
  }
  if (!FlushToDisk(temp, error) || !MoveReplacing(temp, to, error)) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace varnel
