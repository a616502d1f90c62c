// Incremental readout benchmark: vtq-sim behind its simulated modems, replies paced at
// 9600 baud, holds one record of 2000 pages and records 20 more pages between calls (or,
// given a number of entries, adds that many entries between calls, filling its newest page
// before it opens new ones). The
// first call reads the record in full; the cache it leaves (written to a file and read back,
// as the collector does) lets the next calls read only the new pages plus the one re-read.
// For every call it prints the time the read/write job took, from its start to its end
// result, measured on the clock, and the record pages that crossed the line (from the
// simulator's frame log); at the end the ratio incremental / full.
//
// Usage: incremental_bench [path of vtq-sim] [calls, default 3] [entries between calls]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "device/page_cache.h"
#include "tests/support/sim_process.h"
#include "workers/link_facade.h"
#include "workers/message_queue.h"
#include "workers/worker_messages.h"

namespace {

using namespace varnel;
using testsupport::Json;
using Clock = std::chrono::steady_clock;

constexpr int kBaud = 9600;
constexpr int kRecordPages = 2000;
constexpr int kNewPagesPerCall = 20;
constexpr int kRingPages = 4096;
constexpr int kReservedPages = 8;

bool StartSim(const std::filesystem::path& folder, int entries, testsupport::SimProcess& sim) {
  std::vector<std::string> args = {
      "--port", "1", "--modem", "--call-after", "2.6", "--hangup-after", "2",
      "--baud", std::to_string(kBaud), "--records", "1",
      "--newest-pages", std::to_string(kRecordPages),
      entries > 0 ? "--entries-between-calls" : "--pages-between-calls",
      std::to_string(entries > 0 ? entries : kNewPagesPerCall),
      "--last-page", std::to_string(kRingPages - 1 + kReservedPages),
      "--reserved-pages", std::to_string(kReservedPages),
      "--frames", (folder / "frames.jsonl").string()};
  return sim.Start(args, (folder / "ports").string());
}

// Ring pages sent in block reads during call `call` (page headers of the contents walk and
// the pages above the ring left out).
long RecordPagesOnTheLine(const std::filesystem::path& frames, int call) {
  long pages = 0;
  for (const Json& frame : testsupport::ReadFrameLog(frames)) {
    if (frame["call"].AsInt() != call || frame["function"].IsNull() ||
        frame["function"].AsInt() != 0x44) {
      continue;
    }
    const std::string& data = frame["data"].AsString();
    if (data.size() != 6) continue;
    const long start = std::stol(data.substr(0, 4), nullptr, 16);
    const long count = std::stol(data.substr(4), nullptr, 16);
    if (start < kRingPages) pages += count;
  }
  return pages;
}

struct Readout {
  int recordPages = 0;
  double seconds = 0;
  long pagesOnLine = 0;
  bool incremental = false;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string program = argc > 1 ? argv[1] : testsupport::SimProgram();
  const int calls = argc > 2 ? std::max(2, std::atoi(argv[2])) : 3;
  const int entries = argc > 3 ? std::max(0, std::atoi(argv[3])) : 0;
  const testsupport::TempDir dir("varnel-bench");
  const std::filesystem::path folder = dir.path();
  std::filesystem::create_directories(folder / "ports");
  ::setenv("VARNEL_PORTS", (folder / "ports").c_str(), 1);

