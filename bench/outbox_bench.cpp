// The cost of one mark in a database's outbox as its backlog grows: a month of a big fleet
// with the database away is tens of thousands of files and contacts waiting. Prints the
// time of a file mark and of a contact's open and end at each size, and of one round's read.
// Usage: outbox_bench [entries]   (default 30000)
#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "database/outbox.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int total = argc > 1 ? std::atoi(argv[1]) : 30000;
  QTemporaryDir dir;
  varnel::Outbox outbox(dir.path() + "/outbox.sqlite");
  varnel::ContactFigures contact;
  contact.SerialNumber = 40123;
  contact.Files = {"/var/lib/varnel/com1/data/40123/Pump station 4_11,12,2026_07,55,04_00.IDC"};
  std::printf("%10s %14s %20s\n", "backlog", "file mark ms", "contact open+end ms");
  int added = 0;
  for (int size : {1000, 10000, total}) {
    if (size > total) continue;
    // Fill up to `size` (half files, half contacts) as fast as the outbox takes them.
    for (; added < size; added += 2) {
      outbox.AddFile(QStringLiteral("/data/40123/file_%1.IDC").arg(added));
      contact.Time = 1733000000 + added;
      outbox.EndContact(0, contact);
    }
    // Then time the marks of one more call, averaged over 50 calls.
    constexpr int kCalls = 50;
    double file = 0, contactMs = 0;
    for (int i = 0; i < kCalls; ++i, added += 2) {
      auto t0 = Clock::now();
      outbox.AddFile(QStringLiteral("/data/40123/file_%1.IDC").arg(added));
      file += MsSince(t0);
      contact.Time = 1733000000 + added;
      t0 = Clock::now();
      std::int64_t id = 0;
      outbox.OpenContact(contact, &id);
      outbox.EndContact(id, contact);
      contactMs += MsSince(t0);
    }
    std::printf("%10d %14.2f %20.2f\n", added, file / kCalls, contactMs / kCalls);
  }
  const auto t0 = Clock::now();
  const auto due = outbox.Due();
  std::printf("one round's read of %zu entries: %.1f ms\n", due.size(), MsSince(t0));
  return 0;
}
