// The result each contact is recorded with, from the workers' messages of its call.
#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "app/contact_tracker.h"
#include "workers/worker_messages.h"

namespace varnel {
namespace {

struct Sink : ContactService {
  std::vector<ContactFigures> rows;
  std::vector<std::uint64_t> opened;
  void ContactOpened(const ContactFigures& c) override { opened.push_back(c.Number); }
  std::string ContactEnded(const ContactFigures& c) override {
    rows.push_back(c);
    return {};
  }
};

TEST(ContactTracker, EachContactEndsWithItsTrueResult) {
  // A modem call that lists one record (logger bytes "Br\xFC" "cke") and reads 3 pages,
  // then whatever `ending` does.
  const auto call = [](const std::function<void(ContactTracker&, TDevice&)>& ending) {
    Sink sink;
    ContactTracker t(sink, [] { return 0; }, nullptr);
    TDevice d;
    d.IdentityText = "Br\xFC" "cke";
    d.AddRec(std::make_unique<TRec>());
    t.JobStarted(2, true);
    t.WorkerStatus(wsModemConnected, 0, d);
    t.WorkerDone(wdContentsRead, d, true);
    t.JobStarted(1, true);
    ending(t, d);
    EXPECT_EQ(sink.rows.size(), 1u);
    return sink.rows.empty() ? ContactFigures{} : sink.rows[0];
  };
  const auto read = [](TDevice& d) {
    const std::array<std::uint8_t, kPageSize> bytes{};
    for (int i = 0; i < 3; ++i) d.Rec(0)->AddPage(std::make_unique<TPage>(i, bytes.data(), 0, 0));
  };

  const ContactFigures complete = call([&](ContactTracker& t, TDevice& d) {
    read(d);
    t.WorkerDone(wdRecordsRead, d, true);
    d.AddFile("/data/1/a.IDC");
    t.FilesDone(t.Contact(), 1, d, true);
    t.WorkerDone(wdAwaitHangUp, d, true);
    t.RunStopped(true);  // during the wait for the hang-up: the call was read in full
    t.WorkerDone(wdHungUp, d, true);
  });
  EXPECT_EQ(complete.Result, ContactResult::Complete);
  EXPECT_EQ(complete.IdentityText, "Br\xC3\xBC" "cke");  // as the data file's name has it
  EXPECT_EQ(complete.Files, std::vector<std::string>{"/data/1/a.IDC"});

  // The file worker failed after its first file: the file is listed, the result says so.
  const ContactFigures notWritten = call([&](ContactTracker& t, TDevice& d) {
    read(d);
    t.WorkerDone(wdRecordsRead, d, true);
    d.AddFile("/data/1/a.IDC");
    t.FilesDone(t.Contact(), 0, d, true);
    t.WorkerDone(wdHungUp, d, true);
  });
  EXPECT_EQ(notWritten.Result, ContactResult::FilesNotWritten);
  EXPECT_EQ(notWritten.Files.size(), 1u);

  // Start released in the middle of the readout: the pages read still become a file.
  const ContactFigures stopped = call([&](ContactTracker& t, TDevice& d) {
    read(d);
    t.RunStopped(true);
    t.WorkerDone(wdRecordsPartly, d, true);
    d.AddFile("/data/1/a.IDC");
    t.FilesDone(t.Contact(), 1, d, true);
  });
  EXPECT_EQ(stopped.Result, ContactResult::Stopped);
  EXPECT_EQ(stopped.PagesRead, 3);

  // The program closes while the file worker has not reported.
  const ContactFigures closed = call([&](ContactTracker& t, TDevice& d) {
    read(d);
    t.WorkerDone(wdRecordsRead, d, true);
    t.Flush();
  });
  EXPECT_EQ(closed.Result, ContactResult::FilesNotWritten);
}

TEST(ContactTracker, FilesThatComeAfterTheNextCallBeganStayWithTheirOwnContact) {
  Sink sink;
  ContactTracker t(sink, [] { return 0; }, nullptr);
  TDevice d;
  d.AddRec(std::make_unique<TRec>());
  const std::array<std::uint8_t, kPageSize> bytes{};
  d.Rec(0)->AddPage(std::make_unique<TPage>(0, bytes.data(), 0, 0));
  const auto readCall = [&] {
    t.WorkerStatus(wsModemConnected, 0, d);
    t.WorkerDone(wdContentsRead, d, true);
    t.WorkerDone(wdRecordsRead, d, true);  // its file worker starts, and is slow
  };
  readCall();
  const std::uint64_t first = t.Contact();
  t.WorkerDone(wdHungUp, d, true);
  readCall();  // the next call: the first waits for its files beside it
  EXPECT_TRUE(sink.rows.empty());
  EXPECT_EQ(t.ContactsAwaitingFiles(), 1u);
  EXPECT_EQ(sink.opened, (std::vector<std::uint64_t>{1, 2}));

  d.ClearFiles();
  d.AddFile("/data/1/first.IDC");
  t.FilesDone(first, 1, d, true);
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(sink.rows[0].Number, first);
  EXPECT_EQ(sink.rows[0].Result, ContactResult::Complete);
  EXPECT_EQ(sink.rows[0].Files, std::vector<std::string>{"/data/1/first.IDC"});

  // The second ends with its own file, and the program's end leaves nothing behind.
  d.ClearFiles();
  d.AddFile("/data/1/second.IDC");
  t.FilesDone(t.Contact(), 1, d, true);
  t.WorkerDone(wdHungUp, d, true);
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(sink.rows[1].Files, std::vector<std::string>{"/data/1/second.IDC"});
  t.Flush();
  EXPECT_EQ(sink.rows.size(), 2u);
}

}  // namespace
}  // namespace varnel
