// The file worker on a device image made by hand: which records give files, what the
// files hold, its posts, and how it ends when it is stopped or cannot write.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "files/file_error.h"
#include "files/idc_reader.h"
#include "link/byte_order.h"
#include "varnel_version.h"
#include "workers/file_thread.h"
#include "workers/message_queue.h"
#include "workers/worker_messages.h"

namespace varnel {
namespace {

using namespace std::chrono_literals;

// A host for the file worker alone: it keeps the posts for the test thread.
class FileHost : public MessageQueue {
 public:
  struct Message {
    unsigned message;
    std::int64_t w, l;
  };

  // Waits until WM_FILES_DONE has arrived; false after `limit`.
  bool RunUntilDone(std::chrono::milliseconds limit = 10s) {
    const auto until = Clock::now() + limit;
    while (!SawFilesDone()) {
      const auto m = Take(until);
      if (!m) return false;
      posts_.push_back({m->message, m->wParam, m->lParam});
    }
    return true;
  }

  // Everything posted so far.
  std::vector<Message> Posts() {
    while (const auto m = Take(Clock::now())) posts_.push_back({m->message, m->wParam, m->lParam});
    return posts_;
  }

  std::vector<std::int64_t> FilesDone() {
    std::vector<std::int64_t> r;
    for (const auto& m : Posts()) {
      if (m.message == WM_FILES_DONE) r.push_back(m.w);
    }
    return r;
  }

  TDevice device;

 private:
  bool SawFilesDone() const {
    return std::any_of(posts_.begin(), posts_.end(),
                       [](const Message& m) { return m.message == WM_FILES_DONE; });
  }

  std::vector<Message> posts_;
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
    return std::make_unique<TFileThread>(host_, mode, host_.device, kFileVersionText, folder_,
                                         std::make_shared<FilesReport>(7));
  }
  // Everything in the logger's folder, by name.
  std::vector<std::string> FolderContent() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder_ / "4711", ec)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
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
  worker->Join();

  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{1});
  const auto files = worker->Report()->Files();
  ASSERT_EQ(files.size(), 2u);
  const IdcFile newest = ReadIdcFile(files[0]);
  const IdcFile oldest = ReadIdcFile(files[1]);
  EXPECT_EQ(newest.WriterTag, std::string(kIdcWriterName) + kFileVersionText);
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
  // Both in the logger's folder, named after its identity text; nothing else is left there.
  for (const auto& p : files) {
    EXPECT_EQ(p.parent_path(), folder_ / "4711");
    EXPECT_EQ(p.filename().string().rfind("Well 4_", 0), 0u);
  }
  EXPECT_EQ(FolderContent().size(), 2u);

  // Progress: range (3 + 1 pages' spans + 5 per file), then per block, then the range again.
  const auto posts = host_.Posts();
  ASSERT_GE(posts.size(), 3u);
  EXPECT_EQ(posts.front().message, WM_WORKER_PROGRESS);
  EXPECT_EQ(posts.front().l, (2 + 1) + 5 * 2);
  EXPECT_EQ(posts.back().message, WM_WORKER_PROGRESS);
  EXPECT_EQ(posts.back().w, kProgressRange);
  EXPECT_EQ(posts[posts.size() - 2].message, WM_FILES_DONE);
  EXPECT_EQ(posts[posts.size() - 2].l, 7);  // the report's number
  // The device image's list is the host's to fill.
  EXPECT_EQ(host_.device.FileCount(), 0);
}

TEST_F(FileWorker, SelectedRecordNeverReadGivesNoFileButCountsAsHandled) {
  host_.device.AddRec(Record(0, 4, kT, true, false));
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{1});
  EXPECT_TRUE(worker->Report()->Files().empty());
}

TEST_F(FileWorker, NothingSelectedReportsNoFile) {
  host_.device.AddRec(Record(0, 4, kT, false, true));
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{0});
  EXPECT_TRUE(worker->Report()->Files().empty());
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
  const auto files = worker->Report()->Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadIdcFile(files[0]).Measurements.size(), 2u);
}

TEST_F(FileWorker, RecordListClearedByANewJobDoesNotChangeTheFileBeingWritten) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  auto worker = Start();
  // The next call's job clears the records as soon as the worker is made.
  host_.device.ClearRecs();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{1});
  const auto files = worker->Report()->Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadIdcFile(files[0]).Measurements.size(), 3u);
}

TEST_F(FileWorker, StopBetweenBlocksLeavesNeitherAHalfFileNorItsTemporaryFile) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  host_.device.AddRec(Record(3, 3, kT + 500, true, true));
  SetFileBlockDelayForTests(50ms);
  auto worker = Start();
  worker->Terminate();  // while the first block waits for the disk
  ASSERT_TRUE(host_.RunUntilDone());
  worker->Join();
  SetFileBlockDelayForTests(0ms);
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{0});
  EXPECT_TRUE(worker->Report()->Files().empty());
  EXPECT_EQ(FolderContent(), std::vector<std::string>{});
}

TEST_F(FileWorker, FolderThatCannotBeMadeEndsTheWorkerWithoutAFileAndSaysWhy) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  std::ofstream(folder_ / "4711") << "a file where the logger's folder belongs";
  auto worker = Start();
  ASSERT_TRUE(host_.RunUntilDone());
  EXPECT_EQ(host_.FilesDone(), std::vector<std::int64_t>{0});
  EXPECT_TRUE(worker->Report()->Files().empty());
  EXPECT_NE(worker->Report()->Error().find("4711"), std::string::npos) << worker->Report()->Error();
}

TEST_F(FileWorker, OtherModesDoNothing) {
  host_.device.AddRec(Record(0, 3, kT, true, true));
  auto worker = Start(1);
  worker->Join();
  EXPECT_TRUE(worker->Finished());
  EXPECT_TRUE(host_.Posts().empty());
  EXPECT_TRUE(worker->Report()->Files().empty());
}

}  // namespace
}  // namespace varnel
