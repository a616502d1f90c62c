#include "modules/idc2csv/csv_export.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <exception>
#include <sstream>

#include "common/registry_store.h"
#include "common/settings.h"
#include "files/idc_reader.h"
#include "files/idc_text.h"
#include "files/native_path.h"

namespace varnel::idc2csv {

QString CsvPathFor(const QString& dataFile) {
  const QFileInfo info(dataFile);
  const QString name = info.fileName();
  const int dot = name.lastIndexOf(QLatin1Char('.'));
  const QString base = dot > 0 ? name.left(dot) : name;
  return info.path() + QLatin1Char('/') + base + QStringLiteral(".csv");
}

QString ConvertToCsv(const QString& dataFile) {
  IdcFile file;
  try {
    file = ReadIdcFile(PathFromUtf8(dataFile.toStdString()));
  } catch (const std::exception& e) {
    return QString::fromStdString(e.what());
  }
  std::ostringstream text;
  WriteIdcCsv(text, file);
  const std::string csv = text.str();
  QSaveFile out(CsvPathFor(dataFile));
  if (!out.open(QIODevice::WriteOnly)) return CsvPathFor(dataFile) + ": " + out.errorString();
  if (out.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
      !out.commit()) {
    return CsvPathFor(dataFile) + ": " + out.errorString();
  }
  return {};
}

QStringList FileListFromStore() {
  static const QRegularExpression kFile(QStringLiteral("^File(\\d{1,9})$"));
  const RegistryKey key(QString::fromLatin1(kCommonKeySlash) + QString::fromLatin1(kFileListName));
  std::vector<std::pair<int, QString>> numbered;
  for (const QString& name : key.ValueNames()) {
    const auto m = kFile.match(name);
    if (m.hasMatch()) numbered.emplace_back(m.captured(1).toInt(), key.ReadString(name));
  }
  std::sort(numbered.begin(), numbered.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  QStringList files;
  for (const auto& n : numbered) files << n.second;
  return files;
}

void RegisterModule(const QString& keyName, const QString& programPath,
                    const QString& description, bool oneFile) {
  RegistryKey key(QString::fromLatin1(kModulesKey) + QLatin1Char('\\') + keyName);
  key.WriteString(QStringLiteral("Path"), programPath);
  key.WriteString(QStringLiteral("Description"), description);
  key.WriteFlag(QStringLiteral("OnlyOneFile"), oneFile);
  key.WriteFlag(QStringLiteral("bWait"), false);
  key.WriteString(QStringLiteral("Condition"), QString());
  key.WriteFlag(QStringLiteral("AlwaysOK"), true);
  key.Sync();
}

}  // namespace varnel::idc2csv
