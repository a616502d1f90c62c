// A worker thread that matched a regular expression (the PostgreSQL driver does at every
// connect, the database code when it sorts out a server's error) must end without harm.
// Where the runtime's thread-local storage is emulated, an object with a destructor that such
// a match leaves behind used to be destroyed after its storage was freed: the process
// crashed when the freed block had been reused, now and then. Many threads with a busy heap
// in between make that "now and then" a certainty.
#include <QRegularExpression>
#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace varnel::testing {
namespace {

TEST(ThreadEnd, ThreadsThatMatchedARegularExpressionEndCleanly) {
  static const QRegularExpression state(QStringLiteral("^[0-9A-Z]{5}$"));
  std::atomic<int> matched{0};
  // Blocks of every size the freed thread storage could have had, written over while
  // other threads end.
  const auto churn = [] {
    for (int round = 0; round < 20; ++round) {
      std::vector<std::unique_ptr<char[]>> blocks;
      for (int size = 8; size <= 256; size += 8) {
        blocks.emplace_back(new char[size]);
        std::fill_n(blocks.back().get(), size, static_cast<char>(0xA5));
      }
    }
  };
  for (int round = 0; round < 50; ++round) {
    std::vector<std::thread> workers;
    for (int i = 0; i < 6; ++i) {
      workers.emplace_back([&matched, &churn, i] {
        if (state.match(QStringLiteral("5%1").arg(i, 4, 10, QLatin1Char('0'))).hasMatch())
          ++matched;
        churn();
      });
    }
    for (std::thread& worker : workers) worker.join();
  }
  EXPECT_EQ(matched.load(), 300);
}

}  // namespace
}  // namespace varnel::testing
