#pragma once
#include <QString>
#include <cstdint>

// Qt's own texts (the buttons of message boxes, the file and print dialogs) in the program's
// language, so that a German or Dutch operator does not meet English in the standard
// dialogs.
namespace varnel {

// Installs Qt's translation for the language block `languageBase` (kDutchBase, kGermanBase)
// into the running application, from "translations" beside the program (the Windows folder
// as deployed and installed), else from Qt's own translations folder (on Debian the package
// qt6-translations-l10n), in place of one installed before. English needs none. Returns the file loaded, empty when there was
// none to load or none was found.
QString InstallQtTranslation(std::int16_t languageBase);

}  // namespace varnel
