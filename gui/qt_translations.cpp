#include "gui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "lang/lang.h"

namespace varnel {

QString InstallQtTranslation(std::int16_t languageBase) {
  const char* code = languageBase == kGermanBase  ? "de"
                     : languageBase == kDutchBase ? "nl"
                                                  : nullptr;
  // Lives as long as the application: Qt asks it whenever a standard dialog is made.
  static QTranslator* translator = nullptr;
  if (translator) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
    translator = nullptr;
  }
  if (!code) return {};
  const QString name = QStringLiteral("qtbase_") + QLatin1String(code);
  const QString folders[] = {
      QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
      QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
  for (const QString& folder : folders) {
    auto* candidate = new QTranslator(QCoreApplication::instance());
    if (!candidate->load(name, folder)) {
      delete candidate;
      continue;
    }
    translator = candidate;
    QCoreApplication::installTranslator(translator);
    return translator->filePath();
  }
  return {};
}

}  // namespace varnel
