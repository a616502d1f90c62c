#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "device/device.h"
#include "workers/file_thread.h"
#include "workers/job_kind.h"
#include "workers/post_target.h"

// The window logic's door to the serial link and the workers. The program uses the link
// facade and the worker threads; tests put a recorder in their place to drive the logic
// with posted messages alone.
namespace varnel {

class LinkControl {
 public:
  virtual ~LinkControl() = default;

  // Opens COM portNumber at 9600 baud with the reply timeout; true on success.
  virtual bool LinkOpen(int portNumber, int timeoutMs) = 0;
  // True when COM portNumber could be opened now; tried without any pause, so that waiting
  // for a modem that has gone costs nothing per look.
  virtual bool PortPresent(int portNumber) = 0;
  // Pauses 500 ms and closes the port.
  virtual void LinkClose() = 0;
  // Starts the worker of job `kind` on the device image; it reports to `window`. The
  // previous job's worker has ended (the logic starts a job only on the previous one's end),
  // or is joined first.
  virtual void StartJob(PostTarget& window, JobKind kind, TDevice& device) = 0;
  // Ends every wait of a running job and closes the port; does not wait for the worker.
  virtual void StopLink() = 0;
  virtual void SetLinkModem(bool on) = 0;
  virtual void SetLinkEcho(bool on) = 0;
  virtual bool ModemMode() const = 0;

  // Starts the file worker that writes the read records of the device image as data files
  // into `dataFolder`. It copies what it needs from the image at once; it reports to
  // `window` and lists the files it completed in `report`.
  virtual void StartFileThread(PostTarget& window, int mode, TDevice& device,
                               const std::string& versionText,
                               const std::filesystem::path& dataFolder,
                               std::shared_ptr<FilesReport> report) = 0;
  // Asks the running file workers to stop at their next block boundary.
  virtual void StopFileThread() = 0;
  // Gives up the file workers that have not ended (see TFileThread::Abandon): from now on
  // they post nothing and count as ended.
  virtual void AbandonFileThreads() = 0;

  // True while a job's worker or a file worker has not ended.
  virtual bool Busy() const = 0;
  // Joins the workers that have ended (never blocks on a running one).
  virtual void ReapFinished() = 0;
};

}  // namespace varnel
