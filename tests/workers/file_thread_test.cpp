// The file worker on a device image made by hand: which records give files, what the
// files hold, its posts, and how it ends when it is stopped, refused or cannot write.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "files/file_error.h"
#include "files/idc_reader.h"
#include "link/byte_order.h"
#include "workers/file_thread.h"
#include "workers/worker_messages.h"

namespace varnel {
namespace {

using namespace std::chrono_literals;

// A host for the file worker alone: it queues the posts and runs the synchronised calls on
// the test thread. `onSync` runs on the test thread after the n-th call (from 1).
class FileHost : public PostTarget, public SyncTarget {
 public:
  struct Message {
    unsigned message;
    std::int64_t w, l;
  };

  void Post(unsigned message, std::int64_t w, std::int64_t l, std::string) override {
    std::lock_guard lock(mutex_);
    posts_.push_back({message, w, l});
    changed_.notify_all();
  }

  bool Synchronize(const std::function<void()>& call) override {
    std::unique_lock lock(mutex_);
    if (refuse_) return false;
    calls_.push_back(call);
    changed_.notify_all();
    const std::size_t ticket = ++issued_;
    changed_.wait(lock, [&] { return done_ >= ticket; });
    return true;
  }

  // Runs the calls until WM_FILES_DONE has arrived; false after `limit`.
  bool RunUntilDone(std::chrono::milliseconds limit = 10s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    for (;;) {
      while (!calls_.empty()) {
        auto call = std::move(calls_.front());
        calls_.pop_front();
        lock.unlock();
        call();
        const int n = ++ran_;
        if (onSync) onSync(n);
        lock.lock();
        ++done_;
        changed_.notify_all();
      }
      for (const auto& m : posts_) {
        if (m.message == WM_FILES_DONE) return true;
      }
      if (changed_.wait_until(lock, until) == std::cv_status::timeout) return false;
    }
  }

  void Refuse() {
    std::lock_guard lock(mutex_);
    refuse_ = true;
  }

  std::vector<Message> Posts() {
    std::lock_guard lock(mutex_);
    return posts_;
  }

  std::vector<std::int64_t> FilesDone() {
    std::vector<std::int64_t> r;
    for (const auto& m : Posts()) {
      if (m.message == WM_FILES_DONE) r.push_back(m.w);
    }
    return r;
  }

  std::function<void(int)> onSync;
  TDevice device;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> calls_;
  std::vector<Message> posts_;
  std::size_t issued_ = 0;
  std::size_t done_ = 0;
  int ran_ = 0;
  bool refuse_ = false;
};

constexpr std::uint32_t kT = 760000000;

// A record page at pageNo of the record starting at firstPage, with one measurement of
// channel 1 worth `value`, one second after the page's time.
std::unique_ptr<TPage> Page(int pageNo, int firstPage, std::uint32_t time, float value) {
  std::array<std::uint8_t, kPageSize> data;
  data.fill(0xFF);
  data[0] = static_cast<std::uint8_t>((pageNo == firstPage ? 0x80 : 0) | (firstPage >> 8));
  data[1] = static_cast<std::uint8_t>(firstPage & 0xFF);
  PutU32BE(time, data.data() + 2);
  std::uint8_t v[4];
  PutF32BE(value, v);
  data[8] = 0x11;
  data[9] = v[0];
  data[10] = v[1];
  data[11] = v[2];
  return std::make_unique<TPage>(static_cast<std::int16_t>(pageNo), data.data(),
                                 static_cast<std::int16_t>(firstPage), time);
}

// A record of `pages` pages from firstPage on, read newest first.
std::unique_ptr<TRec> Record(int firstPage, int pages, std::uint32_t start, bool selected, bool read) {
  auto rec = std::make_unique<TRec>();
  rec->Selected = selected;
  rec->Read = read;
  rec->FirstPage = static_cast<std::uint16_t>(firstPage);
  rec->LastPage = static_cast<std::uint16_t>(firstPage + pages - 1);
  rec->Span = static_cast<std::int16_t>(pages - 1);
  rec->StartTime = start;
  if (read) {
    for (int p = firstPage + pages - 1; p >= firstPage; --p) {
      rec->AddPage(Page(p, firstPage, start + 60 * static_cast<std::uint32_t>(p - firstPage),
                        static_cast<float>(p)));
    }
  }
  return rec;
}

class FileWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-files-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    TDevice& d = host_.device;
    d.SerialNumber = 4711;
    d.IdentityText = "Well 4";
    d.Identity = {5, 1, 3, 12, 16, 0};
    d.ChannelMask = 0x0007;
    d.BatteryCapacity = 77;
    d.CommentText.WriteText("note");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  std::unique_ptr<TFileThread> Start(std::uint8_t mode = 0) {
    return std::make_unique<TFileThread>(host_, host_, mode, host_.device, " 2.20", folder_);
  }