  testsupport::SimProcess sim(program);
  if (!StartSim(folder, entries, sim)) {
    std::fprintf(stderr, "incremental_bench: cannot start %s %s\n%s", program.c_str(),
                 sim.Error().c_str(), sim.Output().c_str());
    return 1;
  }
  MessageQueue host;
  TDevice device;
  device.Address = 251;
  SetLinkModem(true);
  if (!LinkOpen(1, 2000)) {
    std::fprintf(stderr, "incremental_bench: cannot open COM1\n");
    return 1;
  }
  const std::filesystem::path cacheFile = PageCacheFile(folder / "cache", 40123);
  std::vector<Readout> readouts;
  int status = 0;
  Clock::time_point t0;
  StartJob(host, kJobModemContents, device);
  while (status == 0) {
    const auto m = host.Take(std::chrono::seconds(900));
    if (!m) {
      std::fprintf(stderr, "incremental_bench: no answer\n");
      status = 1;
      break;
    }
    if (m->message == WM_WORKER_STATUS && m->wParam == wsSerialNumber) {
      // The first call reads in full; the later ones only new pages, from the cache file.
      device.ReadOnlyNewPages = !readouts.empty();
      device.CachedPages.reset();
      auto cache = std::make_shared<PageCache>();
      if (device.ReadOnlyNewPages && ReadPageCache(cacheFile, *cache) == CacheRead::Loaded) {
        device.CachedPages = cache;
      }
      device.OptionsReady = true;
    }
    if (m->message != WM_WORKER_DONE) continue;
    if (m->wParam == wdContentsRead) {
      device.ConfigKnown = false;
      device.Rec(0)->Selected = true;
      Readout r;
      r.recordPages = device.Rec(0)->Span + 1;
      r.incremental = device.CachedPages != nullptr;
      readouts.push_back(r);
      t0 = Clock::now();
      StartJob(host, kJobReadRecords, device);
    } else if (m->wParam == wdRecordsRead) {
      readouts.back().seconds = std::chrono::duration<double>(Clock::now() - t0).count();
      std::string error;
      if (!WritePageCache(cacheFile, PageCacheOf(device), error)) {
        std::fprintf(stderr, "incremental_bench: %s\n", error.c_str());
        status = 1;
      }
      if (static_cast<int>(readouts.size()) == calls) break;
    } else if (m->wParam == wdAwaitHangUp) {
      continue;
    } else if (m->wParam == wdHungUp) {
      WaitForWorker(-1);
      device.ClearRecs();
      device.OptionsReady = false;
      StartJob(host, kJobNextCall, device);
    } else {
      std::fprintf(stderr, "incremental_bench: a job ended with result %lld\n",
                   static_cast<long long>(m->wParam));
      status = 1;
    }
  }
  StopLink();
  WaitForWorker(-1);
  sim.Stop();
  for (std::size_t i = 0; i < readouts.size(); ++i) {
    readouts[i].pagesOnLine = RecordPagesOnTheLine(folder / "frames.jsonl", static_cast<int>(i + 1));
  }
  if (status != 0) return status;

  std::printf("line: %d baud, replies paced by vtq-sim; each figure is the read/write job from its\n"
              "start to its end result (identification, configuration, the record, restart)\n",
              kBaud);
  if (entries > 0) {
    std::printf("between calls the logger adds %d entries (its newest page first)\n", entries);
  } else {
    std::printf("between calls the logger adds %d pages\n", kNewPagesPerCall);
  }
  double incremental = 0;
  int incrementalCalls = 0;
  for (std::size_t i = 0; i < readouts.size(); ++i) {
    const Readout& r = readouts[i];
    std::printf("call %zu: %-11s record of %d pages, %ld record pages on the line, %.3f s\n", i + 1,
                r.incremental ? "incremental" : "full", r.recordPages, r.pagesOnLine, r.seconds);
    if (r.incremental) {
      incremental += r.seconds;
      ++incrementalCalls;
    }
  }
  if (incrementalCalls == 0 || readouts.front().incremental) {
    std::fprintf(stderr, "incremental_bench: no incremental readout to compare\n");
    return 1;
  }
  const double mean = incremental / incrementalCalls;
  std::printf("full:        %.3f s\nincremental: %.3f s (mean of %d)\nratio:       %.4f (goal < 0.05)\n",
              readouts.front().seconds, mean, incrementalCalls, mean / readouts.front().seconds);
  return 0;
}
