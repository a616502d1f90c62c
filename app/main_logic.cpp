// Start-up, settings, captions, port menu, debug switches, module lists, timers and close.
#include "app/main_logic.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>
#include <algorithm>
#include <chrono>

#include "app/contact_tracker.h"
#include "app/port_menu.h"
#include "app/worker_event_pump.h"
#include "common/locale_text.h"
#include "common/locations.h"
#include "common/settings.h"
#include "lang/lang.h"
#include "lang/text_ids.h"
#include "link/line_counter.h"
#include "varnel_version.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {
// Closing ends within these bounds whatever the file worker does (a service manager stops
// the program after 60 s): first the file worker may finish its files -- the files of a
// full logger take a few seconds --, then it is asked to stop at its next block, and then
// it is given up.
constexpr int kCloseFinishMs = 8000;
constexpr int kCloseStopMs = 4000;
}  // namespace

MainLogic::MainLogic(MainView& view, LogicEnvironment env)
    : FModules(FModuleSet.Available),
      FExecModules(FModuleSet.Chosen),
      view_(view),
      env_(std::move(env)) {
  if (!env_.Timers) {
    ownTimers_ = std::make_unique<QtTimerFactory>();
    env_.Timers = ownTimers_.get();
  }
  if (!env_.Launcher) {
    ownLauncher_ = std::make_unique<DetachedProcessLauncher>();
    env_.Launcher = ownLauncher_.get();
  }
  if (!env_.Pause) env_.Pause = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
  if (env_.ProgramPath.isEmpty()) env_.ProgramPath = QCoreApplication::applicationFilePath();
  log_.SetPath(env_.LogFilePath.isEmpty() ? DefaultLogFilePath(env_.ProgramPath)
                                         : env_.LogFilePath);
  pump_ = std::make_unique<WorkerEventPump>(
      [this](unsigned message, std::int64_t w, std::int64_t l, const std::string& text) {
        HandleMessage(message, w, l, text);
      });
  RegisterServices();
  commitGate_->Services = &services_;
  if (!env_.Services.empty()) {
    tracker_ = std::make_unique<ContactTracker>(services_, [] { return LineBytes(); },
                                                [this](const std::string& why) {
                                                  AddToLogFile(Text(kTextHistoryNotWritten) +
                                                               ": " + why);
                                                },
                                                [this] {
                                                  return ContactTracker::Place{
                                                      QSysInfo::machineHostName().toStdString(),
                                                      FPort, FInternalPath};
                                                });
  }
  ClockTimer = env_.Timers->Create();
  RestartTimer = env_.Timers->Create();
  ActivityTimer = env_.Timers->Create();
  ClockTimer->OnTimeout = [this] { ClockTimerTick(); };
  RestartTimer->OnTimeout = [this] { RestartTimerTick(); };
  ActivityTimer->OnTimeout = [this] { ActivityTimerTick(); };
  SetupRetryTimer = env_.Timers->Create();
  SetupRetryTimer->OnTimeout = [this] { RetrySetup(); };
  PortWatchTimer = env_.Timers->Create();
  PortWatchTimer->OnTimeout = [this] { LookForPort(); };
}

MainLogic::~MainLogic() {
  {
    std::lock_guard<std::mutex> lock(commitGate_->Mutex);
    commitGate_->Services = nullptr;
  }
  // The device image and the pump must outlive every worker that may still touch them.
  pump_->SetShuttingDown();
  if (!closed_ && env_.Link) {
    closing_ = true;
    env_.Link->StopLink();
    env_.Link->StopFileThread();
    if (!WaitUntilIdle(kCloseStopMs)) env_.Link->AbandonFileThreads();
    WaitForWorkers();
    if (tracker_) tracker_->Flush();
  }
  ClockTimer->Stop();
  RestartTimer->Stop();
  ActivityTimer->Stop();
  SetupRetryTimer->Stop();
  PortWatchTimer->Stop();
  modemGoneSince_.reset();
  setupFailingSince_.reset();
}

