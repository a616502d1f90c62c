// Test helper: adds contacts to a history file as fast as it can and prints "written N"
// after each, until it is killed or, given COUNT, until it has written COUNT contacts.
// Contact N has serial number FIRST + N - 1.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "database/contact_store.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3 && argc != 4) return 2;
  const long first = std::atol(argv[2]);
  const long count = argc == 4 ? std::atol(argv[3]) : 0;
  varnel::ContactStore store(QString::fromLocal8Bit(argv[1]));
  for (int n = 1; count == 0 || n <= count; ++n) {
    varnel::ContactFigures c;
    c.SerialNumber = static_cast<std::uint32_t>(first + n - 1);
    c.Time = 1'800'000'000 + c.SerialNumber;
    c.IdentityText = std::string(200, 'x');
    c.PagesRead = n;
    c.Files = {"/data/" + std::to_string(n) + "/a.IDC", "/data/" + std::to_string(n) + "/b.IDC"};
    c.Result = varnel::ContactResult::Complete;
    if (const std::string error = store.Add(c); !error.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    std::printf("written %d\n", n);
    std::fflush(stdout);
  }
  return 0;
}
