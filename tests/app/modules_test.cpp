// Post-processing modules: which are listed, which are chosen again, the file list and the
// starts on new files.
#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <unistd.h>
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>

#include "app/modules.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "logic_fixture.h"

namespace varnel {
namespace {

class Modules : public test::TempStore {
 protected:
  QString Program(const QString& name) {
    const QString path = Root() + "/" + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    return path;
  }
  void Register(const QString& key, const QString* path, const QString* description,
                bool oneFile = false) {
    RegistryKey k(QString(kModulesKey) + "\\" + key);
    if (path) k.WriteString("Path", *path);
    if (description) k.WriteString("Description", *description);
    k.WriteFlag("OnlyOneFile", oneFile);
    k.WriteFlag("bWait", true);
    k.WriteString("Condition", "always");
  }
  void Choose(const QStringList& names) {
    RegistryKey exec(kExecutableKey);
    for (int i = 0; i < names.size(); ++i) exec.WriteString("Exec" + QString::number(i), names[i]);
  }
  static std::vector<std::string> Names(const TModuleRefList& list) {
    std::vector<std::string> n;
    for (int i = 0; i < list.Count(); ++i) n.push_back(list.Item(i)->Description);
    return n;
  }
};

TEST_F(Modules, AModuleWhoseProgramIsMissingIsLeftOutAndTheNextKeepsItsPlace) {
  const QString a = Program("a"), c = Program("c");
  const QString missing = Root() + "/nothing-here";
  const QString da = "A", db = "B", dc = "C";
  Register("1", &a, &da);
  Register("2", &missing, &db);
  Register("3", &c, &dc);
  ModuleSet set;
  LoadModules(set);
  EXPECT_EQ(Names(set.Available), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(set.Available.Item(1)->Path, c.toStdString());
}

TEST_F(Modules, DisplayNameIsDescriptionElsePathElseTheKeyName) {
  const QString p = Program("tool");
  Register("k1", &p, nullptr);
  Register("k2", nullptr, nullptr);
  ModuleSet set;
  LoadModules(set);
  ASSERT_EQ(set.Available.Count(), 2);
  EXPECT_EQ(set.Available.Item(0)->Description, p.toStdString());
  EXPECT_EQ(set.Available.Item(1)->Description, "k2");
  EXPECT_EQ(set.Available.Item(1)->Path, "");
  EXPECT_FALSE(set.Available.Item(0)->bWait);  // never waited for
  EXPECT_EQ(set.Available.Item(0)->Condition, "always");
}

TEST_F(Modules, ChosenNamesAreReadInPositionOrderNotTextOrder) {
  const QString p = Program("p");
  QStringList names;
  for (int i = 0; i < 12; ++i) {
    const QString d = "M" + QString::number(i);
    Register(d, &p, &d);
    names << d;
  }
  std::reverse(names.begin(), names.end());
  Choose(names);  // Exec0 = M11 ... Exec11 = M0
  ModuleSet set;
  LoadModules(set);
  std::vector<std::string> expected;
  for (const QString& n : names) expected.push_back(n.toStdString());
  EXPECT_EQ(Names(set.Chosen), expected);
  EXPECT_EQ(OrderedExecValueNames({"Exec10", "Exec9", "Other", "Exec1"}),
            (QStringList{"Exec1", "Exec9", "Exec10", "Other"}));
}

TEST_F(Modules, OneStoredNameChoosesEveryModuleOfThatNameAndUnknownNamesAreDropped) {
  const QString p = Program("p");
  const QString same = "Same";
  Register("x", &p, &same);
  Register("y", &p, &same);
  Choose({"Same", "Gone"});
  ModuleSet set;
  LoadModules(set);
  ASSERT_EQ(set.Chosen.Count(), 2);
  EXPECT_EQ(set.Chosen.Item(0), set.Available.Item(0));
  EXPECT_EQ(set.Chosen.Item(1), set.Available.Item(1));
}

TEST_F(Modules, StoringReplacesTheWholeChosenList) {
  Choose({"a", "b", "c"});
  TModule m("only");
  TExecuteModuleList chosen;
  chosen.Add(&m);
  WriteChosenModules(chosen);
  RegistryKey exec(kExecutableKey);
  EXPECT_EQ(exec.ValueNames(), QStringList{"Exec0"});
  EXPECT_EQ(exec.ReadString("Exec0"), "only");
}

TEST_F(Modules, TheFileListHoldsExactlyTheNewFiles) {
  RegistryKey old(QString(kCommonKeySlash) + "Files");
  for (int i = 0; i < 5; ++i) old.WriteString("File" + QString::number(i), "old");
  old.Sync();
  TDevice d;
  d.AddFile("/data/4711/A_01.idc");
  d.AddFile("/data/4711/A_02.idc");
  WriteFileList(d);
  RegistryKey files(QString(kCommonKeySlash) + "Files");
  QStringList values = files.ValueNames();
  values.sort();
  EXPECT_EQ(values, (QStringList{"File0", "File1"}));
  // With the system's separators, as the device line's other programs read the list.
  EXPECT_EQ(files.ReadString("File1"), QDir::toNativeSeparators("/data/4711/A_02.idc"));
}

TEST_F(Modules, OneFileModulesStartPerFileThenOthersOnceWithFiles) {
  TModule a("A"), b("B");
  a.Path = "/opt/conv a";  // a blank in the path needs no quoting
  a.OnlyOneFile = true;
  b.Path = "/opt/send";
  TExecuteModuleList chosen;
  chosen.Add(&a);
  chosen.Add(&b);
  chosen.Add(&b);
  TDevice d;
  for (const char* f : {"/d/1.idc", "/d/2 x.idc", "/d/3.idc"}) d.AddFile(f);
  test::RecordingLauncher launcher;
  std::vector<int> pauses;
  const int started =
      RunModules(chosen, d, "Files", launcher, [&](int ms) { pauses.push_back(ms); });
  EXPECT_EQ(started, 5);
  ASSERT_EQ(launcher.starts.size(), 5u);
  EXPECT_EQ(launcher.starts[0].program, "/opt/conv a");
  const auto native = [](const char* p) { return QStringList{QDir::toNativeSeparators(p)}; };
  EXPECT_EQ(launcher.starts[0].arguments, native("/d/1.idc"));
  EXPECT_EQ(launcher.starts[1].arguments, native("/d/2 x.idc"));
  EXPECT_EQ(launcher.starts[2].arguments, native("/d/3.idc"));
  EXPECT_EQ(launcher.starts[3].program, "/opt/send");
  EXPECT_EQ(launcher.starts[3].arguments, QStringList{"Files"});
  EXPECT_EQ(launcher.starts[4].arguments, QStringList{"Files"});
  EXPECT_EQ(pauses, std::vector<int>(5, 200));
}

TEST_F(Modules, AModuleThatCannotStartIsSkippedWithoutAPause) {
  TModule broken("broken"), ok("ok");
  ok.Path = "/bin/true";
  TExecuteModuleList chosen;
  chosen.Add(&broken);
  chosen.Add(&ok);
  TDevice d;
  test::RecordingLauncher launcher;
  std::vector<int> pauses;
  EXPECT_EQ(RunModules(chosen, d, "Files", launcher, [&](int ms) { pauses.push_back(ms); }), 1);
  EXPECT_EQ(pauses.size(), 1u);
}

TEST_F(Modules, TheRealLauncherStartsAProgramWithABlankInItsPath) {
  VARNEL_POSIX_ONLY("shell scripts as modules; tests/windows runs idc2csv.exe as one");
  const QString script = Root() + "/my module.sh";
  const QString out = Root() + "/args out.txt";
  QFile f(script);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out + "'\n").toUtf8());
  f.close();
  f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  DetachedProcessLauncher launcher;
  ASSERT_TRUE(launcher.StartDetached(script, {"/d/a b.idc"}));
  for (int i = 0; i < 200 && !QFile::exists(out); ++i) QThread::msleep(10);
  QThread::msleep(50);
  QFile result(out);
  ASSERT_TRUE(result.open(QIODevice::ReadOnly));
  EXPECT_EQ(result.readAll(), "/d/a b.idc\n");
  EXPECT_FALSE(launcher.StartDetached(Root() + "/missing", {"x"}));
  EXPECT_FALSE(launcher.StartDetached("", {"x"}));
}

TEST_F(Modules, AStartedModuleInheritsNoOpenFileNorStandardStreamOfTheCollector) {
  VARNEL_POSIX_ONLY("shell scripts as modules; tests/windows runs idc2csv.exe as one");
  // An open file of ours (the serial port, say) on a number the module would otherwise see.
  const int ours = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(ours, 0);
  ASSERT_EQ(::dup2(ours, 77), 77);
  const QString out = Root() + "/fds.txt";
  const QString script = Root() + "/fds.sh";
  QFile f(script);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  // The standard streams are read before any redirection of the shell's own.
  f.write(("#!/bin/sh\nstd=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\nls /proc/$$/fd > '" +
           out + ".tmp'; echo \"$std\" >> '" + out + ".tmp'; mv '" + out + ".tmp' '" + out + "'\n")
              .toUtf8());
  f.close();
  f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  DetachedProcessLauncher launcher;
  ASSERT_TRUE(launcher.StartDetached(script, {}));
  ::close(77);
  ::close(ours);
  for (int i = 0; i < 300 && !QFile::exists(out); ++i) QThread::msleep(10);
  QFile result(out);
  ASSERT_TRUE(result.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(result.readAll()).split('\n', Qt::SkipEmptyParts);
  EXPECT_FALSE(lines.contains("77")) << lines.join(" ").toStdString();
  // Standard input, output and error: nothing a module prints reaches our output.
  EXPECT_EQ(lines.count("/dev/null"), 3) << lines.join(" ").toStdString();
}

TEST_F(Modules, AProgramNameWithoutAFolderIsLookedUpOnThePath) {
  VARNEL_POSIX_ONLY("shell scripts as modules; tests/windows runs idc2csv.exe as one");
  DetachedProcessLauncher launcher;
  EXPECT_TRUE(launcher.StartDetached("true", {}));
  EXPECT_FALSE(launcher.StartDetached("no-such-program-anywhere", {}));
}

}  // namespace
}  // namespace varnel
