// The file worker of a call: started once its records are read, and its end, which says what
// it wrote and hands the new files to the after-contact services.
#include "app/contact_tracker.h"
#include "app/file_services.h"
#include "app/main_logic.h"
#include "common/settings.h"
#include "app/worker_event_pump.h"
#include "files/native_path.h"
#include "lang/text_ids.h"
#include "varnel_version.h"
#include "workers/worker_messages.h"

namespace varnel {

void MainLogic::StartFileThread(bool partial) {
  // The worker takes its own copy of the records now and lists its files in its own
  // report, so its end -- however late -- speaks only of this call.
  FDevice->ClearFiles();
  FileRun run;
  run.Report = std::make_shared<FilesReport>(++lastRun_);
  run.Report->Committed = [gate = commitGate_](const std::filesystem::path& file) {
    std::lock_guard<std::mutex> lock(gate->Mutex);
    if (gate->Services) gate->Services->FileCommitted(PathToUtf8(file));
  };
  if (FDevice->ReadOnlyNewPages) run.Cache = PageCacheOf(*FDevice);
  if (tracker_) run.Contact = tracker_->Contact();
  run.Logger = loggerOnLine_;
  run.Partial = partial;
  const auto report = run.Report;
  fileRuns_.emplace(report->Run, std::move(run));
  Observe().FileWorkerStarted();
  env_.Link->StartFileThread(*pump_, 0, *FDevice, kFileVersionText, FolderForFiles(), report);
}

void MainLogic::WMFilesDone(std::int64_t flag, std::int64_t run) {
  FileRun done;
  if (const auto it = fileRuns_.find(run); it != fileRuns_.end()) {
    done = std::move(it->second);
    fileRuns_.erase(it);
  }
  // The device image's list shows this worker's files, for whatever reads it from here on.
  FDevice->ClearFiles();
  if (done.Report) {
    for (auto& name : done.Report->Files()) FDevice->AddFile(std::move(name));
  }
  // The files go to their own contact, also when the next call has begun meanwhile.
  if (tracker_) tracker_->FilesDone(done.Contact, flag, *FDevice, env_.Link->ModemMode());
  if (!env_.Link->ModemMode()) {
    SetButtonsAtRest();
    if (!FKeepPortOpen) env_.Link->LinkClose();
  }
  const int low = static_cast<int>(flag & 0xFF);
  const int count = FDevice->FileCount();
  if (IsFilesDoneResult(low)) {
    const std::string partial = done.Partial ? ", " + Text(kTextPartial) : std::string();
    CallEnded(count == 0 ? Text(kTextNoFileCreated)
                         : std::to_string(count) + " " + Text(kTextFilesWritten) + partial,
              done.Logger);
  }
  if (IsFilesDoneResult(low) && count == 0) {
    MemoAndLog(Text(kTextNoFileCreated), MemoTone::Warning);
  } else if (IsFilesDoneResult(low)) {
    for (int i = 0; i < count; ++i) {
      const std::string line =
          Text(kTextFile) + " " + PathToUtf8(FDevice->FileName(i)->Name.filename()) + " " +
          Text(kTextCreated);
      Memo(line);
      AddToLogFile(i == count - 1 ? line + "\r\n" : line);
    }
    // The call broke off during the last record: its file is all there is of it.
    if (done.Partial) MemoAndLog(Text(kTextReadoutBrokenOff), MemoTone::Warning);
    // A worker that stopped or failed after some files: those files are complete and are
    // treated as any others; the line says that not every record got its file.
    if (low == kFilesIncomplete) {
      const std::string why = done.Report ? done.Report->Error() : std::string();
      MemoAndLog(Text(kTextFilesIncomplete) + (why.empty() ? std::string() : ": " + why),
                 MemoTone::Error);
    }
    FFileListKey = kFileListName;
    services_.FilesWritten(
        {*FDevice, low == kFilesComplete, done.Cache ? &*done.Cache : nullptr});
    view_.SetEnabled(Control::btnReadRec, true);
  }
  Observe().FilesDone(static_cast<int>(flag));
}

}  // namespace varnel
