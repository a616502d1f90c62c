// varnel-export: puts the entries of existing data files into the database (a backfill of
// the folders written before the database was set up, or while it was away).
#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <cstdio>
#include <string>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "common/database_setting.h"
#include "common/thread_end_safety.h"
#include "database/database_url.h"
#include "database/contact_store.h"
#include "database/measurement_store.h"
#include "database/outbox.h"
#include "database/pending_lists.h"

namespace {

constexpr int kExitAllIn = 0;
constexpr int kExitSomeMissing = 1;  // a file could not be read, or the database failed
constexpr int kExitUsage = 2;

// The progress bar only where someone watches: on a terminal.
bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return ::isatty(::fileno(stderr)) != 0;
#endif
}

const char* kHelp = R"(Usage: varnel-export [--database URL] [--quiet] [--refused] DIR|FILE...

Puts every entry of the .idc data files in the given folders (searched with their
subfolders; the _BAK copies are left out) into the database, with the files' records.
An entry that is there already is not added again, so a folder can be exported as often as
wanted, also while collectors write into the same database.

  --database URL  sqlite:///path/file.sqlite or postgresql://user@host:port/db
                  (default: the [Database] Url= setting of the collector)
  --quiet         no progress bar
  --refused       also the files and contacts that the collectors set aside because the
                  database refused them (once the cause is mended): those taken now
                  leave the list of refused entries, the others stay in it

Exit status: 0 every file is in the database; 1 a file could not be read or the
database failed (the summary says which); 2 bad command line or no database.
)";

bool IsDataFile(const QFileInfo& f) {
  return f.isFile() && f.suffix().compare(QLatin1String("idc"), Qt::CaseInsensitive) == 0 &&
         !f.completeBaseName().endsWith(QLatin1String("_BAK"), Qt::CaseInsensitive);
}

