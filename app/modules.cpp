#include "app/modules.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "app/detached_process.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "files/native_path.h"

namespace varnel {

bool DetachedProcessLauncher::StartDetached(const QString& program, const QStringList& arguments) {
  std::vector<std::string> args;
  for (const QString& a : arguments) args.push_back(a.toStdString());
  return StartDetachedProcess(program.toStdString(), args);
}

void ModuleSet::Clear() {
  Available.Clear();
  Chosen.Clear();
  Owned.clear();
}

QStringList ModuleSet::AvailableNames() const {
  QStringList names;
  for (int i = 0; i < Available.Count(); ++i) {
    names << QString::fromStdString(Available.Item(i)->Description);
  }
  return names;
}

QStringList ModuleSet::ChosenNames() const {
  QStringList names;
  for (int i = 0; i < Chosen.Count(); ++i) {
    names << QString::fromStdString(Chosen.Item(i)->Description);
  }
  return names;
}

QStringList OrderedExecValueNames(const QStringList& valueNames) {
  static const QRegularExpression kExec(QStringLiteral("^Exec(\\d{1,9})$"));
  std::vector<std::pair<int, QString>> numbered;
  QStringList others;
  for (const QString& name : valueNames) {
    const auto m = kExec.match(name);
    if (m.hasMatch()) {
      numbered.emplace_back(m.captured(1).toInt(), name);
    } else {
      others << name;
    }
  }
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  others.sort();
  QStringList ordered;
  for (const auto& n : numbered) ordered << n.second;
  return ordered + others;
}

void LoadModules(ModuleSet& modules) {
  modules.Clear();
  const QString modulesKey = QString::fromLatin1(kModulesKey);
  const QStringList keyNames = RegistryKey(modulesKey).SubKeyNames();
  for (const QString& keyName : keyNames) {
    const RegistryKey key(modulesKey + QLatin1Char('\\') + keyName);
    auto module = std::make_unique<TModule>(keyName.toStdString());
    const bool hasPath = key.HasValue(QStringLiteral("Path"));
    const QString path = key.ReadString(QStringLiteral("Path"));
    if (hasPath) {
      if (!QFileInfo::exists(path)) continue;  // not listed while its program is missing
      module->Path = path.toStdString();
    }
    // Display name: the description, else the program path, else the key's own name.
    if (key.HasValue(QStringLiteral("Description"))) {
      module->Description = key.ReadString(QStringLiteral("Description")).toStdString();
    } else if (hasPath) {
      module->Description = path.toStdString();
    }
    module->Condition = key.ReadString(QStringLiteral("Condition")).toStdString();
    module->AlwaysOK = key.ReadFlag(QStringLiteral("AlwaysOK"), false);
    module->OnlyOneFile = key.ReadFlag(QStringLiteral("OnlyOneFile"), false);
    module->bWait = false;  // the program never waits for a module
    modules.Available.Add(module.get());
    modules.Owned.push_back(std::move(module));
  }

  const RegistryKey exec(QString::fromLatin1(kExecutableKey));
  for (const QString& valueName : OrderedExecValueNames(exec.ValueNames())) {
    const std::string wanted = exec.ReadString(valueName).toStdString();
    for (int i = 0; i < modules.Available.Count(); ++i) {
      if (modules.Available.Item(i)->Description == wanted) {
        modules.Chosen.Add(modules.Available.Item(i));
      }
    }
  }
}

void WriteChosenModules(const TExecuteModuleList& chosen) {
  RegistryKey exec(QString::fromLatin1(kExecutableKey));
  exec.Clear();
  for (int i = 0; i < chosen.Count(); ++i) {
    exec.WriteString(QStringLiteral("Exec") + QString::number(i),
                     QString::fromStdString(chosen.Item(i)->Description));
  }
  exec.Sync();
}

namespace {

// A data file's full path as modules and the device line's other programs take it: with the
// system's own separators (the data folder may have come with forward slashes on Windows).
QString FileArgument(const TDevice& device, int i) {
  return QDir::toNativeSeparators(QString::fromStdString(PathToUtf8(device.FileName(i)->Name)));
}

}  // namespace

void WriteFileList(const TDevice& device) {
  RegistryKey files(QString::fromLatin1(kCommonKeySlash) + QString::fromLatin1(kFileListName));
  files.Clear();
  for (int i = 0; i < device.FileCount(); ++i) {
    files.WriteString(QStringLiteral("File") + QString::number(i), FileArgument(device, i));
  }
  files.Sync();
}

int RunModules(const TExecuteModuleList& chosen, const TDevice& device, const QString& fileListKey,
               ModuleLauncher& launcher, const std::function<void(int)>& pause) {
  int started = 0;
  const auto start = [&](const TModule& module, const QString& argument) {
    if (launcher.StartDetached(QString::fromStdString(module.Path), QStringList{argument})) {
      ++started;
      if (pause) pause(200);
    }
  };
  for (int m = 0; m < chosen.Count(); ++m) {
    const TModule& module = *chosen.Item(m);
    if (module.OnlyOneFile) {
      for (int f = 0; f < device.FileCount(); ++f) {
        start(module, FileArgument(device, f));
      }
    } else {
      start(module, fileListKey);
    }
  }
  return started;
}

}  // namespace varnel
