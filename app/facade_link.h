#pragma once
#include <memory>
#include <vector>

#include "app/link_control.h"

namespace varnel {

// The real link: the link facade for the port and the jobs, and the file worker.
class FacadeLink : public LinkControl {
 public:
  FacadeLink();
  ~FacadeLink() override;

  bool LinkOpen(int portNumber, int timeoutMs) override;
  bool PortPresent(int portNumber) override;
  void LinkClose() override;
  void StartJob(PostTarget& window, JobKind kind, TDevice& device) override;
  void StopLink() override;
  void SetLinkModem(bool on) override;
  void SetLinkEcho(bool on) override;
  bool ModemMode() const override;
  void StartFileThread(PostTarget& window, int mode, TDevice& device,
                       const std::string& versionText, const std::filesystem::path& dataFolder,
                       std::shared_ptr<FilesReport> report) override;
  void StopFileThread() override;
  void AbandonFileThreads() override;
  bool Busy() const override;
  void ReapFinished() override;

 private:
  // The file workers not yet joined; the last one is the current.
  std::vector<std::unique_ptr<TFileThread>> fileThreads_;
};

}  // namespace varnel
