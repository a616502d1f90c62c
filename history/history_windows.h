#pragma once
#include <QString>
#include <cstdint>

class QWidget;

// The two views as windows of their own beside the main window, for its menu items. Each
// opens non-modally, is freed when closed, and reads the history and the data folder as
// they stand when it opens.
namespace varnel {

class DataView;
class LoggersView;

// "Loggers": the table of the contact history at `historyPath` (empty: the default file; a
// database URL: the contacts of every collector writing into that database);
// a double-click on a row opens the Data window on that logger's newest file.
LoggersView* ShowLoggersWindow(QWidget* parent, const QString& dataFolder,
                               const QString& historyPath = {});
// "Data": the newest data file of `serial` (0: of any logger) below `dataFolder`.
DataView* ShowDataWindow(QWidget* parent, const QString& dataFolder, std::uint32_t serial = 0);

}  // namespace varnel
