// Start-up: settings and their defaults, the folder rule, the port menu, the debug word, the
// modem switch, captions, the configuration dialog's round trip and the settings at close.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>

#include "common/registry_store.h"
#include "common/settings.h"
#include "lang/lang.h"
#include "lang/text_ids.h"
#include "logic_fixture.h"
#include "varnel_version.h"

namespace varnel {
namespace {

using test::LogicTest;

class Settings : public LogicTest {};

TEST_F(Settings, AnEmptyStoreGivesTheDefaults) {
  Create();
  EXPECT_EQ(logic->Language(), 0);
  EXPECT_EQ(logic->Port(), 1);
  EXPECT_EQ(logic->AmountPorts(), 4);
  EXPECT_FALSE(logic->AutoPorts());
  EXPECT_TRUE(logic->CreateBackup());
  EXPECT_TRUE(logic->ShowTime());
  // Port menu COM1 ... COM4 with COM1 checked.
  ASSERT_EQ(view.ports.size(), 4u);
  EXPECT_EQ(view.ports[0].Name, "COM1");
  EXPECT_EQ(view.ports[0].Caption, "COM &1");
  EXPECT_TRUE(view.ports[0].Checked);
  EXPECT_EQ(view.ports[3].Name, "COM4");
  for (int i = 1; i < 4; ++i) EXPECT_FALSE(view.ports[i].Checked);
  // "ActiveModemCmd" 5: AT&D0 and ATS0=2 active, the others empty; speaker ATM0.
  const TDevice& d = *logic->FDevice;
  EXPECT_EQ(d.ModemCmd[0], "AT&D0");
  EXPECT_EQ(d.ModemCmd[1], "");
  EXPECT_EQ(d.ModemCmd[2], "ATS0=2");
  EXPECT_EQ(d.ModemCmd[3], "");
  EXPECT_EQ(d.ModemCmd[4], "");
  EXPECT_EQ(d.ModemCmd[5], "ATM0");
  EXPECT_EQ(d.ModemCmd[6], "");
  const std::array<std::uint8_t, 7> active{1, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ(d.ModemCmdActive, active);
  // The data folder falls back to the program's folder.
  EXPECT_EQ(QString::fromStdString(logic->DataFolder()), ProgramFolder());
  EXPECT_EQ(QString::fromStdString(logic->ConfigFileFolder()), ProgramFolder());
}

TEST_F(Settings, StoredValuesAreUsedAsTheyStand) {
  {
    RegistryKey key(kSettingsKey);
    key.WriteInt("Port", 7);
    key.WriteInt("Amount-Ports", 9);
    key.WriteFlag("Create-Backup", false);
    key.WriteInt("ActiveModemCmd", 0x7F);
    key.WriteString("SpeakerModemCmd", "");
    key.WriteString("UserDefModemCmd", "ATX3;ATL0");
    key.WriteFlag("Show-Time", false);
    key.WriteInt("Language", 2000);
  }
  Create();
  EXPECT_EQ(logic->Port(), 7);
  EXPECT_EQ(view.ports.size(), 9u);
  EXPECT_TRUE(view.ports[6].Checked);
  EXPECT_FALSE(logic->CreateBackup());
  EXPECT_FALSE(logic->ShowTime());
  EXPECT_EQ(logic->Language(), 2000);
  const TDevice& d = *logic->FDevice;
  EXPECT_EQ(d.ModemCmd[1], "AT&H0");
  EXPECT_EQ(d.ModemCmd[3], "AT+IPR=9600");
  EXPECT_EQ(d.ModemCmd[4], "AT&V");
  EXPECT_EQ(d.ModemCmd[5], "ATM0");  // an empty stored speaker command gives ATM0
  EXPECT_EQ(d.ModemCmd[6], "ATX3;ATL0");
  // German captions.
  EXPECT_EQ(view.captions["btnClose"], LoadText(kTextMainClose, kGermanBase));
}

TEST_F(Settings, AStoredPortOutsideTheMenuSelectsTheFirstItem) {
  {
    RegistryKey key(kSettingsKey);
    key.WriteInt("Port", 6);
    key.WriteInt("Amount-Ports", 2);
  }
  Create();
  EXPECT_EQ(logic->Port(), 1);
  ASSERT_EQ(view.ports.size(), 2u);
  EXPECT_TRUE(view.ports[0].Checked);
}

TEST_F(Settings, ChoosingAPortChecksOnlyThatItem) {
  Create();
  logic->COMClick(2);
  EXPECT_EQ(logic->Port(), 3);
  EXPECT_FALSE(view.ports[0].Checked);
  EXPECT_TRUE(view.ports[2].Checked);
}

TEST_F(Settings, EveryStartIsInModemModeEvenWithModemZeroStored) {
  RegistryKey(kSettingsKey).WriteFlag("Modem", false);
  Create();
  EXPECT_TRUE(link.modem);
  EXPECT_FALSE(link.echo);
  EXPECT_TRUE(logic->ModemChecked());
  EXPECT_EQ(view.addrValue, 251);
  EXPECT_EQ(view.addrMin, 250);
  EXPECT_EQ(view.addrMax, 251);
}

TEST_F(Settings, TheModemSwitchSetsEchoAndTheAddressRange) {
  Create();
  logic->Modem1Click();
  EXPECT_FALSE(link.modem);
  EXPECT_TRUE(link.echo);
  EXPECT_EQ(view.addrMin, 1);
  EXPECT_EQ(view.addrMax, 250);
  EXPECT_EQ(view.addrValue, 250);
  logic->Echo1Click();  // the design check mark goes off
  EXPECT_FALSE(link.echo);
}

TEST_F(Settings, DebugInsideALongerWordInAnyCaseSwitchesDebugModeOn) {
  Create({"-x", "noDeBuGging"});
  EXPECT_TRUE(logic->DebugMode());
  EXPECT_TRUE(view.visible["spAddr"]);
  EXPECT_TRUE(view.visible["Modem1"]);
}

TEST_F(Settings, WithoutTheWordDebugTheDebugControlsStayHidden) {
  Create({"DEBU", "G"});
  EXPECT_FALSE(logic->DebugMode());
  EXPECT_FALSE(view.visible["spAddr"]);
  EXPECT_FALSE(view.visible["Echo1"]);
}

TEST_F(Settings, CaptionsComeFromTheStringTable) {
  Create();
  EXPECT_EQ(view.captions["frmMain"], " Varnel");
  EXPECT_EQ(view.captions["btnStart"], "Read Contents");
  EXPECT_EQ(view.captions["LbChosenModules"], "Modules to execute (in this order)");
  EXPECT_EQ(view.captions["AboutVersion"], std::string("Version ") + kVersionText);
}

TEST_F(Settings, AStoredLanguageWithoutABlockSpeaksEnglishAndIsKeptAsStored) {
  RegistryKey(kSettingsKey).WriteInt("Language", 7);
  Create();
  EXPECT_EQ(view.captions["btnStart"], "Read Contents");
  EXPECT_EQ(logic->Text(kTextFile), "File");
  const auto logged = LoggedTexts();
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find('7'), std::string::npos) << logged[0];
  ASSERT_TRUE(logic->FormClose());
  EXPECT_EQ(RegistryKey(kSettingsKey).ReadInt("Language", -1), 7);
}

TEST_F(Settings, FolderRuleTakesCommonDataBesideTheProgramForAMissingFolder) {
  RegistryKey(kCommonKey).WriteString("Internal-Path", Root() + "/gone");
  QDir().mkpath(ProgramFolder() + "/CommonData");
  Create();
  EXPECT_EQ(QString::fromStdString(logic->DataFolder()), ProgramFolder() + "/CommonData");
  // Start says why, naming the folders as the operator writes them; the folder that is away
  // (a drive not yet there) stays the setting.
  logic->PressStart();
  const std::string why =
      "Data folder cannot be used: " + QDir::toNativeSeparators(Root() + "/gone").toStdString() +
      " (it does not exist) - files are written to " +
      QDir::toNativeSeparators(ProgramFolder() + "/CommonData").toStdString();
  EXPECT_EQ(std::count(view.memo.begin(), view.memo.end(), why), 1);
  logic->ReleaseStart();
  ASSERT_TRUE(logic->FormClose());
  EXPECT_EQ(RegistryKey(kCommonKey).ReadString("Internal-Path"),
            QDir::toNativeSeparators(Root() + "/gone"));
}

TEST_F(Settings, FolderRuleKeepsAnExistingStoredFolder) {
  QDir().mkpath(Root() + "/data");
  RegistryKey(kCommonKey).WriteString("ConfigFile-Path", Root() + "/data/");
  Create();
  EXPECT_EQ(QString::fromStdString(logic->ConfigFileFolder()), Root() + "/data");
}

TEST_F(Settings, AnInstalledProgramWithoutDataFolderWritesToTheDocumentsFolderAndSaysSoOnce) {
#ifdef Q_OS_WIN
  VARNEL_POSIX_ONLY("the documents folder is found through user-dirs.dirs only here");
#endif
  // The installed copy's mark, and the XDG documents folder of this user.
  QDir().mkpath(Root() + "/share/varnel");
  QFile(Root() + "/share/varnel/installed").open(QIODevice::WriteOnly);
  QFile dirs(Root() + "/config/user-dirs.dirs");
  ASSERT_TRUE(QDir().mkpath(Root() + "/config") && dirs.open(QIODevice::WriteOnly));
  dirs.write(("XDG_DOCUMENTS_DIR=\"" + Root() + "/Dokumente\"\n").toUtf8());
  dirs.close();
  Create();
  const QString documents = Root() + "/Dokumente/Varnel";
  EXPECT_EQ(QString::fromStdString(logic->DataFolder()), documents);
  EXPECT_FALSE(QFileInfo::exists(documents));  // made when the files are to go there
  logic->PressStart();
  EXPECT_TRUE(QFileInfo(documents).isDir());
  const std::string line =
      "No data folder set and the program's folder cannot take files - files are written to " +
      documents.toStdString();
  logic->ReleaseStart();
  logic->PressStart();
  EXPECT_EQ(std::count(view.memo.begin(), view.memo.end(), line), 1);
  EXPECT_EQ(logic->Log().ReadAll().count(QString::fromStdString(line)), 1);
}

TEST_F(Settings, CloseWritesEveryValueWithTheLanguageChosenForTheNextStart) {
  Create();
  ConfigFormValues v = logic->ConfigFormInput();
  v.LanguageIndex = 1;  // Dutch
  // OK with the speaker box off returns an empty speaker command.
  v.ActiveCommands = {"AT&D0", "", "ATS0=2", "", "", "", ""};
  logic->ApplyConfigForm(v);
  EXPECT_EQ(view.captions["btnClose"], "Close");  // unchanged until the next start
  logic->COMClick(1);
  ASSERT_TRUE(logic->FormClose());

  RegistryKey key(kSettingsKey);
  EXPECT_EQ(key.ReadInt("Language", -1), 1000);
  EXPECT_EQ(key.ReadInt("Port", -1), 2);
  EXPECT_EQ(key.ReadInt("Amount-Ports", -1), 4);
  EXPECT_FALSE(key.ReadFlag("Auto-Ports", true));
  EXPECT_TRUE(key.ReadFlag("Modem", false));
  EXPECT_TRUE(key.ReadFlag("Echo", false));
  EXPECT_EQ(key.ReadInt("Address", -1), 251);
  EXPECT_TRUE(key.HasValue("SpeakerModemCmd"));
  EXPECT_EQ(key.ReadString("SpeakerModemCmd", "?"), "");
  EXPECT_TRUE(key.HasValue("UserDefModemCmd"));
  EXPECT_TRUE(key.HasValue("MainLeft"));
  // Stored with the platform's separators: other programs of the device line read it.
  EXPECT_EQ(RegistryKey(kCommonKey).ReadString("Internal-Path"),
            QDir::toNativeSeparators(ProgramFolder()));

  // The next start speaks Dutch.
  test::RecordingView next;
  LogicEnvironment env;
  env.ProgramPath = ProgramPath();
  env.Link = &link;
  env.Timers = &timers;
  MainLogic again(next, env);
  again.FormCreate();
  EXPECT_EQ(again.Language(), 1000);
  EXPECT_EQ(next.captions["btnClose"], LoadText(kTextMainClose, kDutchBase));
  EXPECT_EQ(again.FDevice->ModemCmd[5], "ATM0");  // an empty stored speaker command
}

TEST_F(Settings, ConfigurationDialogReturnsTheHiddenCommandsAsTheyStand) {
  RegistryKey(kSettingsKey).WriteInt("ActiveModemCmd", 31);
  Create();
  ConfigFormValues v = logic->ConfigFormInput();
  EXPECT_TRUE(v.CommandBoxes[4]);  // AT&V shown ticked
  // OK with AT&V left ticked: the hidden boxes give AT&D0 and ATS0=2 only.
  v.ActiveCommands = {"AT&D0", "", "ATS0=2", "", "AT&V", "", v.UserCommand};
  logic->ApplyConfigForm(v);
  ASSERT_TRUE(logic->FormClose());
  EXPECT_EQ(RegistryKey(kSettingsKey).ReadInt("ActiveModemCmd", -1), 21);
}

TEST_F(Settings, ConfigurationDialogShowsTheSpeakerChoice) {
  RegistryKey(kSettingsKey).WriteInt("ActiveModemCmd", 5 | 32);
  RegistryKey(kSettingsKey).WriteString("SpeakerModemCmd", "ATM2");
  Create();
  ConfigFormValues v = logic->ConfigFormInput();
  EXPECT_TRUE(v.SpeakerBox);
  EXPECT_TRUE(v.SpeakerOn);  // anything but ATM0 shows as ATM1
}

TEST_F(Settings, ModulesChosenAtCloseAreChosenAgainAtTheNextStart) {
  QFile prog(Root() + "/conv.sh");
  ASSERT_TRUE(prog.open(QIODevice::WriteOnly));
  prog.close();
  RegistryKey(QString(kModulesKey) + "\\conv").WriteString("Path", Root() + "/conv.sh");
  RegistryKey(QString(kModulesKey) + "\\conv").WriteString("Description", "Converter");
  Create();
  ASSERT_EQ(view.available, std::vector<std::string>{"Converter"});
  logic->btnAddClick({0});
  logic->btnAddClick({0});
  EXPECT_EQ(view.chosen, (std::vector<std::string>{"Converter", "Converter"}));
  ASSERT_TRUE(logic->FormClose());
  RegistryKey exec(kExecutableKey);
  EXPECT_EQ(exec.ValueNames().size(), 2);
  EXPECT_EQ(exec.ReadString("Exec1"), "Converter");
}

TEST_F(Settings, ClosingIsRefusedWhileStartIsDown) {
  Create();
  logic->PressStart();
  EXPECT_FALSE(logic->FormClose());
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_EQ(view.warnings[0], "Please stop modem activities first!");
  EXPECT_FALSE(RegistryKey(kSettingsKey).HasValue("Port"));  // nothing written
  logic->ReleaseStart();
  EXPECT_TRUE(logic->FormClose());
}

TEST_F(Settings, TheLogFileIsCreatedEmptyAtStart) {
  Create();
  QFile log(LogPath());
  ASSERT_TRUE(log.exists());
  EXPECT_EQ(log.size(), 0);
}

}  // namespace
}  // namespace varnel
