#pragma once
#include <QString>

namespace varnel {

// The URL of the database beside the data files, [Database] Url= below the program's
// settings key, read by the window program and the collector alike (empty: no database).
// A value of its own: no value of the settings key changes with it.
QString ReadDatabaseUrlSetting();
void WriteDatabaseUrlSetting(const QString& url);

}  // namespace varnel