void Progress(std::size_t done, std::size_t total, long long added) {
  constexpr int kWidth = 30;
  const int filled = total ? static_cast<int>(kWidth * done / total) : kWidth;
  std::fprintf(stderr, "\r[%s%s] %zu/%zu files, %lld new rows", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), done, total, added);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  varnel::PrepareForEndingThreads();
  using namespace varnel;
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Varnel"));
  QString url;
  bool quiet = false;
  bool refused = false;
  QStringList inputs;
  const QStringList args = app.arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      std::fputs(kHelp, stdout);
      return kExitAllIn;
    } else if (a == QLatin1String("--database")) {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "varnel-export: --database needs a URL (see --help)\n");
        return kExitUsage;
      }
      url = args[++i];
    } else if (a == QLatin1String("--quiet")) {
      quiet = true;
    } else if (a == QLatin1String("--refused")) {
      refused = true;
    } else if (a.startsWith(QLatin1String("--"))) {
      std::fprintf(stderr, "varnel-export: unknown option %s (see --help)\n", qPrintable(a));
      return kExitUsage;
    } else {
      inputs << a;
    }
  }
  if (url.isEmpty()) url = ReadDatabaseUrlSetting();
  if (url.isEmpty()) {
    std::fprintf(stderr, "varnel-export: no database: give --database URL or set [Database] "
                         "Url= (see --help)\n");
    return kExitUsage;
  }
  if (inputs.isEmpty() && !refused) {
    std::fprintf(stderr, "varnel-export: no folder given (see --help)\n");
    return kExitUsage;
  }
  std::string why;
  const auto target = ParseDatabaseUrl(url, &why);
  if (!target) {
    std::fprintf(stderr, "varnel-export: %s\n", why.c_str());
    return kExitUsage;
  }

  QStringList files;
  int missingInputs = 0;
  for (const QString& input : inputs) {
    const QFileInfo info(input);
    if (info.isFile()) {
      files << info.absoluteFilePath();
    } else if (info.isDir()) {
      QStringList found;
      QDirIterator it(input, QDir::Files, QDirIterator::Subdirectories);
      while (it.hasNext()) {
        const QString path = it.next();
        if (IsDataFile(QFileInfo(path))) found << QFileInfo(path).absoluteFilePath();
      }
      found.sort();
      files << found;
    } else {
      std::fprintf(stderr, "varnel-export: %s: no such file or folder\n", qPrintable(input));
      ++missingInputs;
    }
  }

  // The entries set aside: their files go with the others, their contacts follow them.
  const QString refusedList = Outbox(Outbox::PathFor(*target)).RefusedListPath();
  std::vector<RefusedEntry> refusedEntries;
  if (refused) {
    refusedEntries = ReadRefusedList(refusedList);
    for (const RefusedEntry& e : refusedEntries) {
      if (e.Kind == OutboxKind::File) files << e.Item;
    }
  }
  QSet<QString> filesIn;

  MeasurementStore store(*target);
  if (std::string error = store.Open(); !error.empty()) {
    std::fprintf(stderr, "varnel-export: %s\n", error.c_str());
    std::printf("0 of %lld files in %s: the database cannot be reached\n",
                static_cast<long long>(files.size()), qPrintable(target->Display()));
    return kExitSomeMissing;
  }
  const bool bar = !quiet && StderrIsTerminal();
  long long entries = 0, added = 0;
  int taken = 0, already = 0, unreadable = 0;
  std::string databaseError;
  std::size_t done = 0;
  for (; done < static_cast<std::size_t>(files.size()); ++done) {
    if (bar) Progress(done, files.size(), added);
    FileExport result;
    bool readError = false;
    std::string error = store.AddFile(files[done], &result, &readError);
    if (!error.empty() && !readError) error = store.AddFile(files[done], &result, &readError);
    if (readError) {
      std::fprintf(stderr, "%svarnel-export: not taken: %s\n", bar ? "\n" : "", error.c_str());
      ++unreadable;
    } else if (!error.empty()) {
      databaseError = error;  // tried twice: the rest would fail the same way
      break;
    } else {
      entries += result.Entries;
      added += result.Added;
      filesIn.insert(files[done]);
      ++(result.AlreadyThere ? already : taken);
    }
  }
  if (bar) {
    Progress(done, files.size(), added);
    std::fputc('\n', stderr);
  }
  std::printf("%lld data files into %s: %d taken with %lld new rows, %d there already, "
              "%d not readable; %lld entries in the files taken or there",
              static_cast<long long>(files.size()), qPrintable(target->Display()), taken, added,
              already, unreadable, entries);
  if (!databaseError.empty()) {
    std::printf(", %lld not tried: %s", static_cast<long long>(files.size() - done),
                databaseError.c_str());
  }
  std::printf("\n");
  int stillRefused = 0;
  if (refused && !refusedEntries.empty()) {
    ContactStore contacts(*target, true);
    std::vector<RefusedEntry> left;
    for (const RefusedEntry& e : refusedEntries) {
      bool in = e.Kind == OutboxKind::File && filesIn.contains(e.Item);
      if (e.Kind == OutboxKind::Contact && databaseError.empty()) {
        const auto contact = ParseContactLine(e.Item);
        std::string error = contact ? contacts.Add(*contact) : "not a contact";
        if (!error.empty() && contact) error = contacts.Add(*contact);
        if (!error.empty()) std::fprintf(stderr, "varnel-export: contact: %s\n", error.c_str());
        in = error.empty();
      }
      if (!in) left.push_back(e);
    }
    stillRefused = static_cast<int>(left.size());
    if (!WriteRefusedList(refusedList, left)) {
      std::fprintf(stderr, "varnel-export: cannot rewrite %s\n", qPrintable(refusedList));
    }
    std::printf("%d of %zu refused entries taken now", static_cast<int>(refusedEntries.size()) -
                                                           stillRefused, refusedEntries.size());
    if (stillRefused > 0) std::printf("; the others stay in %s", qPrintable(refusedList));
    std::printf("\n");
  }
  const bool allIn = databaseError.empty() && unreadable == 0 && missingInputs == 0 &&
                     stillRefused == 0;
  return allIn ? kExitAllIn : kExitSomeMissing;
}
