#include "app/documents_folder.h"

#include <QStandardPaths>

#include "app/program_log.h"

namespace varnel {

QString DocumentsDataFolder() {
  // Qt asks the shell for the known Documents folder on Windows and reads user-dirs.dirs
  // on Linux, falling back to ~/Documents.
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? UserDataFolder() : documents + QStringLiteral("/Varnel");
}

}  // namespace varnel
