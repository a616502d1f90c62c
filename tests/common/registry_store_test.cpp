// The per-user store: where keys live, how values are typed, and how keys are replaced.
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

#include "common/registry_store.h"
#include "common/settings.h"
#include "tests/common/temp_store.h"

namespace varnel {
namespace {

using test::TempStore;

TEST(RegistryPath, DoubledAndOuterBackslashesAreDropped) {
  EXPECT_EQ(NormalizeRegistryPath("\\SOFTWARE\\Halvark Drovantek\\\\Corvane\\RegistredDevices"),
            "SOFTWARE\\Halvark Drovantek\\Corvane\\RegistredDevices");
  EXPECT_EQ(NormalizeRegistryPath("\\SOFTWARE\\Halvark Drovantek\\Corvane\\"),
            "SOFTWARE\\Halvark Drovantek\\Corvane");
}

class RegistryStore : public TempStore {};

TEST_F(RegistryStore, EachProgramKeyIsOneIniFileUnderTheConfigHome) {
  VARNEL_POSIX_ONLY("reads the INI files; tests/windows reads the registry with reg.exe");
  const StoreLocation settings = LocateKey(kSettingsKey);
  EXPECT_EQ(settings.File, Root() + "/config/Halvark Drovantek/Corvane.ini");
  EXPECT_EQ(settings.Group, "");
  const StoreLocation files = LocateKey(QString(kCommonKeySlash) + "Files");
  EXPECT_EQ(files.File, Root() + "/config/Halvark Drovantek/Logger VTQ.ini");
  EXPECT_EQ(files.Group, "Common/Files");
}

TEST_F(RegistryStore, DoubledBackslashReachesTheSameKeyAsASingleOne) {
  VARNEL_POSIX_ONLY("reads the INI files; tests/windows reads the registry with reg.exe");
  {
    RegistryKey doubled(QString(kRegisteredDevicesKey) + "\\4711");
    doubled.WriteString("Description", "pump station");
  }
  RegistryKey single("\\SOFTWARE\\Halvark Drovantek\\Corvane\\RegistredDevices\\4711");
  EXPECT_EQ(single.ReadString("Description"), "pump station");
  RegistryKey devices("SOFTWARE\\Halvark Drovantek\\Corvane\\RegistredDevices");
  EXPECT_EQ(devices.SubKeyNames(), QStringList{"4711"});
}

TEST_F(RegistryStore, FlagsAndIntegersAreStoredAsNumbersAndReadBackWithDefaults) {
  VARNEL_POSIX_ONLY("reads the INI files; tests/windows reads the registry with reg.exe");
  {
    RegistryKey key(kSettingsKey);
    key.WriteFlag("Create-Backup", false);
    key.WriteInt("Port", 3);
    key.WriteInt("MainLeft", -20);
  }
  QSettings raw(Root() + "/config/Halvark Drovantek/Corvane.ini", QSettings::IniFormat);
  EXPECT_EQ(raw.value("Create-Backup").toString(), "0");
  EXPECT_EQ(raw.value("Port").toString(), "3");

  RegistryKey key(kSettingsKey);
  EXPECT_FALSE(key.ReadFlag("Create-Backup", true));
  EXPECT_EQ(key.ReadInt("Port", 1), 3);
  EXPECT_EQ(key.ReadInt("MainLeft", 0), -20);
  EXPECT_EQ(key.ReadInt("Amount-Ports", 4), 4);
  EXPECT_TRUE(key.ReadFlag("Show-Time", true));
  EXPECT_FALSE(key.HasValue("Amount-Ports"));
}

TEST_F(RegistryStore, ValuesWrittenByOtherProgramsAsWordsOrLargeNumbersAreUnderstood) {
  VARNEL_POSIX_ONLY("reads the INI files; tests/windows reads the registry with reg.exe");
  {
    QSettings raw(Root() + "/config/Halvark Drovantek/Corvane.ini", QSettings::IniFormat);
    raw.setValue("Auto-Ports", "true");
    raw.setValue("Big", "4294967295");  // a DWORD of all ones
    raw.setValue("Junk", "abc");
  }
  RegistryKey key(kSettingsKey);
  EXPECT_TRUE(key.ReadFlag("Auto-Ports", false));
  EXPECT_EQ(key.ReadInt("Big", 0), -1);
  EXPECT_EQ(key.ReadInt("Junk", 7), 7);
}

TEST_F(RegistryStore, ClearRemovesValuesAndSubKeysButNotTheNeighbours) {
  {
    RegistryKey files(QString(kCommonKeySlash) + "Files");
    files.WriteString("File0", "a");
    files.WriteString("File1", "b");
    RegistryKey common(kCommonKey);
    common.WriteString("Internal-Path", "/data");
  }
  {
    RegistryKey files(QString(kCommonKeySlash) + "Files");
    files.Clear();
    files.WriteString("File0", "c");
  }
  RegistryKey files(QString(kCommonKeySlash) + "Files");
  EXPECT_EQ(files.ValueNames(), QStringList{"File0"});
  EXPECT_EQ(files.ReadString("File0"), "c");
  EXPECT_EQ(RegistryKey(kCommonKey).ReadString("Internal-Path"), "/data");
}

TEST_F(RegistryStore, ChangesAreOnDiskAfterSyncForOtherPrograms) {
  VARNEL_POSIX_ONLY("reads the INI files; tests/windows reads the registry with reg.exe");
  RegistryKey files(QString(kCommonKeySlash) + "Files");
  files.WriteString("File0", "/data/1_1.idc");
  ASSERT_TRUE(files.Sync());
  QFile ini(Root() + "/config/Halvark Drovantek/Logger VTQ.ini");
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray text = ini.readAll();
  // The form other programs read: the sub key as a prefix inside the section of the key.
  EXPECT_TRUE(text.contains("[Common]\nFiles\\File0=/data/1_1.idc\n")) << text.toStdString();
}

}  // namespace
}  // namespace varnel
