#pragma once
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/config_form_values.h"
#include "app/file_services.h"
#include "app/link_control.h"
#include "app/logic_timer.h"
#include "app/main_view.h"
#include "app/modules.h"
#include "app/record_list.h"
#include "common/contact_figures.h"
#include "common/program_log.h"
#include "device/device.h"
#include "device/page_cache.h"
#include "workers/file_thread.h"

// The main window without its widgets: start-up, settings, the operator's commands, the
// workers' messages and the job loop that chains them, the modules and the program log.
// Everything runs on the thread that created it; the workers reach it only through posted
// messages (Window()).
namespace varnel {

class ContactTracker;
class WorkerEventPump;
struct DeviceOptionNotes;

// The three buttons that start work.
enum class Sender { SpBStartModem, btnStart, btnReadRec };

// What the logic needs from the program around it. Link is required; the others default to
// the real thing when left empty.
struct LogicEnvironment {
  QStringList Arguments;  // the command-line parameters, without the program
  QString ProgramPath;    // the program file: its folder and the log's name derive from it
  QString LogFilePath;    // empty: beside the program (or in the per-user data folder)
  LinkControl* Link = nullptr;
  RunObserver* Observer = nullptr;  // told of the run's state changes; may stay empty
  TimerFactory* Timers = nullptr;
  ModuleLauncher* Launcher = nullptr;
  std::function<void(int ms)> Pause;  // the pause between module starts
  // What else each contact goes to, in this order, after the data files' own steps
  // (backups, page cache, file list, modules): the history, the database, ...
  std::vector<ContactService*> Services;
};

// Values that hold for one run only and are not stored at close (the console collector's
// --port and --data).
struct RunOverrides {
  int Port = 0;            // 0: the stored port
  std::string DataFolder;  // empty: the stored data folder
};

class MainLogic {
 public:
  MainLogic(MainView& view, LogicEnvironment env);
  ~MainLogic();
  MainLogic(const MainLogic&) = delete;
  MainLogic& operator=(const MainLogic&) = delete;

  // --- Window events
  void FormCreate();
  // Refused while Start is down: false, after the view has shown the warning in a box the
  // operator confirms. Otherwise stops the link, lets the workers end -- the files of the
  // pages read are written, backed up, listed and handed to the modules -- but gives up a
  // file worker that is not done within a bounded time, writes the settings and frees the
  // device image.
  bool FormClose();
  void ReadSettings();
  void WriteSettings();
  void ApplyLanguage();

  // --- Port menu and debug switches
  void BuildPortMenu(int count);
  void DetectPorts();
  void COMClick(int index);
  void Modem1Click();
  void Echo1Click();

  // --- Operator commands
  // The operator presses or releases the start/stop toggle.
  void PressStart();
  void ReleaseStart();
  // Releases Start at the planned end of an unattended run: memo and log get `summary`
  // (what the run did) where an operator's stop says that it was cancelled.
  void EndRun(const std::string& summary);
  // The call being read is the last of an unattended run: the wait for its hang-up
  // announces no restart, since none will follow.
  void SetLastCallOfRun(bool last) { lastCallOfRun_ = last; }
  void btnReadClick(Sender sender);
  void btnCancelClick();
  void btnAddClick(const std::vector<int>& selectedAvailable);
  void btnDelClick(int selectedChosen);
  void btnClearClick();
  // The operator dragged a chosen module to another place: the run order changes.
  void MoveChosenModule(int from, int to);
  void SetShowTime(bool on);
  // The operator ticked or cleared one entry of the record list.
  void SetRecordTicked(int index, bool ticked);
  void SetAddress(int value);
  // Ticks the first record and the records of the read-from rule, as a modem run does.
  void TickRecordsByReadRule();

  // The configuration dialog's values, and the values it returns on OK.
  ConfigFormValues ConfigFormInput() const;
  void ApplyConfigForm(const ConfigFormValues& values);

  // --- Worker messages
  void WMWorkerDone(int code);
  void WMWorkerStatus(int code, std::int64_t value, const std::string& text = {});
  void WMWorkerProgress(std::int64_t wParam, std::int64_t lParam);
  // `run`: the number of the file worker's report (lParam of its message).
  void WMFilesDone(std::int64_t flag, std::int64_t run);
  // One posted message, dispatched to its handler.
  void HandleMessage(unsigned message, std::int64_t wParam, std::int64_t lParam,
                     const std::string& text);

  // --- Options, files and modules
  void ResetReadOptions();
  // `notes`, when given, gets the stored values that were refused and a configuration
  // that will not be written.
  bool LoadDeviceOptions(const QString& serial, DeviceOptionNotes* notes = nullptr);
  bool ResetDeviceOptions(const QString& serial);

  // --- Timers
  void ClockTimerTick();
  void RestartTimerTick();
  void ActivityTimerTick();

