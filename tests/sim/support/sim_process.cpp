#include "tests/sim/support/sim_process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace varnel::simtest {

namespace {
std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

std::string SimBinary() { return VTQ_SIM_BINARY; }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vtq-sim-test-XXXXXX").string();
  if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (outFd_ >= 0) ::close(outFd_);
}

bool SimProcess::Start(const std::vector<std::string>& args, const std::string& portsDir, int timeoutMs) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return false;
  const std::string binary = SimBinary();
  std::vector<std::string> argv{binary};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargs;
  for (auto& a : argv) cargs.push_back(a.data());
  cargs.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(pipeFds[1], 1);
    ::dup2(pipeFds[1], 2);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ::setenv("VARNEL_PORTS", portsDir.c_str(), 1);
    ::execv(binary.c_str(), cargs.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  outFd_ = pipeFds[0];
  ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
  if (pid_ < 0) return false;
  return WaitForOutput("vtq-sim: ready", timeoutMs);
}

void SimProcess::Collect(int waitMs) {
  if (outFd_ < 0) return;
  pollfd p{outFd_, POLLIN, 0};
  if (::poll(&p, 1, waitMs) <= 0) return;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(outFd_, buf, sizeof buf);
    if (n <= 0) break;
    output_.append(buf, static_cast<std::size_t>(n));
  }
}

bool SimProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  const std::int64_t end = NowMs() + timeoutMs;
  for (;;) {
    Collect(0);
    if (output_.find(text) != std::string::npos) return true;
    const std::int64_t left = end - NowMs();
    if (left <= 0) return false;
    Collect(static_cast<int>(std::min<std::int64_t>(left, 50)));
  }
}

int SimProcess::WaitExit(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const std::int64_t end = NowMs() + timeoutMs;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      Collect(0);
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (NowMs() >= end) return -1;
    Collect(20);
  }
}

int SimProcess::Stop(int signal, int timeoutMs) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  return WaitExit(timeoutMs);
}

const std::string& SimProcess::output() {
  Collect(0);
  return output_;
}

}  // namespace varnel::simtest

namespace varnel::simtest {

bool SimSession::Start(const std::vector<std::string>& args, int port) {
  if (!sim.Start(args, dir / "ports")) return false;
  line = std::make_unique<LineClient>(dir / ("ports/com" + std::to_string(port)));
  return line->ok();
}

}  // namespace varnel::simtest