void MainLogic::RegisterServices() {
  const SayLine say = [this](const std::string& line, MemoTone tone) { MemoAndLog(line, tone); };
  const TextOf text = [this](int id) { return Text(id); };
  fileServices_.push_back(
      std::make_unique<BackupCopies>([this] { return FCreateBackup; }, say, text));
  fileServices_.push_back(std::make_unique<PageCacheKeeper>(say, text));
  fileServices_.push_back(std::make_unique<FileListWriter>());
  fileServices_.push_back(std::make_unique<ModuleStarter>(
      FExecModules, [this] { return QString::fromStdString(FFileListKey); }, *env_.Launcher,
      env_.Pause));
  for (const auto& service : fileServices_) services_.Add(*service);
  for (ContactService* service : env_.Services) services_.Add(*service);
}

std::string MainLogic::Text(int id) const { return LoadText(id, FLanguage); }

RunObserver& MainLogic::Observe() {
  static RunObserver nobody;
  return env_.Observer ? *env_.Observer : nobody;
}

void MainLogic::ApplyRunOverrides(const RunOverrides& overrides) {
  if (overrides.Port > 0) {
    if (!storedPort_) storedPort_ = FPort;
    FPort = static_cast<std::uint8_t>(overrides.Port);
  }
  if (!overrides.DataFolder.empty()) {
    if (!storedInternalPath_) storedInternalPath_ = FInternalPath;
    FInternalPath = overrides.DataFolder;
    replacedDataFolder_.clear();
    documentsDataFolder_.clear();
  }
}

PostTarget& MainLogic::Window() { return *pump_; }

// ---------------------------------------------------------------- start-up

void MainLogic::FormCreate() {
  RestartTimer->Stop();
  FRestartCountdown = 80;

  const QString joined = (env_.Arguments.join(QLatin1Char(' ')) + QLatin1Char(' ')).toUpper();
  FDebugMode = joined.contains(QLatin1String("DEBUG"));
  for (auto control : {Control::Echo1, Control::Modem1, Control::LbAddress, Control::spAddr}) {
    view_.SetVisible(control, FDebugMode);
  }

  FModuleSet.Clear();
  for (std::size_t i = 0; i < FDefaultModemCmds.size(); ++i) {
    FDefaultModemCmds[i] = kDefaultModemCmds[i];
  }

  FDevice = std::make_unique<TDevice>();
  FDevice->ConfigKnown = false;

  ReadSettings();

  if (FAutoPorts) {
    DetectPorts();
  } else {
    BuildPortMenu(FAmountPorts);
  }

  view_.SetEnabled(Control::btnReadRec, false);
  FKeepPortOpen = false;

  // Every run starts in modem mode, whatever the stored switch said.
  Modem1Checked = false;
  Modem1Click();

  ApplyLanguage();

  log_.CreateIfMissing();
  if (unknownLanguage_) {
    AddToLogFile(Text(kTextUnknownLanguage) + " " + std::to_string(FLanguageSaved));
  }

  view_.ClearMemo();
  view_.SetEnabled(Control::btnCancel, false);
  FFileListKey.clear();
  ResetActivity();
  view_.SetVisible(Control::pmuShow, false);
  SayActivity(std::string());

  ClockTimer->Start(1000);
  ActivityTimer->Start(100);
}