  FileHost host_;
  std::filesystem::path folder_;
};

TEST_F(FileWorker, WritesOneFilePerReadRecordWithItsPagesOldestFirst) {
  host_.device.AddRec(Record(20, 3, kT + 9000, true, true));
  host_.device.AddRec(Record(10, 1, kT + 5000, false, true));  // not selected
  host_.device.AddRec(Record(0, 2, kT, true, true));
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  worker.reset();

  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{1});
  ASSERT_EQ(host_.device.FileCount(), 2);
  const IdcFile newest = ReadIdcFile(host_.device.FileName(0)->Name);
  const IdcFile oldest = ReadIdcFile(host_.device.FileName(1)->Name);
  EXPECT_EQ(newest.WriterTag, "Reader_ST 2.20");
  EXPECT_EQ(newest.SerialNumber, 4711u);
  EXPECT_EQ(newest.IdentityText, "Well 4");
  EXPECT_EQ(newest.CommentText, "note");
  EXPECT_EQ(newest.BatteryCapacity, 77);
  EXPECT_EQ(newest.StartTime, kT + 9000);
  ASSERT_EQ(newest.Measurements.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(newest.Measurements[static_cast<std::size_t>(i)].Value, static_cast<float>(20 + i));
    EXPECT_EQ(newest.Measurements[static_cast<std::size_t>(i)].DateTime,
              DeviceTimeToDateTime(kT + 9000 + 60 * static_cast<std::uint32_t>(i) + 1));
  }
  EXPECT_EQ(oldest.StartTime, kT);
  EXPECT_EQ(oldest.Measurements.size(), 2u);
  // Both in the logger's folder, named after its identity text.
  for (int i = 0; i < 2; ++i) {
    const std::filesystem::path p = host_.device.FileName(i)->Name;
    EXPECT_EQ(p.parent_path(), folder_ / "4711");
    EXPECT_EQ(p.filename().string().rfind("Well 4_", 0), 0u);
  }

  // Progress: range (3 + 1 pages' spans + 5 per file), then per block, then the range again.
  const auto posts = host_.Posts();
  ASSERT_GE(posts.size(), 3u);
  EXPECT_EQ(posts.front().message, WM_WORKER_PROGRESS);
  EXPECT_EQ(posts.front().l, (2 + 1) + 5 * 2);
  EXPECT_EQ(posts.back().message, WM_WORKER_PROGRESS);
  EXPECT_EQ(posts.back().w, kProgressRange);
  EXPECT_EQ(posts[posts.size() - 2].message, WM_FILES_DONE);
}

TEST_F(FileWorker, SelectedRecordNeverReadGivesNoFileButCountsAsHandled) {
  host_.device.AddRec(Record(0, 4, kT, true, false));
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{1});
  EXPECT_EQ(host_.device.FileCount(), 0);
}

TEST_F(FileWorker, NothingSelectedReportsNoFile) {
  host_.device.AddRec(Record(0, 4, kT, false, true));
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{0});
  EXPECT_EQ(host_.device.FileCount(), 0);
}

TEST_F(FileWorker, PartlyReadRecordGetsItsFileAndItsFullSpanBack) {
  auto rec = Record(0, 2, kT, true, true);
  rec->Read = false;
  rec->Partial = true;
  rec->PrevSpan = 40;
  rec->Span = 1;  // pages (or blocks) done when the reading broke off
  host_.device.AddRec(std::move(rec));
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{1});
  EXPECT_EQ(host_.device.Rec(0)->Span, 40);
  EXPECT_EQ(host_.Posts().front().l, 1 + 5);
  ASSERT_EQ(host_.device.FileCount(), 1);
  EXPECT_EQ(ReadIdcFile(host_.device.FileName(0)->Name).Measurements.size(), 2u);
}

TEST_F(FileWorker, RecordListClearedByANewJobDoesNotChangeTheFileBeingWritten) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  // Right after the worker took its copy, the host clears the records for the next call.
  host_.onSync = [&](int n) {
    if (n == 1) host_.device.ClearRecs();
  };
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{1});
  ASSERT_EQ(host_.device.FileCount(), 1);
  EXPECT_EQ(ReadIdcFile(host_.device.FileName(0)->Name).Measurements.size(), 3u);
}

TEST_F(FileWorker, StopBetweenBlocksLeavesAnUnfinishedFileAndReportsNoFile) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  host_.device.AddRec(Record(3, 3, kT + 500, true, true));
  std::unique_ptr<TFileThread> worker;
  host_.onSync = [&](int n) {
    if (n == 2) worker->Terminate();  // the file's name has just been listed
  };
  worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{0});
  ASSERT_EQ(host_.device.FileCount(), 1);
  const std::filesystem::path name = host_.device.FileName(0)->Name;
  EXPECT_THROW(ReadIdcFile(name), FileError);  // no check sum: recognisably unfinished
  EXPECT_GT(std::filesystem::file_size(name), 0u);
}

TEST_F(FileWorker, HostShuttingDownEndsTheWorkerWithoutAFile) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  host_.Refuse();
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{0});
  EXPECT_EQ(host_.device.FileCount(), 0);
}

TEST_F(FileWorker, FolderThatCannotBeMadeEndsTheWorkerWithoutAFile) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  std::ofstream(folder_ / "4711") << "a file where the logger's folder belongs";
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{0});
  EXPECT_EQ(host_.device.FileCount(), 0);
}

TEST_F(FileWorker, OtherModesDoNothing) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  auto worker = Start(1);
  worker->Join();
  EXPECT_TRUE(worker->Finished());
  EXPECT_TRUE(host_.Posts().empty());
  EXPECT_EQ(host_.device.FileCount(), 0);
}

}  // namespace
}  // namespace varnel
