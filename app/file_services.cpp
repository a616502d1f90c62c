// The data files' own steps after a contact: backups, page cache, file list, modules.
#include "app/file_services.h"

#include "common/locations.h"
#include "files/durable_file.h"
#include "files/idc_names.h"
#include "files/native_path.h"
#include "lang/text_ids.h"

namespace varnel {

void ContactServices::ContactOpened(const ContactFigures& contact) {
  for (ContactService* service : list_) service->ContactOpened(contact);
}

void ContactServices::FileCommitted(const std::string& path) {
  for (ContactService* service : list_) service->FileCommitted(path);
}

void ContactServices::FilesWritten(const CallFiles& files) {
  for (ContactService* service : list_) service->FilesWritten(files);
}

std::string ContactServices::ContactEnded(const ContactFigures& contact) {
  std::string reasons;
  for (ContactService* service : list_) {
    const std::string why = service->ContactEnded(contact);
    if (why.empty()) continue;
    if (!reasons.empty()) reasons += "; ";
    reasons += why;
  }
  return reasons;
}

void ContactServices::CollectingStarted() {
  for (ContactService* service : list_) service->CollectingStarted();
}

void BackupCopies::FilesWritten(const CallFiles& files) {
  if (!enabled_()) return;
  bool all = true;
  const TDevice& device = files.Device;
  for (int i = 0; i < device.FileCount(); ++i) {
    const std::filesystem::path& name = device.FileName(i)->Name;
    const std::filesystem::path backupName = BackupFileName(name);
    // An earlier copy is replaced only by a complete one.
    std::string error;
    if (!CopyReplacing(name, backupName, error)) {
      all = false;
      say_(text_(kTextBackupFailed) + " " + PathToUtf8(backupName.filename()), MemoTone::Error);
    }
  }
  if (all) say_(text_(kTextBackupsCreated), MemoTone::Plain);
}

std::filesystem::path PageCacheFileOf(std::uint32_t serialNumber) {
  return PageCacheFile(
      PathFromUtf8(PageCacheFolder().toStdString()),
      serialNumber);
}

void PageCacheKeeper::FilesWritten(const CallFiles& files) {
  if (files.Cache == nullptr) return;
  const PageCache& cache = *files.Cache;
  if (cache.Records.empty()) return;  // nothing complete was read: the old cache still holds
  std::string error;
  if (!WritePageCache(PageCacheFileOf(cache.SerialNumber), cache, error)) {
    say_(text_(kTextPageCacheNotWritten) + " " + error, MemoTone::Warning);
  }
}

void FileListWriter::FilesWritten(const CallFiles& files) { WriteFileList(files.Device); }

void ModuleStarter::FilesWritten(const CallFiles& files) {
  RunModules(chosen_, files.Device, fileListKey_(), launcher_, pause_);
}

}  // namespace varnel
