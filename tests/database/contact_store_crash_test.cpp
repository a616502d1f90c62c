// The history file after its writer was killed in the middle of a write loop.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <csignal>
#include <regex>

#include "database/contact_store.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

namespace varnel {
namespace {

TEST(ContactStore, AWriterKilledMidLoopLeavesEveryCommittedContactAndAUsableFile) {
  testsupport::TempDir dir("varnel-history");
  const std::string path = dir / "history.sqlite";
  for (int round = 0; round < 3; ++round) {
    testsupport::ChildProcess writer;
    const std::uint32_t first = 1 + 100000u * static_cast<std::uint32_t>(round);
    ASSERT_TRUE(writer.Start(CONTACT_WRITE_LOOP_PATH, {path, std::to_string(first)}))
        << writer.Error();
    ASSERT_TRUE(writer.WaitForOutput("written 40\n", 20000)) << writer.Output();
    writer.Stop(SIGKILL, 2000);

    int printed = 0;
    const std::string out = writer.Output();
    const std::regex line("written (\\d+)\n");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator(); ++it) {
      printed = std::stoi((*it)[1]);
    }

    ContactStore store(QString::fromStdString(path));
    std::string error;
    const auto rows = store.Contacts(std::nullopt, &error);
    ASSERT_TRUE(error.empty()) << error;
    std::vector<ContactFigures> mine;
    for (const ContactFigures& c : rows) {
      if (c.SerialNumber >= first) mine.push_back(c);
    }
    // Every printed contact is there, at most one more (committed, killed before printing).
    ASSERT_GE(static_cast<int>(mine.size()), printed);
    ASSERT_LE(static_cast<int>(mine.size()), printed + 1);
    for (std::size_t i = 0; i < mine.size(); ++i) {
      const ContactFigures& c = mine[i];
      ASSERT_EQ(c.SerialNumber, first + i);
      ASSERT_EQ(c.PagesRead, static_cast<int>(i + 1));
      ASSERT_EQ(c.IdentityText, std::string(200, 'x'));
      ASSERT_EQ(c.Files.size(), 2u);
    }
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
      db.setDatabaseName(QString::fromStdString(path));
      ASSERT_TRUE(db.open());
      QSqlQuery q(db);
      ASSERT_TRUE(q.exec("PRAGMA integrity_check") && q.next());
      EXPECT_EQ(q.value(0).toString(), "ok");
    }
    QSqlDatabase::removeDatabase("check");
  }
}

}  // namespace
}  // namespace varnel