void MainLogic::ReadSettings() {
  LoadModules(FModuleSet);
  ShowModuleLists();

  const StoredSettings s = ReadStoredSettings();
  const QString programFolder = QFileInfo(env_.ProgramPath).absolutePath();
  bool toDocuments = false;
  const QString dataFolder = ResolveFolderSetting(s.InternalPath, programFolder, {}, &toDocuments);
  FInternalPath = dataFolder.toStdString();
  storedInternalPath_.reset();
  replacedDataFolder_.clear();
  // An installed copy's own folder, stored by an older copy, is no setting worth keeping.
  const bool storedOwnFolder = QDir::cleanPath(s.InternalPath) == QDir::cleanPath(programFolder) &&
                               InstalledProgramFolder(programFolder);
  if (!s.InternalPath.isEmpty() && !storedOwnFolder &&
      QDir::cleanPath(s.InternalPath) != QDir::cleanPath(dataFolder)) {
    // A folder that is away at start (a network drive not yet there) stays the setting:
    // only this run writes elsewhere, and Start says so.
    storedInternalPath_ = replacedDataFolder_ = s.InternalPath.toStdString();
  }
  documentsDataFolder_ = toDocuments ? FInternalPath : std::string();
  FConfigFilePath = ResolveFolderSetting(s.ConfigFilePath, programFolder).toStdString();

  // A base without a block of its own would empty every text: such a value speaks English,
  // and stays stored as it is.
  FLanguage = LanguageIndexOfBase(s.Language) < 0 ? kEnglishBase : s.Language;
  unknownLanguage_ = FLanguage != s.Language;
  FLanguageSaved = s.Language;
  SetLanguageBase(FLanguage);
  FPort = s.Port;
  FAmountPorts = s.AmountPorts;
  FAutoPorts = s.AutoPorts;
  spAddrValue = 250;
  view_.SetAddressField(spAddrMin, spAddrMax, spAddrValue);
  FCreateBackup = s.CreateBackup;
  FSetupRetrySeconds = s.SetupRetrySeconds;

  Modem1Checked = s.Modem;
  view_.SetChecked(Control::Modem1, Modem1Checked);
  env_.Link->SetLinkModem(Modem1Checked);
  env_.Link->SetLinkEcho(!Modem1Checked);
  if (Modem1Checked) ApplyAddressRange(true);

  for (int i = 0; i < kModemCommandSlots; ++i) {
    FDevice->ModemCmdActive[static_cast<std::size_t>(i)] = (s.ActiveModemCmd >> i) & 1;
  }
  FDevice->ModemCmd[5] = s.SpeakerModemCmd.toStdString();
  FDevice->ModemCmd[6] = s.UserDefModemCmd.toStdString();
  for (std::size_t i = 0; i < FDefaultModemCmds.size(); ++i) {
    FDevice->ModemCmd[i] = FDevice->ModemCmdActive[i] ? FDefaultModemCmds[i] : std::string();
  }

  ChBShowTime = s.ShowTime;
  view_.SetChecked(Control::ChBShowTime, ChBShowTime);
  MainLeft = s.MainLeft;
  MainTop = s.MainTop;
  MainWidth = s.MainWidth;
  MainHeight = s.MainHeight;
  MainMaximized = s.MainMaximized;
  WindowPosition place;
  place.Left = MainLeft;
  place.Top = MainTop;
  place.Width = MainWidth;
  place.Height = MainHeight;
  place.Maximized = MainMaximized;
  view_.SetWindowPosition(place);
}

void MainLogic::WriteSettings() {
  if (const auto place = view_.CurrentWindowPosition()) {
    MainLeft = place->Left;
    MainTop = place->Top;
    if (place->Width && place->Height) {
      MainWidth = place->Width;
      MainHeight = place->Height;
    }
    if (place->Maximized) MainMaximized = place->Maximized;
  }
  WriteCommonFolders(QString::fromStdString(storedInternalPath_.value_or(FInternalPath)),
                     QString::fromStdString(FConfigFilePath));
  WriteChosenModules(FExecModules);

  StoredSettings s;
  s.Port = storedPort_.value_or(FPort);
  s.Echo = Echo1Checked;
  s.AmountPorts = FAmountPorts;
  s.AutoPorts = FAutoPorts;
  s.Language = FLanguageSaved;
  s.CreateBackup = FCreateBackup;
  s.Modem = Modem1Checked;
  s.ActiveModemCmd = 0;
  for (int i = 0; i < kModemCommandSlots; ++i) {
    if (FDevice->ModemCmdActive[static_cast<std::size_t>(i)] != 0) s.ActiveModemCmd |= 1u << i;
  }
  s.SpeakerModemCmd = QString::fromStdString(FDevice->ModemCmd[5]);
  s.UserDefModemCmd = QString::fromStdString(FDevice->ModemCmd[6]);
  s.ShowTime = ChBShowTime;
  s.Address = spAddrValue;
  s.MainLeft = MainLeft;
  s.MainTop = MainTop;
  s.MainWidth = MainWidth;
  s.MainHeight = MainHeight;
  s.MainMaximized = MainMaximized;
  WriteSettingsKey(s);
}

