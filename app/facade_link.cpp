#include "app/facade_link.h"

#include <algorithm>

#include "link/link_state.h"
#include "workers/link_facade.h"

namespace varnel {

FacadeLink::FacadeLink() = default;

FacadeLink::~FacadeLink() {
  // A file worker's destructor asks it to stop and waits for it.
  fileThreads_.clear();
}

bool FacadeLink::LinkOpen(int portNumber, int timeoutMs) {
  return varnel::LinkOpen(static_cast<std::int16_t>(portNumber),
                          static_cast<std::int16_t>(timeoutMs));
}

bool FacadeLink::PortPresent(int portNumber) {
  return varnel::PortPresent(static_cast<std::int16_t>(portNumber));
}

void FacadeLink::LinkClose() { varnel::LinkClose(); }

void FacadeLink::StartJob(PostTarget& window, JobKind kind, TDevice& device) {
  varnel::StartJob(window, kind, device);
}

void FacadeLink::StopLink() { varnel::StopLink(); }

void FacadeLink::SetLinkModem(bool on) { varnel::SetLinkModem(on); }

void FacadeLink::SetLinkEcho(bool on) { varnel::SetLinkEcho(on); }

bool FacadeLink::ModemMode() const { return varnel::ModemMode(); }

void FacadeLink::StartFileThread(PostTarget& window, int mode, TDevice& device,
                                 const std::string& versionText,
                                 const std::filesystem::path& dataFolder,
                                 std::shared_ptr<FilesReport> report) {
  ReapFinished();
  fileThreads_.push_back(std::make_unique<TFileThread>(
      window, static_cast<std::uint8_t>(mode), device, versionText, dataFolder, std::move(report)));
}

void FacadeLink::StopFileThread() {
  for (auto& t : fileThreads_) t->Terminate();
}

void FacadeLink::AbandonFileThreads() {
  // Kept for the rest of the process: a thread that never ends still runs on its object.
  static auto* abandoned = new std::vector<std::unique_ptr<TFileThread>>;
  for (auto& t : fileThreads_) {
    if (t->Finished()) continue;
    t->Abandon();
    abandoned->push_back(std::move(t));
  }
  fileThreads_.clear();
}

bool FacadeLink::Busy() const {
  if (WorkerRunning()) return true;
  return std::any_of(fileThreads_.begin(), fileThreads_.end(),
                     [](const auto& t) { return !t->Finished(); });
}

void FacadeLink::ReapFinished() {
  WaitForWorker(0);  // joins the job threads that have ended
  fileThreads_.erase(std::remove_if(fileThreads_.begin(), fileThreads_.end(),
                                    [](const auto& t) { return t->Finished(); }),
                     fileThreads_.end());
}

}  // namespace varnel
