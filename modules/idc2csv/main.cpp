// idc2csv: a post-processing module. "idc2csv FILE" writes FILE's measurements as CSV beside
// it; "idc2csv Files" converts every file of the collector's last readout.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

#include "modules/idc2csv/csv_export.h"

namespace {

void Usage() {
  std::fputs(
      "Usage: idc2csv FILE.idc       write FILE.csv beside the data file\n"
      "       idc2csv Files          convert every file of the last readout (the file list\n"
      "                              the collector stores for its modules)\n"
      "       idc2csv --register [--per-file]\n"
      "                              register idc2csv as a module (started once with the\n"
      "                              word Files, or once per new file with --per-file)\n"
      "Exit status: 0 every file converted, 1 a file could not be converted, 2 usage.\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  using namespace varnel::idc2csv;
  const QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty() || args[0] == "--help" || args[0] == "-h") {
    Usage();
    return args.isEmpty() ? 2 : 0;
  }
  if (args[0] == "--register") {
    const bool perFile = args.contains("--per-file");
    // The path as the device line's other programs read it (backslashes on Windows).
    RegisterModule(QStringLiteral("idc2csv"),
                   QDir::toNativeSeparators(QCoreApplication::applicationFilePath()),
                   perFile ? QStringLiteral("CSV export (per file)") : QStringLiteral("CSV export"),
                   perFile);
    std::printf("registered %s as a module\n", qPrintable(QCoreApplication::applicationFilePath()));
    return 0;
  }
  // The collector passes exactly one argument: a data file or the word "Files".
  const QStringList files = args.size() == 1 && args[0] == "Files" && !QFileInfo::exists("Files")
                                ? FileListFromStore()
                                : args;
  int failed = 0;
  for (const QString& f : files) {
    const QString error = ConvertToCsv(f);
    if (!error.isEmpty()) {
      std::fprintf(stderr, "idc2csv: %s: %s\n", qPrintable(f), qPrintable(error));
      ++failed;
    }
  }
  return failed ? 1 : 0;
}