void MainLogic::ApplyLanguage() {
  struct Caption {
    Control Target;
    int Id;
  };
  using C = Control;
  static constexpr Caption kCaptions[] = {
      {C::muFile, kTextMenuFile},
      {C::PortSetup1, kTextMenuPortSetup},
      {C::Options1, kTextMenuOptions},
      {C::Info1, kTextMenuInfo},
      {C::Modem1, kTextMenuModem},
      {C::muExit, kTextMenuExit},
      {C::muPort, kTextMenuPort},
      {C::Echo1, kTextMenuEcho},
      {C::muConfig, kTextMenuConfiguration},
      {C::muLoggerConfig, kTextMenuReadWriteOptions},
      {C::muShowLogfile, kTextMenuShowLogfile},
      {C::LbIdentity, kTextIdentityLabel},
      {C::LbRecordNumber, kTextRecordNumber},
      {C::LbRecordStart, kTextRecordStart},
      {C::LbRecordShare, kTextRecordShare},
      {C::LbAvailableModules, kTextAvailableModules},
      {C::LbAddress, kTextAddressLabel},
      {C::LbAction, kTextActionLabel},
      {C::LbBattery, kTextBatteryCapacity},
      {C::LbChosenModules, kTextChosenModules},
      {C::ChBShowTime, kTextShowTime},
      {C::btnClose, kTextMainClose},
      {C::btnAdd, kTextAddModules},
      {C::btnDel, kTextRemoveModule},
      {C::btnClear, kTextClearModules},
      {C::btnStart, kTextReadContents},
      {C::btnReadRec, kTextReadRecords},
      {C::btnCancel, kTextMainCancel},
      {C::AboutCaption, kTextAboutTitle},
      {C::AboutProduct, kTextProgramName},
      {C::pmuShow, kTextTrayShow},
      {C::pmuClose, kTextTrayClose},
      {C::pmuMinimize, kTextTrayMinimize},
  };
  view_.SetCaption(Control::Window, " " + Text(kTextProgramName));
  for (const Caption& c : kCaptions) view_.SetCaption(c.Target, Text(c.Id));
  view_.SetCaption(Control::AboutVersion, Text(kTextAboutVersion) + " " + kVersionText);
}

// ---------------------------------------------------------------- port menu, switches

void MainLogic::BuildPortMenu(int count) {
  muPort = FixedPortItems(count);
  if (const auto port = SelectPortItem(muPort, FPort)) FPort = static_cast<std::uint8_t>(*port);
  view_.ShowPortMenu(muPort);
}

void MainLogic::DetectPorts() {
  std::vector<std::string> names = SystemPortNames();
  SortPortNames(names);
  muPort = DetectedPortItems(names);
  if (const auto port = SelectPortItem(muPort, FPort)) FPort = static_cast<std::uint8_t>(*port);
  view_.ShowPortMenu(muPort);
}

void MainLogic::COMClick(int index) {
  if (index < 0 || index >= static_cast<int>(muPort.size())) return;
  for (auto& item : muPort) item.Checked = false;
  muPort[static_cast<std::size_t>(index)].Checked = true;
  FPort = static_cast<std::uint8_t>(muPort[static_cast<std::size_t>(index)].Number);
  storedPort_.reset();  // the operator's choice is the one to store
  view_.ShowPortMenu(muPort);
}

