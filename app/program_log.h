#pragma once
#include <QString>
#include <functional>
#include <string_view>

// The program log: a plain text file in which every line starts with the date and time and a
// TAB. It is opened and closed for each line, so a viewer may read or empty it between two
// lines, and it is never created by a line: a deleted log stays deleted until the program or
// the viewer creates it again.
namespace varnel {

class ProgramLog {
 public:
  explicit ProgramLog(QString path = {}) : path_(std::move(path)) {}

  const QString& Path() const { return path_; }
  void SetPath(QString path) { path_ = std::move(path); }

  // Creates the file empty when it does not exist. False when it cannot be created.
  bool CreateIfMissing() const;

  // Appends the date and time (short date, long time), a TAB, the text and CR LF. CR LF pairs
  // inside the text continue on further lines without a stamp. The text is UTF-8 and is
  // written in the system's 8-bit encoding. False when the file cannot be opened (the line
  // is lost) or a write failed.
  bool AddToLogFile(std::string_view text) const;

  // The whole log as the viewer shows it: decoded from the same 8-bit encoding the lines are
  // written in, line ends and TABs unchanged. Empty when the file is missing or unreadable
  // (`ok`, when given, tells which).
  QString ReadAll(bool* ok = nullptr) const;
  // Empties the log: the file is created again with length zero. False when it could not be.
  bool Reset() const;

 private:
  QString path_;
};

// Where the log of the program at `programPath` goes: beside the program, the program's file
// name with its extension replaced by ".LOG". When the program's folder is not writable or
// the program is installed, the
// same name in the per-user data folder ($XDG_DATA_HOME/varnel, else ~/.local/share/varnel;
// on Windows the local application data folder), which is created when needed.
// `writable` tells whether a folder can be written to (the default asks the system).
QString DefaultLogFilePath(const QString& programPath,
                           const std::function<bool(const QString&)>& writable = {});

// True for an existing folder that this program may create files in, found out by making
// and removing a probe file: on Windows the folder's attributes say nothing of its access
// list, so C:\Program Files would pass for writable.
bool FolderWritable(const QString& folder);

// True when `programFolder` is the program folder of an installed copy (the install puts a
// mark in its data folder, ../share/varnel/installed from the programs). An installed
// program keeps nothing beside itself, even where it could write (root may write to
// /usr/bin): its log and its default data folder are the per-user data folder.
bool InstalledProgramFolder(const QString& programFolder);

// The per-user data folder of the program.
QString UserDataFolder();

}  // namespace varnel
