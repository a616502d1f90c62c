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
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/sim_process.h"
#include "workers/link_facade.h"
#include "workers/message_queue.h"
#include "workers/worker_messages.h"

namespace {

using namespace varnel;
using testsupport::Json;
using Clock = std::chrono::steady_clock;

constexpr int kBaud = 9600;
constexpr int kBitsPerByte = 10;
constexpr int kRingPages = 1000;
constexpr int kReservedPages = 8;
constexpr double kPauseBeforeRequest = 0.001;  // before every request frame
constexpr double kPauseBeforeRecord = 0.200;   // before the pages of each record
constexpr double kPauseAfterRestart = 0.200;   // after the restart command

bool StartSim(const std::filesystem::path& folder, testsupport::SimProcess& sim) {
  // Behind the modem, as loggers at 251 are: the replies come byte by byte, so a block takes
  // as long as the line needs (a direct line would cut it off after the reply timeout).
  std::vector<std::string> args = {"--port", "1", "--modem", "--call-after", "2.6",
                                   "--hangup-after", "60", "--baud", std::to_string(kBaud),
                                   "--wrapped", "--records", "1",
                                   "--last-page", std::to_string(kRingPages - 1 + kReservedPages),
                                   "--reserved-pages", std::to_string(kReservedPages),
                                   "--frames", (folder / "frames.jsonl").string()};
  return sim.Start(args, (folder / "ports").string());
}

// The function code of a frame of the frame log (-1 for a frame too short to have one).
long long Function(const Json& frame) {
  return frame["function"].IsNull() ? -1 : frame["function"].AsInt();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 1 ? argv[1] : testsupport::SimProgram();
  const testsupport::TempDir dir("varnel-bench");
  const std::filesystem::path folder = dir.path();
  std::filesystem::create_directories(folder / "ports");
  ::setenv("VARNEL_PORTS", (folder / "ports").c_str(), 1);

  testsupport::SimProcess sim(program);
  if (!StartSim(folder, sim)) {
    std::fprintf(stderr, "readout_bench: cannot start %s %s\n%s", program.c_str(),
                 sim.Error().c_str(), sim.Output().c_str());
    return 1;
  }
  int status = 0;
  MessageQueue host;
  TDevice device;
  device.Address = 251;
  SetLinkModem(true);
  if (!LinkOpen(1, 2000)) {
    std::fprintf(stderr, "readout_bench: cannot open COM1\n");
    return 1;
  }
  StartJob(host, kJobModemContents, device);
  Clock::time_point t0, t1;
  int pagesInRecord = 0;
  while (status == 0) {
    const auto m = host.Take(std::chrono::seconds(600));
    if (!m) {
      std::fprintf(stderr, "readout_bench: no answer\n");
      status = 1;
      break;
    }
    if (m->message == WM_WORKER_STATUS && m->wParam == wsSerialNumber) device.OptionsReady = true;
    if (m->message != WM_WORKER_DONE) continue;
    if (m->wParam == wdContentsRead) {
      device.Rec(0)->Selected = true;
      pagesInRecord = device.Rec(0)->Span + 1;
      t0 = Clock::now();
      StartJob(host, kJobReadRecords, device);
    } else if (m->wParam == wdRecordsRead) {
      t1 = Clock::now();
      break;
    } else {
      std::fprintf(stderr, "readout_bench: a job ended with result %lld\n", static_cast<long long>(m->wParam));
      status = 1;
    }
  }
  WaitForWorker(-1);
  const int pagesKept = status == 0 ? device.Rec(0)->PageCount() : 0;
  StopLink();
  sim.Stop();
  if (status != 0) return status;

  // The frames of the read/write job: from its identification request on.
  const std::vector<Json> log = testsupport::ReadFrameLog(folder / "frames.jsonl");
  std::size_t first = log.size();
  int identities = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (Function(log[i]) == 0x30 && ++identities == 2) {
      first = i;
      break;
    }
  }
  long long requestBytes = 0, replyBytes = 0, frames = 0, blocks = 0;
  for (std::size_t i = first; i < log.size(); ++i) {
    ++frames;
    const std::string& data = log[i]["data"].AsString();
    requestBytes += 4 + static_cast<long long>(data.size() / 2);
    replyBytes += static_cast<long long>(log[i]["reply"].AsString().size() / 2);
    if (Function(log[i]) == 0x44 && data.size() == 6 && data.substr(4) != "00") ++blocks;
  }

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
