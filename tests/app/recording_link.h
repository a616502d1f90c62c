#pragma once
#include <string>
#include <vector>

#include "app/link_control.h"
#include "files/native_path.h"

namespace varnel::test {

// Stands in for the link and the workers: records what the logic asked for and starts
// nothing, so a test drives the logic with the messages a worker would post.
class RecordingLink : public LinkControl {
 public:
  struct Job {
    std::uint32_t kind;
    bool optionsReady;
    std::uint8_t address;
    std::uint16_t replyTimeout;
  };
  struct Open {
    int port;
    int timeout;
  };

  bool LinkOpen(int portNumber, int timeoutMs) override {
    opens.push_back({portNumber, timeoutMs});
    return openSucceeds;
  }
  bool PortPresent(int portNumber) override {
    presenceChecks.push_back(portNumber);
    return portPresent;
  }
  void LinkClose() override { ++closes; }
  void StartJob(PostTarget& window, std::uint32_t kind, TDevice& device) override {
    target = &window;
    jobs.push_back({kind, device.OptionsReady.load(), device.Address, device.ReplyTimeout});
  }
  void StopLink() override { ++stops; }
  void SetLinkModem(bool on) override {
    modem = on;
    modemHistory.push_back(on);
  }
  void SetLinkEcho(bool on) override { echo = on; }
  bool ModemMode() const override { return modem; }
  void StartFileThread(PostTarget&, int mode, TDevice&, const std::string& version,
                       const std::filesystem::path& folder,
                       std::shared_ptr<FilesReport> report) override {
    fileThreads.push_back({mode, version, PathToUtf8(folder), std::move(report)});
  }
  void StopFileThread() override { ++fileStops; }
  void AbandonFileThreads() override { ++abandons; }
  bool Busy() const override { return false; }
  void ReapFinished() override {}

  struct FileThread {
    int mode;
    std::string version;
    std::string folder;
    std::shared_ptr<FilesReport> report;  // the test lists the worker's files in it
  };

  bool openSucceeds = true;
  bool portPresent = true;
  std::vector<int> presenceChecks;
  bool modem = false;
  bool echo = false;
  std::vector<bool> modemHistory;
  std::vector<Open> opens;
  std::vector<Job> jobs;
  std::vector<FileThread> fileThreads;
  int closes = 0, stops = 0, fileStops = 0, abandons = 0;
  PostTarget* target = nullptr;
};

}  // namespace varnel::test
