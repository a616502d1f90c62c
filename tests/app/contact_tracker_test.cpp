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
    t.FilesDone(1, d, true);
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
    t.FilesDone(0, d, true);
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
    t.FilesDone(1, d, true);
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

}  // namespace
}  // namespace varnel
