// Writes and reads back the data file of a record that fills 8192 logger pages with 14
// entries each (114,688 measurements), and prints the time of each and the heap memory
// they need at their peak (counted by replacing the global allocator) next to the file
// size. Usage: idc_bench [repetitions, default 7] [folder for the file, default: temp]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "files/idc_blocks.h"
#include "files/idc_reader.h"
#include "files/idc_text.h"
#include "link/byte_order.h"

namespace {

// Heap accounting: every allocation carries its size in front of it.
std::atomic<std::size_t> gCurrent{0};
std::atomic<std::size_t> gPeak{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t n) {
  void* p = std::malloc(n + kHeader);
  if (!p) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  const std::size_t now = gCurrent.fetch_add(n) + n;
  std::size_t peak = gPeak.load();
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(p) + kHeader;
}

void Release(void* p) noexcept {
  if (!p) return;
  char* base = static_cast<char*>(p) - kHeader;
  gCurrent.fetch_sub(*reinterpret_cast<std::size_t*>(base));
  std::free(base);
}

// Peak heap bytes above the level at the start of a phase.
struct HeapPhase {
  std::size_t start = gCurrent.load();
  HeapPhase() { gPeak.store(start); }
  std::size_t PeakAbove() const { return gPeak.load() - start; }
};

long MaxRssKiB() {
#ifndef _WIN32
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
#else
  return 0;
#endif
}

std::vector<varnel::IdcEntry> MakeRecord(std::size_t pages, std::size_t perPage) {
  std::vector<varnel::IdcEntry> entries;
  entries.reserve(pages * perPage);
  std::uint32_t t = 762000000;
  float v = 1.0f;
  for (std::size_t p = 0; p < pages; ++p) {
    for (std::size_t i = 0; i < perPage; ++i) {
      varnel::IdcEntry e;
      if (i == 13 && p % 16 == 0) {
        e = {varnel::DeviceTimeToDateTime(t), varnel::kIdcKindTimeMarker, v, 60};
        t += 60;
      } else {
        t += 10;
        v += 0.001f;
        e = {varnel::DeviceTimeToDateTime(t), static_cast<std::uint8_t>(i % 3), v, 0};
      }
      entries.push_back(e);
    }
  }
  return entries;
}

struct Figures {
  double Min = 0;
  double Median = 0;
};

template <typename F>
Figures Time(int reps, F&& f) {
  std::vector<double> ms;
  for (int i = 0; i < reps; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    const auto t1 = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2]};
}

}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
#ifndef _WIN32
  const fs::path file = folder / ("idc_bench_" + std::to_string(getpid()) + ".IDC");
#else
  const fs::path file = folder / "idc_bench.IDC";
#endif

  const varnel::IdcLoggerInfo logger = [] {
    varnel::IdcLoggerInfo l;
    l.SerialNumber = 123456;
    l.IdentityText = "Bench";
    l.CommentText = "A record of 8192 full pages";
    l.ChannelMask = 0x0007;
    l.WideCfg9 = true;
    return l;
  }();
  const varnel::IdcRecordInfo record{762000000, 0};
  const auto entries = MakeRecord(8192, 14);
  const long rssBefore = MaxRssKiB();

  std::size_t writePeak = 0;
  const Figures write = Time(reps, [&] {
    HeapPhase heap;
    varnel::WriteIdcFile(file, varnel::kIdcVersionText, logger, record, entries);
    writePeak = std::max(writePeak, heap.PeakAbove());
  });
  const auto size = fs::file_size(file);
  const long rssAfterWrite = MaxRssKiB();

  std::size_t readPeak = 0;
  std::size_t count = 0;
  const Figures read = Time(reps, [&] {
    HeapPhase heap;
    const varnel::IdcFile f = varnel::ReadIdcFile(file);
    count = f.Measurements.size();
    readPeak = std::max(readPeak, heap.PeakAbove());
  });
  const long rssAfterRead = MaxRssKiB();

  const varnel::IdcFile f = varnel::ReadIdcFile(file);
  std::size_t csvSize = 0;
  const Figures csv = Time(reps, [&] {
    std::ostringstream out;
    varnel::WriteIdcCsv(out, f);
    csvSize = out.str().size();
  });
  std::size_t jsonSize = 0;
  const Figures json = Time(reps, [&] {
    std::ostringstream out;
    varnel::WriteIdcJson(out, f);
    jsonSize = out.str().size();
  });
  std::error_code ec;
  fs::remove(file, ec);

  const double mb = static_cast<double>(size) / (1024.0 * 1024.0);
  std::printf("record: 8192 pages x 14 entries = %zu measurements, file %llu bytes (%.2f MiB)\n",
              count, static_cast<unsigned long long>(size), mb);
  std::printf("repetitions: %d (min / median)\n", reps);
  std::printf("write:  %7.2f / %7.2f ms   peak heap %6.2f MiB (%.2f x file)\n", write.Min,
              write.Median, writePeak / 1048576.0, writePeak / static_cast<double>(size));
  std::printf("read:   %7.2f / %7.2f ms   peak heap %6.2f MiB (%.2f x file)\n", read.Min,
              read.Median, readPeak / 1048576.0, readPeak / static_cast<double>(size));
  std::printf("csv:    %7.2f / %7.2f ms   %zu bytes of text\n", csv.Min, csv.Median, csvSize);
  std::printf("json:   %7.2f / %7.2f ms   %zu bytes of text\n", json.Min, json.Median, jsonSize);
  std::printf("max RSS: %ld KiB before, +%ld KiB after writing, +%ld KiB after reading\n",
              rssBefore, rssAfterWrite - rssBefore, rssAfterRead - rssAfterWrite);
  std::printf("targets: write < 50 ms, read < 50 ms, memory a few times the file size\n");
  return 0;
}
