// The data folder checked at Start and before each call's files, and the fallback folder
// that takes the files when it cannot.
#include <QDir>
#include <string>
#include <system_error>

#include "app/contact_tracker.h"
#include "app/main_logic.h"
#include "common/locations.h"
#include "files/data_folder_state.h"
#include "files/native_path.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

int ReasonText(FolderState state) {
  switch (state) {
    case FolderState::Missing: return kTextFolderMissing;
    case FolderState::NotAFolder: return kTextNotAFolder;
    default: return kTextFolderNotWritable;
  }
}

// A folder as the operator reads it: with the platform's separators.
std::string Shown(const std::string& folder) {
  return QDir::toNativeSeparators(QString::fromStdString(folder)).toStdString();
}

}  // namespace

void MainLogic::CheckDataFolderAtStart() {
  if (!documentsDataFolder_.empty() && documentsDataFolder_ == FInternalPath) {
    QDir().mkpath(QString::fromStdString(FInternalPath));
    // A stored folder that is away says so below, naming it.
    if (replacedDataFolder_.empty()) {
      MemoAndLog(Text(kTextNoFolderSet) + " - " + Text(kTextFilesGoTo) + " " + Shown(FInternalPath));
    }
    documentsDataFolder_.clear();
  }
  if (!replacedDataFolder_.empty()) {
    const FolderState stored = DataFolderState(PathFromUtf8(replacedDataFolder_));
    if (stored != FolderState::Usable) {
      MemoAndLog(Text(kTextFolderUnusable) + " " + Shown(replacedDataFolder_) + " (" +
                 Text(ReasonText(stored)) + ") - " + Text(kTextFilesGoTo) + " " +
                     Shown(FInternalPath),
                 MemoTone::Warning);
    }
  }
  const FolderState state = DataFolderState(PathFromUtf8(FInternalPath));
  if (state == FolderState::Usable) return;
  MemoAndLog(Text(kTextFolderUnusable) + " " + Shown(FInternalPath) + " (" +
                 Text(ReasonText(state)) + ") - " + Text(kTextFilesGoTo) + " " +
                 Shown(FallbackDataFolder().toStdString()),
             MemoTone::Warning);
}

std::filesystem::path MainLogic::FolderForFiles() {
  const std::filesystem::path folder = PathFromUtf8(FInternalPath);
  std::filesystem::path checked = folder;
  FolderState state = DataFolderState(folder);
  if (state == FolderState::Usable) {
    // The logger's own folder below it may be what cannot take files.
    const std::filesystem::path own = folder / std::to_string(FDevice->SerialNumber);
    std::error_code ec;
    if (std::filesystem::symlink_status(own, ec).type() != std::filesystem::file_type::not_found) {
      checked = own;
      state = DataFolderState(own);
    }
  }
  if (state == FolderState::Usable) return folder;
  const QString fallback = FallbackDataFolder();
  QDir().mkpath(fallback);
  MemoAndLog(Text(kTextFolderUnusable) + " " + PathToUtf8(checked) + " (" +
             Text(ReasonText(state)) + ") - " + Text(kTextFilesGoTo) + " " +
             fallback.toStdString(),
             MemoTone::Warning);
  if (tracker_) tracker_->FilesInFallbackFolder();
  return PathFromUtf8(fallback.toStdString());
}

}  // namespace varnel
