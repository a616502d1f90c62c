#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "device/device.h"
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
  virtual void StartJob(PostTarget& window, std::uint32_t kind, TDevice& device) = 0;
  // Ends every wait of a running job and closes the port; does not wait for the worker.
  virtual void StopLink() = 0;
  virtual void SetLinkModem(bool on) = 0;
  virtual void SetLinkEcho(bool on) = 0;
  virtual bool ModemMode() const = 0;

  // Starts the file worker that writes the read records of the device image as data files
  // into `dataFolder`; it reads the image only through `sync`.
  virtual void StartFileThread(PostTarget& window, SyncTarget& sync, int mode, TDevice& device,
                               const std::string& versionText,
                               const std::filesystem::path& dataFolder) = 0;
  // Asks a running file worker to stop at its next block boundary.
  virtual void StopFileThread() = 0;

  // True while a job's worker or a file worker has not ended.
  virtual bool Busy() const = 0;
  // Joins the workers that have ended (never blocks on a running one).
  virtual void ReapFinished() = 0;
};

}  // namespace varnel
