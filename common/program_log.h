#pragma once
#include <QString>
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

}  // namespace varnel