  // Where workers post; also the file worker's synchronised call.
  PostTarget& Window();
  // Handles events until no worker runs and no posted message waits, or timeoutMs passed
  // (a negative timeout waits as long as it takes). True when idle.
  bool WaitUntilIdle(int timeoutMs);

  // Texts in the language in effect.
  std::string Text(int id) const;
  // What the database beside the files reports (the number of a DatabaseEvent and its
  // detail): one line in the memo and the log.
  void DatabaseNotice(int event, const std::string& detail);
  // A line of the alert service (an alert that could not be sent): memo and log.
  void AlertNotice(const std::string& line);
  // Since when (seconds since 1970 UTC) the modem has been gone, or its set-up failing,
  // while Start is down and it lasts.
  std::optional<std::int64_t> ModemGoneSince() const { return modemGoneSince_; }
  std::optional<std::int64_t> SetupFailingSince() const { return setupFailingSince_; }
  bool StartDown() const { return SpBStartModemDown; }

  // For this run only: the port and data folder to use instead of the stored ones, which
  // WriteSettings keeps. Applied after FormCreate, before Start.
  void ApplyRunOverrides(const RunOverrides& overrides);

  // --- What the window shows and the logic keeps, read-only to others
  std::uint8_t Port() const { return FPort; }
  std::uint8_t AmountPorts() const { return FAmountPorts; }
  bool AutoPorts() const { return FAutoPorts; }
  const std::string& DataFolder() const { return FInternalPath; }
  const std::string& ConfigFileFolder() const { return FConfigFilePath; }
  const std::string& FileListKey() const { return FFileListKey; }
  bool DebugMode() const { return FDebugMode; }
  bool CreateBackup() const { return FCreateBackup; }
  std::int16_t Language() const { return FLanguage; }
  std::int16_t LanguageSaved() const { return FLanguageSaved; }
  bool KeepPortOpen() const { return FKeepPortOpen; }
  bool ShowTime() const { return ChBShowTime; }
  bool ModemChecked() const { return Modem1Checked; }
  bool EchoChecked() const { return Echo1Checked; }
  bool CloseEnabledInTray() const { return pmuCloseEnabled; }
  const std::vector<RecordEntry>& Records() const { return lbRecords; }
  const std::vector<PortMenuItem>& PortMenu() const { return muPort; }
  const TModuleList& Modules() const { return FModules; }
  const TExecuteModuleList& ExecModules() const { return FExecModules; }
  const ProgramLog& Log() const { return log_; }
  ProgramLog& Log() { return log_; }
  struct ActivityState {
    std::uint8_t Value;
    bool Rising;
    bool Reverse;
    bool RightToLeft;
  };
  ActivityState Activity() const {
    return {FActivityValue, FActivityRising, FActivityReverse, ActivityRightToLeft};
  }

  // The one device image. The workers write it during their jobs by the ownership rules of
  // the link; the window reads it in its message handlers.
  std::unique_ptr<TDevice> FDevice;

  // The periodic timers: clock (1 s), restart countdown (10 s), activity bar (100 ms).
  std::unique_ptr<LogicTimer> ClockTimer;
  std::unique_ptr<LogicTimer> RestartTimer;
  std::unique_ptr<LogicTimer> ActivityTimer;
  // While Start is down: the next modem set-up after a failed one, and the look for a
  // modem port that has gone.
  std::unique_ptr<LogicTimer> SetupRetryTimer;
  std::unique_ptr<LogicTimer> PortWatchTimer;

 private:
  // --- The window's state
  std::uint8_t FPort = 1;
  std::uint8_t FAmountPorts = 4;
  bool FAutoPorts = false;
  ModuleSet FModuleSet;  // owns the modules of FModules and FExecModules
  TModuleList& FModules;
  TExecuteModuleList& FExecModules;
  std::string FInternalPath;
  std::string FFileListKey;
  bool FDebugMode = false;
  std::int16_t FAnswerTimeout = 500;
  std::int16_t FRestartCountdown = 80;
  std::uint8_t FActivityValue = 0;
  bool FActivityRising = true;
  bool FActivityReverse = false;
  bool FCreateBackup = true;
  std::int16_t FLanguageSaved = 0;
  std::int16_t FLanguage = 0;
  bool FKeepPortOpen = false;
  std::string FConfigFilePath;
  std::array<std::string, 5> FDefaultModemCmds{};
  int FSetupRetrySeconds = 60;

