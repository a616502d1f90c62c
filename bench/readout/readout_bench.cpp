// Readout benchmark: one record of 1000 pages, read by 50-page block reads from vtq-sim
// behind its simulated modems, with the line paced at 9600 baud in both directions (a
// request reaches the logger only once its last byte would have, every reply byte takes its
// byte time). Prints the measured time of the read/write job, the line time of the bytes
// that crossed the wire (10 bits a byte, requests and replies), the fixed pauses the
// job makes, and the ratio measured / (line time + pauses). That sum is the physical
// minimum, so the ratio is at least 1; what lies above 1 is the collector's own time.
//
// The read/write job is most of a call's bus traffic but not most of a call's time: a
// whole simulated call (scripts/demo) spends about 10.7 s in the fixed pauses of the
// modem dialogue and the workers, about 2.8 s in modem answers that are complete only once
// the line has been quiet for 400 ms, and the rest in the simulator's delays before the
// call and before the hang-up.
//
// Usage: readout_bench [path of vtq-sim]
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "bench/sim_process.h"
#include "workers/link_facade.h"
#include "workers/worker_messages.h"

namespace {

using namespace varnel;
using Clock = std::chrono::steady_clock;

constexpr int kBaud = 9600;
constexpr int kBitsPerByte = 10;
constexpr int kRingPages = 1000;
constexpr int kReservedPages = 8;
constexpr double kPauseBeforeRequest = 0.001;  // before every request frame
constexpr double kPauseBeforeRecord = 0.200;   // before the pages of each record
constexpr double kPauseAfterRestart = 0.200;   // after the restart command

struct Message {
  unsigned message;
  std::int64_t w, l;
};

class Host : public PostTarget {
 public:
  void Post(unsigned message, std::int64_t w, std::int64_t l, std::string) override {
    std::lock_guard lock(mutex_);
    queue_.push_back({message, w, l});
    ready_.notify_all();
  }
  bool Next(Message& m, std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, limit, [&] { return !queue_.empty(); })) return false;
    m = queue_.front();
    queue_.pop_front();
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Message> queue_;
};

bool StartSim(const std::string& program, const std::filesystem::path& folder,
              bench::SimProcess& sim) {
  // Behind the modem, as loggers at 251 are: the replies come byte by byte, so a block takes
  // as long as the line needs (a direct line would cut it off after the reply timeout).
  std::vector<std::string> args = {program, "--port", "1", "--modem", "--call-after", "2.6",
                                   "--hangup-after", "60", "--baud", std::to_string(kBaud),
                                   "--wrapped", "--records", "1",
                                   "--last-page", std::to_string(kRingPages - 1 + kReservedPages),
                                   "--reserved-pages", std::to_string(kReservedPages),
                                   "--frames", (folder / "frames.jsonl").string()};
  return bench::StartSimProcess(std::move(args), sim);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 1 ? argv[1] : VARNEL_VTQ_SIM;
  std::string pattern = (std::filesystem::temp_directory_path() / "varnel-bench-XXXXXX").string();
  const std::filesystem::path folder = ::mkdtemp(pattern.data());
  std::filesystem::create_directories(folder / "ports");
  ::setenv("VARNEL_PORTS", (folder / "ports").c_str(), 1);

  bench::SimProcess sim;
  if (!StartSim(program, folder, sim)) {
    std::fprintf(stderr, "readout_bench: cannot start %s\n", program.c_str());
    return 1;
  }
  int status = 0;
  Host host;
  TDevice device;
  device.Address = 251;
  SetLinkModem(true);
  if (!LinkOpen(1, 2000)) {
    std::fprintf(stderr, "readout_bench: cannot open COM1\n");
    bench::StopSimProcess(sim);
    return 1;
  }
  StartJob(host, kJobModemContents, device);
  Clock::time_point t0, t1;
  int pagesInRecord = 0;
  for (Message m; status == 0;) {
    if (!host.Next(m, std::chrono::seconds(600))) {
      std::fprintf(stderr, "readout_bench: no answer\n");
      status = 1;
      break;
    }
    if (m.message == WM_WORKER_STATUS && m.w == wsSerialNumber) device.OptionsReady = true;
    if (m.message != WM_WORKER_DONE) continue;
    if (m.w == wdContentsRead) {
      device.Rec(0)->Selected = true;
      pagesInRecord = device.Rec(0)->Span + 1;
      t0 = Clock::now();
      StartJob(host, kJobReadRecords, device);
    } else if (m.w == wdRecordsRead) {
      t1 = Clock::now();
      break;
    } else {
      std::fprintf(stderr, "readout_bench: a job ended with result %lld\n", static_cast<long long>(m.w));
      status = 1;
    }
  }
  WaitForWorker(-1);
  const int pagesKept = status == 0 ? device.Rec(0)->PageCount() : 0;
  StopLink();
  bench::StopSimProcess(sim);
  if (status != 0) return status;

  // The frames of the read/write job: from its identification request on.
  std::ifstream log(folder / "frames.jsonl");
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  std::size_t first = lines.size();
  int identities = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (bench::FrameField(lines[i], "function") == "48" && ++identities == 2) {
      first = i;
      break;
    }
  }
  long long requestBytes = 0, replyBytes = 0, frames = 0, blocks = 0;
  for (std::size_t i = first; i < lines.size(); ++i) {
    ++frames;
    requestBytes += 4 + static_cast<long long>(bench::FrameField(lines[i], "data").size() / 2);
    replyBytes += static_cast<long long>(bench::FrameField(lines[i], "reply").size() / 2);
    const std::string data = bench::FrameField(lines[i], "data");
    if (bench::FrameField(lines[i], "function") == "68" && data.size() == 6 && data.substr(4) != "00") ++blocks;
  }
  std::filesystem::remove_all(folder);

  const double measured = std::chrono::duration<double>(t1 - t0).count();
  const double lineTime = static_cast<double>(requestBytes + replyBytes) * kBitsPerByte / kBaud;
  const double replyLineTime = static_cast<double>(replyBytes) * kBitsPerByte / kBaud;
  const double pauses = static_cast<double>(frames) * kPauseBeforeRequest + kPauseBeforeRecord +
                        kPauseAfterRestart;
  std::printf("record:            %d pages (%d kept), %lld block reads (the comment page included)\n", pagesInRecord, pagesKept, blocks);
  std::printf("frames:            %lld (%lld request bytes, %lld reply bytes)\n", frames, requestBytes,
              replyBytes);
  std::printf("measured:          %.3f s\n", measured);
  std::printf("line time:         %.3f s (replies alone %.3f s)\n", lineTime, replyLineTime);
  std::printf("fixed pauses: %.3f s\n", pauses);
  std::printf("ratio:             %.4f (at least 1 on a line paced both ways; target <= 1.05)\n",
              measured / (lineTime + pauses));
  return 0;
}