void MainLogic::ApplyAddressRange(bool modem) {
  if (modem) {
    spAddrMin = 250;
    spAddrMax = 251;
    spAddrValue = 251;
  } else {
    spAddrMin = 1;
    spAddrMax = 250;
    spAddrValue = 250;
  }
  view_.SetAddressField(spAddrMin, spAddrMax, spAddrValue);
}

void MainLogic::Modem1Click() {
  Modem1Checked = !Modem1Checked;
  view_.SetChecked(Control::Modem1, Modem1Checked);
  env_.Link->SetLinkModem(Modem1Checked);
  env_.Link->SetLinkEcho(!Modem1Checked);
  ApplyAddressRange(Modem1Checked);
}

void MainLogic::Echo1Click() {
  Echo1Checked = !Echo1Checked;
  view_.SetChecked(Control::Echo1, Echo1Checked);
  env_.Link->SetLinkEcho(Echo1Checked);
}

void MainLogic::SetAddress(int value) {
  spAddrValue = std::clamp(value, spAddrMin, spAddrMax);
  view_.SetAddressField(spAddrMin, spAddrMax, spAddrValue);
}

void MainLogic::SetShowTime(bool on) { ChBShowTime = on; }

// ---------------------------------------------------------------- configuration dialog

ConfigFormValues MainLogic::ConfigFormInput() const {
  ConfigFormValues v;
  v.LanguageIndex = FLanguageSaved / 1000;
  v.AutoPorts = FAutoPorts;
  v.DataFolder = FInternalPath;
  v.ConfigFileFolder = FConfigFilePath;
  v.CreateBackup = FCreateBackup;
  v.AmountPortsIndex = FAmountPorts - 1;
  // The four hidden boxes keep the dialog's own states: AT&D0 and ATS0=2 ticked.
  v.CommandBoxes = {true, false, true, false, FDevice->ModemCmdActive[4] != 0};
  v.SpeakerBox = FDevice->ModemCmdActive[5] != 0;
  v.SpeakerOn = v.SpeakerBox && FDevice->ModemCmd[5] != "ATM0";
  v.UserCommand = FDevice->ModemCmd[6];
  v.UserCommandBox = FDevice->ModemCmdActive[6] != 0;
  return v;
}

void MainLogic::ApplyConfigForm(const ConfigFormValues& v) {
  FLanguageSaved = static_cast<std::int16_t>(v.LanguageIndex * 1000);
  FAutoPorts = v.AutoPorts;
  FCreateBackup = v.CreateBackup;
  FInternalPath = v.DataFolder;
  storedInternalPath_.reset();  // the operator's choice is the one to store
  replacedDataFolder_.clear();
  // OK on an unchanged folder keeps the documents folder to be made at Start.
  if (v.DataFolder != documentsDataFolder_) documentsDataFolder_.clear();
  FConfigFilePath = v.ConfigFileFolder;
  FAmountPorts = static_cast<std::uint8_t>(v.AmountPortsIndex + 1);
  for (std::size_t i = 0; i < v.CommandBoxes.size(); ++i) {
    FDevice->ModemCmdActive[i] = v.CommandBoxes[i] ? 1 : 0;
  }
  FDevice->ModemCmdActive[5] = v.SpeakerBox ? 1 : 0;
  FDevice->ModemCmdActive[6] = v.UserCommandBox ? 1 : 0;
  for (std::size_t i = 0; i < v.ActiveCommands.size(); ++i) {
    FDevice->ModemCmd[i] = v.ActiveCommands[i];
  }
}

// ---------------------------------------------------------------- module lists

void MainLogic::ShowModuleLists() {
  std::vector<std::string> available, chosen;
  for (const QString& n : FModuleSet.AvailableNames()) available.push_back(n.toStdString());
  for (const QString& n : FModuleSet.ChosenNames()) chosen.push_back(n.toStdString());
  view_.ShowModuleLists(available, chosen);
}

