#include "cli/collect_options.h"

#include <charconv>

namespace varnel::cli {

namespace {

bool ParseInt(const std::string& text, int lo, int hi, int& out) {
  int v = 0;
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, v);
  if (r.ec != std::errc() || r.ptr != end || v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

CollectOptions ParseCollectOptions(const std::vector<std::string>& args) {
  CollectOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        o.error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--port") {
      if (!value(v)) break;
      if (!ParseInt(v, 1, 255, o.port)) o.error = "--port takes a COM number 1..255";
    } else if (a == "--data") {
      if (!value(o.dataDir)) break;
      if (o.dataDir.empty()) o.error = "--data takes a folder";
    } else if (a == "--calls") {
      if (!value(v)) break;
      if (!ParseInt(v, 1, 1000000, o.calls)) o.error = "--calls takes a number of calls >= 1";
    } else if (a == "--once") {
      o.calls = 1;
    } else if (a == "--timeout") {
      if (!value(v)) break;
      if (!ParseInt(v, 1, 86400 * 365, o.timeoutSeconds)) o.error = "--timeout takes seconds >= 1";
    } else if (a == "--database") {
      if (!value(o.database)) break;
      if (o.database.empty()) o.error = "--database takes a URL";
    } else if (a == "--status") {
      o.status = true;
    } else if (a == "--notify-test") {
      o.notifyTest = true;
    } else if (a == "--debug") {
      o.debug = true;
    } else if (a == "--direct") {
      o.direct = true;
    } else {
      o.error = "unknown option " + a;
    }
    if (!o.error.empty()) break;
  }
  if (o.error.empty() && o.direct && o.calls > 1) o.error = "--direct reads once; --calls does not apply";
  if (o.error.empty() && o.status &&
      (!o.dataDir.empty() || o.calls > 0 || o.direct || o.debug || o.timeoutSeconds > 0)) {
    o.error = "--status takes only --port";
  }
  if (o.error.empty() && o.notifyTest && args.size() > 1) o.error = "--notify-test stands alone";
  return o;
}

std::string CollectHelpText() {
  return R"(Usage: varnel-collect [options]

Collects the recordings of VTQ loggers without a window: starts the modem, waits for a
logger to call, reads its records, writes the .idc files and their _BAK copies, runs the
chosen modules and waits for the next call. Every line of the window's message memo is
printed (in the language of the settings); lines starting with "# " are state changes.
Settings, modules and registered loggers are those of the window program.

  --port N      COM port number (default: the stored port)
  --data DIR    data folder for the files (default: the stored data folder)
  --calls K     stop after K calls have gone through their files and their hang-up or
                restart countdown (default: run until SIGINT or SIGTERM)
  --once        the same as --calls 1
  --direct      a logger wired to the port at address 250, no modem: read the record
                table, the records the stored options select, write the files, run the
                modules, and exit
  --debug       debug mode, as the window's command-line word DEBUG: Start reads the
                record table at once, without the modem dialogue
  --timeout S   stop after S seconds whatever happened (exit status 4)
  --database URL  also put every entry of the new files and every contact into a database:
                sqlite:///path/file.sqlite (sqlite: alone: database.sqlite in the
                per-user data folder) or postgresql://user@host:port/db (a local socket:
                postgresql://user@/db?host=/run/postgresql). Default: the [Database] Url=
                setting. The files are written whatever the database does
  --status      print one line on the collector of --port N (default: every collector of
                this user) and exit: what it does now and since when, how its last call
                ended; exit status 0 when it runs, 1 when not
  --notify-test send a test alert through every channel of the [Notify] settings (e-mail,
                the operator's command, the system's log), say what each did, and exit:
                status 0 when each channel that is set took it, 1 when one failed
  --help        this text

SIGINT and SIGTERM stop the run as releasing Start does ("Cancelled !"): the pages read so
far are written to files, the settings are stored, and the program exits with status 0.

A port serves one collector: a second one on a port in use refuses to start.

Exit status: 0 done; 2 bad command line; 3 the serial port could not be opened or is in
use by another program; 4 --timeout ran out; 5 --direct wrote no file.
)";
}

}  // namespace varnel::cli
