// The Windows programs as an operator runs them: a copy of the deployed folder (programs,
// Qt and runtime DLLs, plugins) collects a modem call from vtq-sim through a Wine COM port,
// with the settings in the registry. scripts/test --win starts the simulators natively and
// names their folders in VARNEL_LINE_SIMS (COM5 for varnel-collect, COM6 for the window
// program, COM8 for the collector as a service) and the deployed folder in VARNEL_WIN_DEPLOY.
// COM1, the plain line of tests/link, is held by a test to see a second opener refused. COM7
// calls twice, for the collector writing into a PostgreSQL server of the script's own (named
// in VARNEL_WINE_PG_URL and VARNEL_WINE_PG_TLS_URL).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "e2e_support.h"
#include "files/idc_reader.h"
#include "lang/lang.h"
#include "lang/text_ids.h"
#include "link/serial_port.h"
#include "store_checks.h"

namespace varnel::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kCollectPort = 5;
constexpr int kWindowPort = 6;
constexpr int kServicePort = 8;
constexpr int kHeldPort = 1;
constexpr int kDatabasePort = 7;
const std::string kMakerKey = "HKCU\\Software\\Halvark Drovantek";
const std::string kSettingsKey = kMakerKey + "\\Corvane";
const std::string kDevicesKey = kSettingsKey + "\\RegistredDevices";
const std::string kCommonKey = kMakerKey + "\\Logger VTQ\\Common";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string SimFolder(int port) {
  const std::string base = Env("VARNEL_LINE_SIMS");
  return base.empty() ? base : base + "\\com" + std::to_string(port);
}

Json TruthOf(int port) {
  std::ifstream in(SimFolder(port) + "\\truth.json");
  std::stringstream text;
  text << in.rdbuf();
  return Json::Parse(text.str());
}

// Runs a command line through cmd.exe; returns its exit status and what it printed.
int RunCommand(const std::string& commandLine, std::string* output = nullptr) {
  // cmd.exe strips one pair of quotes around the whole line.
  FILE* pipe = _popen(("\"" + commandLine + " 2>&1\"").c_str(), "r");
  if (!pipe) return -1;
  char buf[512];
  std::string text;
  while (std::fgets(buf, sizeof buf, pipe)) text += buf;
  // A program that crashed as it ended may still have exited with 0.
  if (text.find("Unhandled exception") != std::string::npos)
    ADD_FAILURE() << commandLine << " crashed:\n" << text;
  if (output) *output = text;
  return _pclose(pipe);
}

// A registry value as `reg query` shows it.
struct RegValue {
  std::string Type;
  std::string Data;
};
using RegValues = std::map<std::string, RegValue>;

// The values directly in `key` (not those of its sub keys), read back with reg.exe.
RegValues RegQuery(const std::string& key) {
  std::string out;
  RegValues values;
  if (RunCommand("reg query \"" + key + "\"", &out) != 0) return values;
  std::istringstream lines(out);
  bool inKey = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("HKEY_", 0) == 0) {
      // The key itself comes first; sub keys follow by their names.
      inKey = !inKey && values.empty();
      continue;
    }
    if (!inKey || line.rfind("    ", 0) != 0) continue;
    // "    <name>    <type>    <data>"
    const std::string rest = line.substr(4);
    const auto t = rest.find("    REG_");
    if (t == std::string::npos) continue;
    const std::string name = rest.substr(0, t);
    const std::string typeAndData = rest.substr(t + 4);
    const auto d = typeAndData.find("    ");
    RegValue v;
    v.Type = typeAndData.substr(0, d);
    v.Data = d == std::string::npos ? "" : typeAndData.substr(d + 4);
    values[name] = v;
  }
  return values;
}

void RegAdd(const std::string& key, const std::string& name, const std::string& type,
            const std::string& data) {
  std::string out;
  ASSERT_EQ(RunCommand("reg add \"" + key + "\" /v \"" + name + "\" /t " + type + " /d \"" + data +
                    "\" /f",
                &out),
            0)
      << out;
}