  // Controls whose state the logic keeps.
  bool SpBStartModemDown = false;
  bool ChBShowTime = true;
  bool Modem1Checked = true;  // both check marks are set in the window's design
  bool Echo1Checked = true;
  int spAddrMin = 250;
  int spAddrMax = 251;
  int spAddrValue = 250;
  std::string StatusPanel0;
  int ProgressMax = 1000;
  int ProgressPosition = 0;
  bool ActivityRightToLeft = false;
  bool pmuCloseEnabled = true;
  std::vector<RecordEntry> lbRecords;
  std::vector<PortMenuItem> muPort;
  std::string EditFilename;
  std::int32_t MainLeft = 0;
  std::int32_t MainTop = 0;
  // Stored only by a front end with a window; kept as read otherwise.
  std::optional<std::int32_t> MainWidth;
  std::optional<std::int32_t> MainHeight;
  std::optional<bool> MainMaximized;
  ProgramLog log_;
  // The stored port and data folder while a run override holds.
  std::optional<std::uint8_t> storedPort_;
  std::optional<std::string> storedInternalPath_;
  // The stored data folder that the folder rule replaced at start (empty: none).
  std::string replacedDataFolder_;
  // The documents data folder that the folder rule chose at start (empty: none): made at
  // the first Start that still writes there, and said once.
  std::string documentsDataFolder_;
  bool lastCallOfRun_ = false;
  std::string runSummary_;
  std::optional<std::int64_t> modemGoneSince_;
  std::optional<std::int64_t> setupFailingSince_;

  RunObserver& Observe();
  // The after-contact services: the data files' own steps, then the environment's.
  void RegisterServices();
  // The memo line; a warning or an error stands out in the window (the text and the log
  // line stay the same).
  void Memo(const std::string& line, MemoTone tone = MemoTone::Plain);
  void MemoAndLog(const std::string& line, MemoTone tone = MemoTone::Plain);
  void AddToLogFile(const std::string& text);
  void ShowTimeLine();
  // The status bar's device state is emptied: no logger is on the line.
  void ClearDeviceState();
  // What the program does now and what the last call gave, for the tray icon's tooltip.
  void SayActivity(const std::string& now);
  void WaitingForCall();
  void LoggerOnLine(std::uint32_t serialNumber);
  // The call of `logger` (empty: none identified) ended with `result`.
  void CallEnded(const std::string& result, std::optional<std::uint32_t> logger);
  void SetButtonsAtRest();
  void SetGauge(int maximum, int position);
  void ResetActivity();
  void StartJob(JobKind kind);
  // `partial`: the reading of the last record broke off, and its file says so.
  void StartFileThread(bool partial = false);
  // The folder the files of this call go to: the data folder, or when it cannot take them
  // (missing, not a folder, not writable) the fallback folder in the per-user data folder,
  // with memo and log saying why and where.
  std::filesystem::path FolderForFiles();
  // At Start: says so when the data folder cannot take files.
  void CheckDataFolderAtStart();
  void BuildRecordListFromDevice();
  void ShowModuleLists();
  void ApplyAddressRange(bool modem);
  // What a status event makes the window do beyond saying it.
  void ActOnStatus(int code);
  // Stops the link and lets the workers end within timeoutMs while their messages are
  // handled as usual; a file worker still running then is asked to stop, and one that
  // does not end either is given up.
  void EndWorkers(int timeoutMs);
  void WaitForWorkers();
  // Clears the records and starts waiting for the next call.
  void ResumeWaitingForCall();
  // The modem's port has gone: it is closed and looked for until it can be opened again,
  // when the modem is set up anew.
  void PortLost();
  void LookForPort();
  void SetupFailed();
  void RetrySetup();
  // The page cache of the logger on the line, for its option to read only new pages.
  void LoadPageCache();

  // One file worker's run: its report, and what the window keeps for its end.
  struct FileRun {
    std::shared_ptr<FilesReport> Report;
    std::optional<PageCache> Cache;  // the pages of its records, for the page cache
    std::uint64_t Contact = 0;       // the contact of the history it belongs to
    std::optional<std::uint32_t> Logger;  // the serial number of the logger it read
    bool Partial = false;                 // its last record was read only in part
  };

  MainView& view_;
  LogicEnvironment env_;
  std::unique_ptr<TimerFactory> ownTimers_;
  std::unique_ptr<ModuleLauncher> ownLauncher_;
  std::unique_ptr<WorkerEventPump> pump_;
  // The data files' own steps and then the environment's services, registered at start.
  std::vector<std::unique_ptr<ContactService>> fileServices_;
  ContactServices services_;
  // File workers tell the services of each file they commit, on their own thread, through
  // this gate: it closes when the logic goes, and a worker left to end alone finds it shut.
  struct CommitGate {
    std::mutex Mutex;
    ContactServices* Services = nullptr;
  };
  std::shared_ptr<CommitGate> commitGate_ = std::make_shared<CommitGate>();
  std::unique_ptr<ContactTracker> tracker_;  // only with a history
  bool closed_ = false;
  bool unknownLanguage_ = false;  // the stored language had no block; English is used
  // The file workers whose done message has not been handled, by report number.
  std::map<std::int64_t, FileRun> fileRuns_;
  std::int64_t lastRun_ = 0;
  bool closing_ = false;  // FormClose has begun: no job starts any more
  std::string activityNow_;
  std::string lastCall_;
  std::optional<std::uint32_t> loggerOnLine_;
  // Lines about the options just loaded, said after the serial number's own line.
  std::vector<std::pair<std::string, MemoTone>> optionNotes_;
};

}  // namespace varnel
