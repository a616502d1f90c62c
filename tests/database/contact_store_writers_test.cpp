// Three programs writing one history file at once.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "database/contact_store.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

namespace varnel {
namespace {

TEST(ContactStore, ThreeWritersAtOnceOnANewFileKeepEveryContact) {
  testsupport::TempDir dir("varnel-history");
  const std::string path = dir / "history.sqlite";
  constexpr int kEach = 300;
  std::array<testsupport::ChildProcess, 3> writers;
  for (std::size_t w = 0; w < writers.size(); ++w) {
    ASSERT_TRUE(writers[w].Start(CONTACT_WRITE_LOOP_PATH,
                                 {path, std::to_string(1 + 100000 * w), std::to_string(kEach)}))
        << writers[w].Error();
  }
  for (testsupport::ChildProcess& w : writers) ASSERT_EQ(w.Wait(60000), 0) << w.Output();

  ContactStore store(QString::fromStdString(path));
  std::string error;
  const auto rows = store.Contacts(std::nullopt, &error);
  ASSERT_TRUE(error.empty()) << error;
  std::map<std::uint32_t, int> pagesBySerial;
  for (const ContactFigures& c : rows) pagesBySerial[c.SerialNumber] = c.PagesRead;
  ASSERT_EQ(rows.size(), writers.size() * kEach);
  ASSERT_EQ(pagesBySerial.size(), rows.size());
  for (std::uint32_t w = 0; w < writers.size(); ++w) {
    for (int n = 1; n <= kEach; ++n) ASSERT_EQ(pagesBySerial[1 + 100000 * w + n - 1], n);
  }
}

}  // namespace
}  // namespace varnel
