// The port menu: fixed and detected items, their order and the selection.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "app/port_menu.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "logic_fixture.h"

namespace varnel {
namespace {

TEST(PortMenu, DetectedNamesAreOrderedByTheirNumbers) {
  std::vector<std::string> names{"COM10", "COM2", "COM1"};
  SortPortNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM2", "COM10"}));
}

TEST(PortMenu, NamesWithoutDigitsCountAsZeroAndEqualValuesKeepTheirOrder) {
  std::vector<std::string> names{"COM3", "LPT", "X3", "PORT", "COM1"};
  SortPortNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"LPT", "PORT", "COM1", "COM3", "X3"}));
}

TEST(PortMenu, AHugeNumberDoesNotOverflow) {
  EXPECT_EQ(PortNameValue("COM99999999999999999999999"),
            std::numeric_limits<std::uint64_t>::max());
  std::vector<std::string> names{"COM99999999999999999999999", "COM5"};
  SortPortNames(names);
  EXPECT_EQ(names.front(), "COM5");
}

TEST(PortMenu, DetectedItemsGetTheAcceleratorBeforeTheFirstDigit) {
  const auto items = DetectedPortItems({"COM12", "ttyS"});
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Name, "COM12");
  EXPECT_EQ(items[0].Caption, "COM &12");
  EXPECT_EQ(items[0].Number, 12);
  EXPECT_EQ(items[1].Caption, "ttyS &");
  EXPECT_EQ(items[1].Number, 0);
}

TEST(PortMenu, SelectionFallsBackToTheFirstItemAndAnEmptyMenuSelectsNothing) {
  auto items = FixedPortItems(3);
  EXPECT_EQ(SelectPortItem(items, 2), 2);
  EXPECT_TRUE(items[1].Checked);
  EXPECT_EQ(SelectPortItem(items, 9), 1);
  EXPECT_TRUE(items[0].Checked);
  EXPECT_FALSE(items[1].Checked);
  std::vector<PortMenuItem> none;
  EXPECT_FALSE(SelectPortItem(none, 1).has_value());
}

class DetectedPorts : public test::LogicTest {};

TEST_F(DetectedPorts, TheLinksOfThePortsFolderAreListedAsComNumbers) {
  VARNEL_POSIX_ONLY("the ports folder maps COM numbers on POSIX; Windows names its ports");
  const QString ports = Root() + "/ports";
  QDir().mkpath(ports);
  qputenv("VARNEL_PORTS", ports.toLocal8Bit());
  for (const char* n : {"com12", "com3", "comX", "notes"}) {
    QFile::link("/dev/null", ports + "/" + n);
  }
  const auto names = SystemPortNames();
  qunsetenv("VARNEL_PORTS");
  EXPECT_NE(std::find(names.begin(), names.end(), "COM3"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "COM12"), names.end());
  for (const auto& n : names) EXPECT_EQ(n.rfind("COM", 0), 0u) << n;
}

TEST_F(DetectedPorts, AutoPortsBuildsTheMenuFromTheSystemSorted) {
  const QString ports = Root() + "/ports";
  QDir().mkpath(ports);
  qputenv("VARNEL_PORTS", ports.toLocal8Bit());
  for (const char* n : {"com9", "com2"}) QFile::link("/dev/null", ports + "/" + n);
  RegistryKey(kSettingsKey).WriteFlag("Auto-Ports", true);
  RegistryKey(kSettingsKey).WriteInt("Port", 9);
  Create();
  qunsetenv("VARNEL_PORTS");
  ASSERT_GE(view.ports.size(), 2u);
  for (std::size_t i = 1; i < view.ports.size(); ++i) {
    EXPECT_LT(view.ports[i - 1].Number, view.ports[i].Number);
  }
  EXPECT_EQ(logic->Port(), 9);
  const auto checked = std::find_if(view.ports.begin(), view.ports.end(),
                                    [](const PortMenuItem& p) { return p.Checked; });
  ASSERT_NE(checked, view.ports.end());
  EXPECT_EQ(checked->Name, "COM9");
}

}  // namespace
}  // namespace varnel
