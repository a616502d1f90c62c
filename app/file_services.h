#pragma once
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/contact_figures.h"
#include "app/main_view.h"
#include "app/modules.h"

// The steps every contact's new data files go through, in this order: their backup copies,
// the page cache of the logger, the file list for other programs, the chosen modules. Each
// is one service of the window logic's list, ahead of the history and the database.
namespace varnel {

// Every service of the list, called in the order added.
class ContactServices : public ContactService {
 public:
  void Add(ContactService& service) { list_.push_back(&service); }
  void ContactOpened(const ContactFigures& contact) override;
  // The list is complete before the first worker starts, so this may run on any thread.
  void FileCommitted(const std::string& path) override;
  void FilesWritten(const CallFiles& files) override;
  // Every service is told; the reasons of those that could not keep it, joined.
  std::string ContactEnded(const ContactFigures& contact) override;
  void CollectingStarted() override;

 private:
  std::vector<ContactService*> list_;
};

// A line for the memo and the log, and the text of an id in the window's language.
using SayLine = std::function<void(const std::string& line, MemoTone tone)>;
using TextOf = std::function<std::string(int id)>;

// Copies each new file to its "_BAK" copy while the backup setting is on; says "created"
// only when every copy was made, and names each one that failed.
class BackupCopies : public ContactService {
 public:
  BackupCopies(std::function<bool()> enabled, SayLine say, TextOf text)
      : enabled_(std::move(enabled)), say_(std::move(say)), text_(std::move(text)) {}
  void FilesWritten(const CallFiles& files) override;

 private:
  std::function<bool()> enabled_;
  SayLine say_;
  TextOf text_;
};

// The page cache file of a logger, in the per-user data folder.
std::filesystem::path PageCacheFileOf(std::uint32_t serialNumber);

// Keeps the pages of the records read for the logger's option to read only new pages. A
// cache that cannot be written costs a full readout next time, never a file.
class PageCacheKeeper : public ContactService {
 public:
  PageCacheKeeper(SayLine say, TextOf text) : say_(std::move(say)), text_(std::move(text)) {}
  void FilesWritten(const CallFiles& files) override;

 private:
  SayLine say_;
  TextOf text_;
};

// Replaces the stored list of the last readout's files, which other programs read.
class FileListWriter : public ContactService {
 public:
  void FilesWritten(const CallFiles& files) override;
};

// Starts the chosen modules on the new files, without waiting for them.
class ModuleStarter : public ContactService {
 public:
  ModuleStarter(const TExecuteModuleList& chosen, std::function<QString()> fileListKey,
                ModuleLauncher& launcher, std::function<void(int)> pause)
      : chosen_(chosen),
        fileListKey_(std::move(fileListKey)),
        launcher_(launcher),
        pause_(std::move(pause)) {}
  void FilesWritten(const CallFiles& files) override;

 private:
  const TExecuteModuleList& chosen_;
  std::function<QString()> fileListKey_;
  ModuleLauncher& launcher_;
  std::function<void(int)> pause_;
};

}  // namespace varnel
