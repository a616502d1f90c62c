// Options registered for a logger: loading them into the device image, and their reset
// after a readout.
#include <QDate>
#include <QFile>
#include <gtest/gtest.h>

#include "app/registered_device_store.h"
#include "app/registered_devices.h"
#include "common/locale_text.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "device/pressure_units.h"
#include "files/cfx_writer.h"
#include "logic_fixture.h"

namespace varnel {
namespace {

class RegisteredDevices : public test::TempStore {
 protected:
  RegistryKey Device(const QString& serial) {
    return RegistryKey(QString(kRegisteredDevicesKey) + "\\" + serial);
  }
  void Fresh() { ResetReadOptions(d, QDate(2024, 7, 15)); }
  TDevice d;
};

TEST_F(RegisteredDevices, DefaultsBeforeEachReadingComeFromTheDate) {
  d.OptionsReady = true;
  d.KnownDevice = true;
  d.WriteConfig = d.ConfigFileOk = d.WLConfig = d.NewID = d.NewComment = d.OffsetCorr = true;
  d.P1OffsetBar = 3;
  d.P1Val = 7;
  d.Cfx.NewIdText = "keep";
  d.ConfigFile = "/kept.cfx";
  Fresh();
  EXPECT_FALSE(d.OptionsReady);
  EXPECT_FALSE(d.KnownDevice);
  EXPECT_TRUE(d.ReadActualRec);
  EXPECT_EQ(d.ReadFromMonth, 6);
  EXPECT_EQ(d.ReadFromYear, 2024);
  EXPECT_TRUE(d.SynchTime);
  EXPECT_FALSE(d.OffsetCorr || d.WriteConfig || d.ConfigFileOk || d.WLConfig || d.WriteText ||
               d.NewID || d.NewComment);
  EXPECT_EQ(d.P1OffsetBar, 0.0f);
  EXPECT_EQ(d.P1Val, 7.0f);  // as entered: unchanged
  EXPECT_EQ(d.Cfx.NewIdText, "keep");
  EXPECT_EQ(d.ConfigFile, "/kept.cfx");
}

TEST_F(RegisteredDevices, AnUnregisteredSerialLeavesTheDefaults) {
  Device("4711").WriteFlag("ReadActualRec", false);
  Fresh();
  EXPECT_FALSE(LoadDeviceOptions("471", d));
  EXPECT_FALSE(LoadDeviceOptions("04711", d));
  EXPECT_TRUE(d.ReadActualRec);
  EXPECT_FALSE(d.Registered);
}

TEST_F(RegisteredDevices, ReadFromMonthIsStoredFromZeroAndYearAsIs) {
  {
    auto k = Device("4711");
    k.WriteFlag("ReadActualRec", false);
    k.WriteInt("ReadFromMonth", 0);
    k.WriteInt("ReadFromYear", 2005);
    k.WriteFlag("SynchTime", false);
  }
  Fresh();
  ASSERT_TRUE(LoadDeviceOptions("4711", d));
  EXPECT_TRUE(d.Registered);
  EXPECT_FALSE(d.ReadActualRec);
  EXPECT_EQ(d.ReadFromMonth, 1);
  EXPECT_EQ(d.ReadFromYear, 2005);
  EXPECT_FALSE(d.SynchTime);
}

TEST_F(RegisteredDevices, OffsetsAreConvertedToBarWithTheUnitFactor) {
  {
    auto k = Device("1");
    k.WriteFlag("OffsetCorr", true);
    k.WriteInt("PUnit", 0x100 | 1);  // only the low byte counts
    k.WriteString("CustomUnit", "mbar");
    k.WriteString("P1Val", FixedText(25.0, 7, 6));
    k.WriteString("P2Val", FixedText(-5.5, 7, 6));
  }
  Fresh();
  ASSERT_TRUE(LoadDeviceOptions("1", d));
  EXPECT_TRUE(d.OffsetCorr);
  EXPECT_EQ(d.CustomUnit, "mbar");
  EXPECT_FLOAT_EQ(d.P1Val, 25.0f);
  EXPECT_FLOAT_EQ(d.P2Val, -5.5f);
  EXPECT_FLOAT_EQ(d.P1OffsetBar, 25.0f / UnitFactor(1));
  EXPECT_FLOAT_EQ(d.P2OffsetBar, -5.5f / UnitFactor(1));
}

TEST_F(RegisteredDevices, WithoutAUnitTheOffsetIsTakenAsBar) {
  {
    auto k = Device("1");
    k.WriteFlag("OffsetCorr", true);
    k.WriteString("P1Val", "0.25");
  }
  Fresh();
  ASSERT_TRUE(LoadDeviceOptions("1", d));
  EXPECT_FLOAT_EQ(d.P1OffsetBar, 0.25f);
}

TEST_F(RegisteredDevices, AUnitWithoutOffsetCorrectionHasNoEffect) {
  {
    auto k = Device("1");
    k.WriteInt("PUnit", 3);
    k.WriteString("P1Val", "2");
    k.WriteString("CustomUnit", "psi");
  }
  Fresh();
  d.CustomUnit = "bar";
  ASSERT_TRUE(LoadDeviceOptions("1", d));
  EXPECT_FALSE(d.OffsetCorr);
  EXPECT_EQ(d.P1OffsetBar, 0.0f);
  EXPECT_EQ(d.CustomUnit, "bar");
}

TEST_F(RegisteredDevices, AnOffsetThatIsNotANumberGivesNoCorrectionForItsChannel) {
  {
    auto k = Device("1");
    k.WriteFlag("OffsetCorr", true);
    k.WriteString("P1Val", "12,5,3");
    k.WriteString("P2Val", "1.5");
  }
  Fresh();
  d.P1Val = 9;
  ASSERT_TRUE(LoadDeviceOptions("1", d));
  EXPECT_EQ(d.P1OffsetBar, 0.0f);
  EXPECT_EQ(d.P1Val, 9.0f);
  EXPECT_FLOAT_EQ(d.P2OffsetBar, 1.5f);
}

TEST_F(RegisteredDevices, StoredValuesTheImageCannotHoldAreRefusedAndNamed) {
  {
    auto k = Device("1");
    k.WriteInt("ReadFromMonth", 2147483647);  // + 1 must not overflow
    k.WriteInt("ReadFromYear", 70000);
    k.WriteFlag("OffsetCorr", true);
    k.WriteString("P1Val", "1e39");  // beyond a float: the logger would get infinity
    k.WriteString("P2Val", "1.5");
  }
  Fresh();
  DeviceOptionNotes notes;
  ASSERT_TRUE(LoadDeviceOptions("1", d, &notes));
  EXPECT_EQ(d.ReadFromMonth, 6);  // the defaults of 2024-07-15 stand
  EXPECT_EQ(d.ReadFromYear, 2024);
  EXPECT_EQ(d.P1OffsetBar, 0.0f);
  EXPECT_FLOAT_EQ(d.P2OffsetBar, 1.5f);
  EXPECT_EQ(notes.Refused, (std::vector<std::string>{"ReadFromMonth=2147483647",
                                                     "ReadFromYear=70000", "P1Val=1e39"}));

  // A serial number with a key separator would become nested keys: refused, nothing made.
  RegisteredDeviceStore store;
  EXPECT_FALSE(store.Write("12/34", DeviceValues{}));
  EXPECT_FALSE(store.Write("12\\34", DeviceValues{}));
  EXPECT_EQ(store.List(), QStringList{"1"});
}

TEST_F(RegisteredDevices, TextsCountOnlyUnderWriteConfigAndTheIdIsCutTo64) {
  {
    auto k = Device("1");
    k.WriteFlag("WriteText", true);
    k.WriteFlag("NewID", true);
    k.WriteString("ID", "not taken");
  }
  Fresh();
  ASSERT_TRUE(LoadDeviceOptions("1", d));
  EXPECT_FALSE(d.WriteText);
  EXPECT_FALSE(d.NewID);
  EXPECT_TRUE(d.Cfx.NewIdText.empty());

  const QString longId = QString(70, 'x') ;
  {
    auto k = Device("1");
    k.WriteFlag("WriteConfig", true);
    k.WriteString("ID", longId);
    k.WriteFlag("NewComment", true);
    k.WriteString("Comment", QString::fromUtf8("Line 1\r\nGr\xC3\xBC\xC3\x9F"));
  }
  Fresh();
  ASSERT_TRUE(LoadDeviceOptions("1", d));
  EXPECT_TRUE(d.WriteConfig);
  EXPECT_FALSE(d.ConfigFileOk);  // no file named
  EXPECT_TRUE(d.NewID);
  EXPECT_EQ(d.Cfx.NewIdText, std::string(64, 'x'));
  EXPECT_TRUE(d.NewComment);
  EXPECT_EQ(d.Cfx.NewCommentText, "Line 1\r\nGr\xFC\xDF");  // one byte per character
}

TEST_F(RegisteredDevices, AnAcceptedConfigurationFileIsReadInFull) {
  const QString cfx = Root() + "/wl.cfx";
  CfxContent c;
  c.Address = 7;
  c.NewCfg8 = 0x1234;
  c.NewIdText = "From file";
  WriteConfigFile(cfx.toStdString(), c, {"writer_wl", " 2.17"});
  {
    auto k = Device("1");
    k.WriteFlag("WriteConfig", true);
    k.WriteString("ConfigFile", cfx);
  }
  Fresh();
  d.Address = 251;
  ASSERT_TRUE(LoadDeviceOptions("1", d));
  EXPECT_TRUE(d.ConfigFileOk);
  EXPECT_TRUE(d.WLConfig);
  EXPECT_EQ(d.ConfigFile, cfx.toStdString());
  EXPECT_EQ(d.Cfx.NewCfg8, 0x1234);
  EXPECT_EQ(d.Cfx.NewIdText, "From file");
  EXPECT_EQ(d.Address, 7);  // the file's bus address
}

TEST_F(RegisteredDevices, ABrokenConfigurationFileLeavesTheImageUntouched) {
  const QString cfx = Root() + "/cut.cfx";
  CfxContent c;
  c.Address = 9;
  std::vector<std::uint8_t> bytes = BuildConfigData(c);
  bytes.resize(bytes.size() - 10);  // ends inside the values
  QFile f(cfx);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  f.close();
  {
    auto k = Device("1");
    k.WriteFlag("WriteConfig", true);
    k.WriteString("ConfigFile", cfx);
  }
  Fresh();
  d.Address = 251;
  ASSERT_TRUE(LoadDeviceOptions("1", d));
  EXPECT_FALSE(d.ConfigFileOk);
  EXPECT_EQ(d.Address, 251);
  EXPECT_TRUE(d.ConfigFile.empty());
}

TEST_F(RegisteredDevices, ResetWritesTheOneShotDefaultsAndTheContactButKeepsUnitAndDescription) {
  {
    auto k = Device("4711");
    k.WriteString("Description", "Well 3");
    k.WriteFlag("ReadActualRec", false);
    k.WriteFlag("OffsetCorr", true);
    k.WriteString("CustomUnit", "kPa");
    k.WriteInt("PUnit", 4);
    k.WriteFlag("NewID", true);
    k.WriteString("ID", "X");
  }
  ASSERT_TRUE(ResetDeviceOptions("4711", QDate(2024, 1, 20), "stamp"));
  EXPECT_FALSE(ResetDeviceOptions("4712", QDate(2024, 1, 20), "stamp"));
  auto k = Device("4711");
  EXPECT_EQ(k.ReadString("Description", "?"), "Well 3");
  EXPECT_TRUE(k.ReadFlag("ReadActualRec", false));
  EXPECT_EQ(k.ReadInt("ReadFromMonth", -1), 0);
  EXPECT_EQ(k.ReadInt("ReadFromYear", -1), 2024);
  EXPECT_TRUE(k.ReadFlag("SynchTime", false));
  EXPECT_FALSE(k.ReadFlag("OffsetCorr", true));
  EXPECT_EQ(k.ReadString("P1Val"), FixedText(0, 7, 6));
  EXPECT_EQ(k.ReadString("P1Val").size(), 8);  // 0 and six decimals
  EXPECT_EQ(k.ReadInt("PUnit", -1), 0);
  EXPECT_FALSE(k.ReadFlag("WriteConfig", true));
  EXPECT_EQ(k.ReadString("ConfigFile", "?"), "");
  EXPECT_FALSE(k.ReadFlag("WriteText", true));
  EXPECT_FALSE(k.ReadFlag("WLConfig", true));
  EXPECT_FALSE(k.ReadFlag("NewID", true));
  EXPECT_EQ(k.ReadString("ID", "?"), "");
  EXPECT_FALSE(k.ReadFlag("NewComment", true));
  EXPECT_EQ(k.ReadString("Comment", "?"), "");
  EXPECT_EQ(k.ReadString("LastContact"), "stamp");
  EXPECT_EQ(k.ReadString("CustomUnit"), "kPa");
  EXPECT_FALSE(RegistryKey(QString(kRegisteredDevicesKey)).SubKeyNames().contains("4712"));
}

}  // namespace
}  // namespace varnel