void MainLogic::btnAddClick(const std::vector<int>& selectedAvailable) {
  std::vector<int> rows = selectedAvailable;
  std::sort(rows.begin(), rows.end());
  for (int row : rows) {
    if (TModule* m = FModules.Item(row)) FExecModules.Add(m);
  }
  ShowModuleLists();
}

void MainLogic::btnDelClick(int selectedChosen) {
  FExecModules.Delete(selectedChosen);
  ShowModuleLists();
}

void MainLogic::btnClearClick() {
  FExecModules.Clear();
  ShowModuleLists();
}

void MainLogic::MoveChosenModule(int from, int to) {
  FExecModules.Move(from, to);
  ShowModuleLists();
}

// ---------------------------------------------------------------- timers

void MainLogic::ClockTimerTick() { view_.SetStatusPanel(1, NowText().toStdString()); }

void MainLogic::ResetActivity() {
  FActivityValue = 0;
  FActivityRising = true;
  FActivityReverse = false;
  ActivityRightToLeft = false;
  view_.SetActivity(0, false);
}

void MainLogic::ActivityTimerTick() {
  if (!SpBStartModemDown) return;
  constexpr std::uint8_t kMax = 10;
  view_.SetActivity(FActivityValue, ActivityRightToLeft);
  if (FActivityRising) {
    if (FActivityValue >= kMax) {
      FActivityRising = false;
      ActivityRightToLeft = !FActivityReverse;
      --FActivityValue;
    } else {
      ++FActivityValue;
    }
  } else if (FActivityValue == 0) {
    FActivityRising = true;
    FActivityReverse = !FActivityReverse;
    ++FActivityValue;
  } else {
    --FActivityValue;
  }
}

// ---------------------------------------------------------------- close

void MainLogic::WaitForWorkers() {
  // After StopLink a job's worker ends within moments; a file worker that would not is
  // given up before this is reached.
  while (env_.Link->Busy()) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  env_.Link->ReapFinished();
  QCoreApplication::processEvents();
}

void MainLogic::EndWorkers(int timeoutMs) {
  env_.Link->StopLink();
  // Their messages are handled as usual: the pages read become files, and the files get
  // their backups, the file list, the modules and the page cache.
  if (WaitUntilIdle(timeoutMs)) return;
  env_.Link->StopFileThread();
  if (WaitUntilIdle(kCloseStopMs)) return;
  // A disk that does not answer. What the worker completed is handled as the files of a
  // worker that stopped; its unfinished file is dropped.
  env_.Link->AbandonFileThreads();
  MemoAndLog(Text(kTextFileWorkerGivenUp), MemoTone::Error);
  while (!fileRuns_.empty()) WMFilesDone(kFilesIncomplete, fileRuns_.begin()->first);
}

bool MainLogic::WaitUntilIdle(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    QCoreApplication::processEvents();
    if (!env_.Link->Busy() && pump_->Pending() == 0) {
      QCoreApplication::processEvents();
      if (!env_.Link->Busy() && pump_->Pending() == 0) {
        env_.Link->ReapFinished();
        return true;
      }
    }
    if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) return false;
    QThread::msleep(5);
  }
}

bool MainLogic::FormClose() {
  if (SpBStartModemDown) {
    view_.ShowWarning(Text(kTextStopModemFirst));
    return false;
  }
  if (closed_) return true;
  closing_ = true;
  RestartTimer->Stop();
  EndWorkers(kCloseFinishMs);
  pump_->SetShuttingDown();
  // A worker may still be writing into the device image, which is emptied and freed next.
  WaitForWorkers();
  if (tracker_) tracker_->Flush();
  WriteSettings();
  ClockTimer->Stop();
  RestartTimer->Stop();
  ActivityTimer->Stop();
  SetupRetryTimer->Stop();
  PortWatchTimer->Stop();
  modemGoneSince_.reset();
  setupFailingSince_.reset();
  FDevice->ClearRecs();
  FDevice->ClearFiles();
  FModuleSet.Clear();
  closed_ = true;
  return true;
}

}  // namespace varnel