fs::path FreshFolder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The deployed folder copied to a place of its own: it must run as it is, wherever it lies.
fs::path CopyOfProgramFolder(const std::string& name) {
  const fs::path dir = FreshFolder(name);
  fs::copy(Env("VARNEL_WIN_DEPLOY"), dir, fs::copy_options::recursive);
  return dir;
}

// A fresh per-user store: no settings, modules or registered devices of an earlier run, and
// the logger of `port` registered to have every record read.
void FreshRegistryWithLogger(int port) {
  std::string out;
  RunCommand("reg delete \"" + kMakerKey + "\" /f", &out);
  const std::string device =
      kDevicesKey + "\\" + std::to_string(TruthOf(port)["serialNumber"].AsInt());
  RegAdd(device, "ReadActualRec", "REG_DWORD", "0");
  RegAdd(device, "ReadFromMonth", "REG_DWORD", "0");
  RegAdd(device, "ReadFromYear", "REG_DWORD", "2000");
  RegAdd(device, "SynchTime", "REG_DWORD", "0");
}

std::vector<fs::path> DataFiles(const fs::path& folder, bool backups) {
  std::vector<fs::path> files;
  if (!fs::exists(folder)) return files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    std::string ext = e.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool isBackup = name.find("_BAK") != std::string::npos;
    if (e.is_regular_file() && ext == ".idc" && isBackup == backups) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every record of the truth as a file, each with a backup copy of the same bytes, and the
// file list for the modules in the registry naming exactly these files (backslashes, as
// other Windows programs expect them).
void ExpectCallWritten(const fs::path& data, int port) {
  const auto truth = TruthRecords(TruthOf(port));
  const auto files = DataFiles(data, false);
  ASSERT_EQ(files.size(), truth.size());
  for (const TruthRecord& record : truth) {
    const auto match = std::find_if(files.begin(), files.end(), [&](const fs::path& f) {
      return ReadIdcFile(f).StartTime == record.StartTime;
    });
    ASSERT_NE(match, files.end()) << "no file for the record at page " << record.FirstPage;
    ExpectFileHoldsRecord(*match, record);
  }
  const auto backups = DataFiles(data, true);
  ASSERT_EQ(backups.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(Bytes(backups[i]), Bytes(files[i]));

  const RegValues list = RegQuery(kCommonKey + "\\Files");
  ASSERT_EQ(list.size(), files.size());
  std::vector<std::string> listed;
  for (const auto& [name, v] : list) {
    EXPECT_EQ(v.Type, "REG_SZ") << name;
    listed.push_back(v.Data);
  }
  std::vector<std::string> expected;
  for (const auto& f : files) expected.push_back(f.string());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, expected);
}

// The registered logger's entry after the call: its one-shot options reset, the contact
// stamped, each value of the type other programs of the device line read.
void ExpectDeviceEntryReset(int port) {
  const RegValues v =
      RegQuery(kDevicesKey + "\\" + std::to_string(TruthOf(port)["serialNumber"].AsInt()));
  for (const char* flag : {"ReadActualRec", "ReadFromMonth", "ReadFromYear", "SynchTime",
                           "OffsetCorr", "PUnit", "WriteConfig", "WriteText", "WLConfig",
                           "NewID", "NewComment"}) {
    ASSERT_EQ(v.count(flag), 1u) << flag;
    EXPECT_EQ(v.at(flag).Type, "REG_DWORD") << flag;
  }
  // "Description" is the operator's note about the station: the reset leaves it alone.
  for (const char* text : {"P1Val", "P2Val", "ConfigFile", "ID", "Comment", "LastContact"}) {
    ASSERT_EQ(v.count(text), 1u) << text;
    EXPECT_EQ(v.at(text).Type, "REG_SZ") << text;
  }
  EXPECT_EQ(v.at("ReadActualRec").Data, "0x1");
  EXPECT_EQ(v.at("SynchTime").Data, "0x1");
  EXPECT_FALSE(v.at("LastContact").Data.empty());
}

std::string FileText(const fs::path& file) { return Bytes(file); }

TEST(WinePrograms, CollectorReadsACallIntoFilesRegistryAndLocalAppData) {
  if (SimFolder(kCollectPort).empty()) GTEST_SKIP() << "run by scripts/test --win";
  // A blank in the program's folder: the module's path reaches it unquoted in the registry.
  const fs::path program = CopyOfProgramFolder("varnel wine collect");
  const fs::path data = FreshFolder("varnel-wine-collect-data");
  FreshRegistryWithLogger(kCollectPort);
  // idc2csv.exe registers itself as a module, with the path other Windows programs read; the
  // operator chose it to run after a readout (the collector must keep the choice).
  std::string registered;
  ASSERT_EQ(RunCommand("\"" + (program / "idc2csv.exe").string() + "\" --register", &registered), 0)
      << registered;
  const RegValues module = RegQuery(kMakerKey + "\\Logger VTQ\\Modules\\idc2csv");
  ASSERT_EQ(module.count("Path"), 1u) << registered;
  EXPECT_EQ(module.at("Path").Data, (program / "idc2csv.exe").string());
  EXPECT_EQ(module.at("OnlyOneFile").Type, "REG_DWORD");
  RegAdd(kMakerKey + "\\Logger VTQ\\Executable", "Exec0", "REG_SZ", "CSV export");
  const fs::path local = fs::path(Env("LOCALAPPDATA")) / "Varnel";
  fs::remove_all(local);

  std::string out;
  const int status = RunCommand("\"" + (program / "varnel-collect.exe").string() + "\" --port " +
                             std::to_string(kCollectPort) + " --calls 1 --timeout 150 --data \"" +
                             data.string() + "\"",
                         &out);
  ASSERT_EQ(status, 0) << out;
  ExpectCallWritten(data, kCollectPort);
  ExpectDeviceEntryReset(kCollectPort);
  // The settings stored at the end of the run, each with its registry type; --port and
  // --data held for the run only.
  const RegValues s = RegQuery(kSettingsKey);
  const std::map<std::string, std::string> dwords = {
      {"Port", "0x1"},          {"Echo", ""},            {"Amount-Ports", "0x4"},
      {"Auto-Ports", "0x0"},    {"Language", "0x0"},     {"Create-Backup", "0x1"},
      {"Modem", "0x1"},         {"ActiveModemCmd", "0x5"}, {"Show-Time", "0x1"},
      {"Address", "0xfb"},      {"MainLeft", "0x0"},     {"MainTop", "0x0"}};
  for (const auto& [name, value] : dwords) {
    ASSERT_EQ(s.count(name), 1u) << name << "\n" << out;
    EXPECT_EQ(s.at(name).Type, "REG_DWORD") << name;
    if (!value.empty()) EXPECT_EQ(s.at(name).Data, value) << name;
  }
  ASSERT_EQ(s.count("SpeakerModemCmd"), 1u);
  EXPECT_EQ(s.at("SpeakerModemCmd").Type, "REG_SZ");
  EXPECT_EQ(s.at("SpeakerModemCmd").Data, "ATM0");
  ASSERT_EQ(s.count("UserDefModemCmd"), 1u);
  EXPECT_EQ(RegQuery(kMakerKey + "\\Logger VTQ\\Executable")["Exec0"].Data, "CSV export");
  EXPECT_EQ(s.at("UserDefModemCmd").Type, "REG_SZ");
  const RegValues common = RegQuery(kCommonKey);
  for (const char* name : {"Internal-Path", "ConfigFile-Path"}) {
    ASSERT_EQ(common.count(name), 1u) << name;
    EXPECT_EQ(common.at(name).Type, "REG_SZ") << name;
  }

  // The log beside the program names the files; the contact history and the state file
  // are per-user state in %LOCALAPPDATA%\Varnel.
  EXPECT_NE(FileText(program / "varnel-collect.LOG").find("created"), std::string::npos);
  EXPECT_TRUE(fs::exists(local / "history.sqlite"));
  EXPECT_TRUE(fs::exists(local / ("varnel-collect-COM" + std::to_string(kCollectPort) + ".state")));
}

TEST(WinePrograms, WindowProgramStartedWithStartCollectsACall) {
  if (SimFolder(kWindowPort).empty()) GTEST_SKIP() << "run by scripts/test --win";
  const fs::path program = CopyOfProgramFolder("varnel-wine-window");
  const fs::path data = FreshFolder("varnel-wine-window-data");
  FreshRegistryWithLogger(kWindowPort);
  // The port and the data folder come from the registry, as an operator's earlier run left
  // them (a port beyond the four offered by default needs a longer port menu).
  RegAdd(kSettingsKey, "Amount-Ports", "REG_DWORD", "9");
  RegAdd(kSettingsKey, "Port", "REG_DWORD", std::to_string(kWindowPort));
  RegAdd(kCommonKey, "Internal-Path", "REG_SZ", data.string());

  // No display here: the window program draws offscreen, with fonts from the Linux side.
  _putenv_s("QT_QPA_PLATFORM", "offscreen");
  _putenv_s("QT_QPA_FONTDIR", "Z:\\usr\\share\\fonts\\truetype\\dejavu");
  std::string commandLine = "\"" + (program / "varnel.exe").string() + "\" --start";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
  // The window goes on waiting for the next call; it is ended once the call's files are
  // listed for the modules (the last thing a readout does).
  const auto truth = TruthRecords(TruthOf(kWindowPort));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(150);
  bool listed = false;
  while (!listed && std::chrono::steady_clock::now() < deadline) {
    if (WaitForSingleObject(pi.hProcess, 1000) != WAIT_TIMEOUT) break;
    listed = RegQuery(kCommonKey + "\\Files").size() >= truth.size();
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  _putenv_s("QT_QPA_PLATFORM", "");
  ASSERT_TRUE(listed) << "no file list after 150 s; exit code " << exitCode << "; log:\n"
                      << FileText(program / "varnel.LOG");
  ExpectCallWritten(data, kWindowPort);
  ExpectDeviceEntryReset(kWindowPort);
  EXPECT_NE(FileText(program / "varnel.LOG").find("created"), std::string::npos);
}

// Wine by itself lets a second program open a COM port: the claim of the port must refuse it,
// and the refused program must name the holder.
TEST(WinePrograms, CollectorOnAPortHeldByAnotherProgramNamesItAndExitsThree) {
  if (SimFolder(kHeldPort).empty()) GTEST_SKIP() << "run by scripts/test --win";
  const std::shared_ptr<SerialPort> held = OpenSerialPort(kHeldPort, true);
  ASSERT_TRUE(held);
  const fs::path program = CopyOfProgramFolder("varnel-wine-held");
  std::string out;
  const int status = RunCommand("\"" + (program / "varnel-collect.exe").string() + "\" --port " +
                                    std::to_string(kHeldPort) + " --once --timeout 60 --data \"" +
                                    FreshFolder("varnel-wine-held-data").string() + "\"",
                                &out);
  held->Close();
  EXPECT_EQ(status, 3) << out;
  const std::string holder = "COM" + std::to_string(kHeldPort) +
                             " is in use by another program (test_wine_programs.exe, pid " +
                             std::to_string(GetCurrentProcessId()) + ")";
  EXPECT_NE(out.find(holder), std::string::npos) << out;
}

// The STATE word of `sc query` (RUNNING, STOPPED, ...); "" when there is no such service.
std::string ServiceState(const std::string& name, std::string* output = nullptr) {
  std::string out;
  const int status = RunCommand("sc query " + name, &out);
  if (output) *output = out;
  const auto at = out.find("STATE");
  if (status != 0 || at == std::string::npos) return "";
  std::istringstream line(out.substr(out.find(':', at) + 1));
  int number = 0;
  std::string word;
  line >> number >> word;
  return word;
}

bool WaitFor(const std::function<bool()>& done, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  return true;
}

TEST(WinePrograms, ServiceStoppedDuringAReadoutWritesThePagesReadSoFar) {
  if (SimFolder(kServicePort).empty()) GTEST_SKIP() << "run by scripts/test --win";
  // Blanks in both folders: the service's command line must keep them whole.
  const fs::path program = CopyOfProgramFolder("varnel wine service");
  const fs::path data = FreshFolder("varnel wine service data");
  FreshRegistryWithLogger(kServicePort);
  const std::string com = "COM" + std::to_string(kServicePort);
  const std::string name = "VarnelCollect" + com;
  const std::string collect = "\"" + (program / "varnel-collect.exe").string() + "\"";
  // Wine runs services as the same user: the service's %LOCALAPPDATA% is ours.
  const fs::path local = fs::path(Env("LOCALAPPDATA")) / "Varnel";
  const fs::path log = local / ("varnel-collect-" + com + ".LOG");
  fs::remove(log);
  std::string out;
  RunCommand(collect + " --remove-service --port " + std::to_string(kServicePort), &out);  // left by an aborted run

  ASSERT_EQ(RunCommand(collect + " --install-service --port " + std::to_string(kServicePort) + " --data \"" + data.string() + "\"", &out), 0)
      << out;
  EXPECT_EQ(RunCommand(collect + " --install-service --port " + std::to_string(kServicePort), &out), 6) << out;
  EXPECT_EQ(ServiceState(name), "STOPPED");
  ASSERT_EQ(RunCommand("sc start " + name, &out), 0) << out;
  // A 300-page record at 9600 baud: stopped after a few blocks of it have arrived.
  ASSERT_TRUE(WaitFor([&] { return FileText(log).find("Reading Record 1") != std::string::npos; }, 90))
      << ServiceState(name, &out) << out << FileText(local / (std::string("varnel-collect-") + com + "-output.txt"));
  std::this_thread::sleep_for(std::chrono::seconds(5));
  ASSERT_EQ(ServiceState(name), "RUNNING");
  ASSERT_EQ(RunCommand("sc stop " + name, &out), 0) << out;
  ASSERT_TRUE(WaitFor([&] { return ServiceState(name, &out) == "STOPPED"; }, 40)) << out;
  EXPECT_NE(out.find("WIN32_EXIT_CODE    : 0 "), std::string::npos) << out;

  // Stopped as releasing Start: the pages read so far are a file with its backup, and the
  // settings are stored (the run began without any).
  const std::string text = FileText(log);
  EXPECT_NE(text.find("Cancelled !"), std::string::npos) << text;
  const auto files = DataFiles(data, false);
  ASSERT_EQ(files.size(), 1u) << text;
  EXPECT_EQ(DataFiles(data, true).size(), 1u);
  const auto record = TruthRecords(TruthOf(kServicePort)).front();
  const auto got = ReadIdcFile(files[0]).Measurements.size();
  EXPECT_GT(got, 0u);
  EXPECT_LT(got, record.Entries.size());
  std::string stored;
  RunCommand("reg query \"" + kSettingsKey + "\"", &stored);
  EXPECT_EQ(RegQuery(kSettingsKey)["Port"].Type, "REG_DWORD")
      << stored << text << FileText(local / ("varnel-collect-" + com + "-output.txt"));
  EXPECT_NE(FileText(local / ("varnel-collect-" + com + ".state")).find("state=stopped"), std::string::npos);

  ASSERT_EQ(RunCommand(collect + " --remove-service --port " + std::to_string(kServicePort), &out), 0) << out;
  EXPECT_EQ(ServiceState(name), "");
}

// The Windows collector writes a call's measurements into a PostgreSQL server over TCP with
// a password, through the driver, client library and OpenSSL deployed beside it; the second
// server user is admitted over TLS only (sslmode=require).
// The collector must also end cleanly after its database threads did (scripts/test-win fails
// a program whose log shows a crash).
TEST(WinePrograms, CollectorPutsACallIntoAPostgreSQLServerOverTcp) {
  const int port = kDatabasePort;
  const fs::path program = CopyOfProgramFolder("varnel wine database");
  for (const std::string& url : {Env("VARNEL_WINE_PG_URL"), Env("VARNEL_WINE_PG_TLS_URL")}) {
    if (SimFolder(port).empty() || url.empty()) GTEST_SKIP() << "run by scripts/test --win";
    SCOPED_TRACE(url);
    const fs::path data = FreshFolder("varnel-wine-database-data");
    FreshRegistryWithLogger(port);
    std::string out;
    const int status = RunCommand("\"" + (program / "varnel-collect.exe").string() + "\" --port " +
                                      std::to_string(port) + " --calls 1 --timeout 150 --data \"" +
                                      data.string() + "\" --database \"" + url + "\"",
                                  &out);
    ASSERT_EQ(status, 0) << out;
    ExpectCallWritten(data, port);
    const auto files = DataFiles(data, false);
    ASSERT_EQ(files.size(), 1u);
    const IdcFile file = ReadIdcFile(files[0]);
    ASSERT_FALSE(file.Measurements.empty());
    EXPECT_EQ(test::CompareWithFile(QString::fromStdString(url), file), "");
    const std::string log = FileText(program / "varnel-collect.LOG");
    for (int id : {kTextDatabaseUnreachable, kTextDatabaseRefused, kTextDatabaseBadUrl}) {
      EXPECT_EQ(out.find(LoadText(id, kEnglishBase)), std::string::npos) << out;
      EXPECT_EQ(log.find(LoadText(id, kEnglishBase)), std::string::npos) << log;
    }
    EXPECT_EQ(out.find("varnel-collect: "), std::string::npos) << out;
  }
}

}  // namespace
// An operator's first try of the alerts on Windows: varnel-collect.exe --notify-test writes
// the event log entry and sends the mail to a real SMTP server on this machine.
TEST(WinePrograms, NotifyTestWritesTheEventLogAndSendsTheMail) {
  const std::string url = Env("VARNEL_WINE_SMTP_URL");
  if (url.empty() || Env("VARNEL_WIN_DEPLOY").empty()) GTEST_SKIP() << "run by scripts/test --win";
  FreshRegistryWithLogger(kCollectPort);
  const std::string notify = kSettingsKey + "\\Notify";
  RegAdd(notify, "Mail", "REG_SZ", url);
  RegAdd(notify, "To", "REG_SZ", "ops@example.org");
  std::string out;
  EXPECT_EQ(RunCommand("\"" + Env("VARNEL_WIN_DEPLOY") + "\\varnel-collect.exe\" --notify-test", &out), 0)
      << out;
  EXPECT_NE(out.find("system log: written"), std::string::npos) << out;
  EXPECT_NE(out.find("mail: sent to ops@example.org"), std::string::npos) << out;
  const fs::path mail = fs::path(Env("VARNEL_WINE_SMTP_DIR")) / "1.json";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(mail); }, 20)) << out;
  const std::string got = FileText(mail);
  EXPECT_NE(got.find("Test alert: sent through every channel that is set"), std::string::npos) << got;
  EXPECT_NE(got.find("\"rcpt_tos\": [\"ops@example.org\"]"), std::string::npos) << got;
}

}  // namespace varnel::testing
