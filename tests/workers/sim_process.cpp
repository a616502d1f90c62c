#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace varnel::testing {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::filesystem::path MakeFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "varnel-workers-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

}  // namespace

std::string SimProgram() { return VARNEL_VTQ_SIM; }

SimProcess::SimProcess(std::vector<std::string> args, int port) : port_(port) {
  folder_ = MakeFolder();
  if (folder_.empty()) {
    error_ = "cannot make a temporary folder";
    return;
  }
  std::filesystem::create_directories(folder_ / "ports");
  std::filesystem::create_directories(DataFolder());
  const std::string ports = (folder_ / "ports").string();
  ::setenv("VARNEL_PORTS", ports.c_str(), 1);

  std::vector<std::string> argv = {SimProgram(), "--port", std::to_string(port),
                                   "--truth", (folder_ / "truth.json").string(),
                                   "--frames", (folder_ / "frames.jsonl").string(),
                                   "--memory-dump", (folder_ / "memory.bin").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  const int rc = ::posix_spawn(&pid_, cargv[0], &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    pid_ = -1;
    error_ = "cannot start " + SimProgram() + ": " + std::strerror(rc);
    return;
  }
  reader_ = std::thread([this, fd = out[0]] { ReadOutput(fd); });
  if (!WaitForOutput("vtq-sim: ready", 1, kStartLimit)) {
    std::string said;
    for (const auto& l : Output()) said += l + "\n";
    error_ = "vtq-sim did not get ready:\n" + said;
  }
}

SimProcess::~SimProcess() {
  Stop();
  if (!folder_.empty() && std::getenv("VARNEL_KEEP_TEST_FILES") == nullptr) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

void SimProcess::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (reader_.joinable()) reader_.join();
}

void SimProcess::ReadOutput(int fd) {
  char buffer[1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::lock_guard lock(mutex_);
    partial_.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t nl; (nl = partial_.find('\n')) != std::string::npos;) {
      lines_.push_back(partial_.substr(0, nl));
      partial_.erase(0, nl + 1);
    }
  }
  ::close(fd);
}

Json SimProcess::Truth() const { return Json::Parse(ReadFile(folder_ / "truth.json")); }

std::vector<Json> SimProcess::Frames() const {
  std::vector<Json> frames;
  std::istringstream in(ReadFile(folder_ / "frames.jsonl"));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) frames.push_back(Json::Parse(line));
  }
  return frames;
}

std::vector<unsigned char> SimProcess::MemoryAtStart() const {
  const std::string bytes = ReadFile(folder_ / "memory.bin");
  return {bytes.begin(), bytes.end()};
}

std::vector<std::string> SimProcess::Output() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool SimProcess::WaitForOutput(const std::string& text, int count,
                               std::chrono::milliseconds limit) const {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int seen = 0;
    for (const auto& l : Output()) seen += l.find(text) != std::string::npos;
    if (seen >= count) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace varnel::testing
