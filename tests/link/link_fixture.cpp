#include "link_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "link/link_state.h"

namespace varnel::testing {

namespace {

class PortsFolderEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnel-ports-XXXXXX").string();
    if (::mkdtemp(pattern.data())) {
      folder_ = pattern;
      ::setenv("VARNEL_PORTS", folder_.c_str(), 1);
    }
  }
  void TearDown() override {
    ResetLink();
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
  }
  const std::string& Folder() const { return folder_; }

private:
  std::string folder_;
};

PortsFolderEnvironment* const environment = static_cast<PortsFolderEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new PortsFolderEnvironment));

}  // namespace

std::string TestPortsFolder() { return environment->Folder(); }

void PublishPort(int portNumber, const std::string& target) {
  const auto link = std::filesystem::path(TestPortsFolder()) / ("com" + std::to_string(portNumber));
  std::error_code ec;
  std::filesystem::remove(link, ec);
  std::filesystem::create_symlink(target, link);
}

void UnpublishPort(int portNumber) {
  const auto link = std::filesystem::path(TestPortsFolder()) / ("com" + std::to_string(portNumber));
  std::error_code ec;
  std::filesystem::remove(link, ec);
}

void ResetLink() {
  PortClose();
  SetModemMode(false);
  SetEchoMode(false);
  SetRetryMode(false);
  ClearCancel();
}

std::unique_ptr<PtyPeer> SharedPortTest::peer_;
std::int16_t SharedPortTest::timeoutMs_ = 0;

void SharedPortTest::OpenShared(std::int16_t timeoutMs) {
  ResetLink();
  peer_ = std::make_unique<PtyPeer>();
  ASSERT_TRUE(peer_->Ok());
  PublishPort(kPort, peer_->SlavePath());
  timeoutMs_ = timeoutMs;
  ASSERT_EQ(PortOpen(kPort, timeoutMs, 9600, true), 0);
}

void SharedPortTest::CloseShared() {
  ResetLink();
  UnpublishPort(kPort);
  peer_.reset();
}

void SharedPortTest::SetUp() {
  ASSERT_TRUE(peer_ && peer_->Ok());
  SetModemMode(false);
  SetEchoMode(false);
  SetRetryMode(false);
  ClearCancel();
  // A case that closed the port gets it back.
  if (!PortIsOpen()) {
    ASSERT_EQ(PortOpen(kPort, timeoutMs_, 9600, true), 0);
  }
  peer_->SetScript(nullptr);
  std::shared_ptr<SerialPort> port = AcquirePort();
  ASSERT_TRUE(port);
  port->SetTimeouts(StandardTimeouts(timeoutMs_));
  port->Purge();
  peer_->ClearLog();
}

void SharedPortTest::TearDown() {
  if (peer_) peer_->SetScript(nullptr);
  ClearCancel();
}

}  // namespace varnel::testing
