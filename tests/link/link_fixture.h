#pragma once
// Shared set-up of the link tests: a private ports folder named by $VARNEL_PORTS, in which a
// pseudo-terminal's slave is published as COM n, and a clean link state per test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "pty_peer.h"

namespace varnel::testing {

// Makes "COM"n open target (a symbolic link in the ports folder).
void PublishPort(int portNumber, const std::string& target);
void UnpublishPort(int portNumber);
// The ports folder of this test process.
std::string TestPortsFolder();

// Back to the state at program start: no port, all switches off, no cancel.
void ResetLink();

class Stopwatch {
public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  long long Ms() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now() - start_)
        .count();
  }

private:
  std::chrono::steady_clock::time_point start_;
};

// A suite whose cases share one pseudo-terminal published as COM1 and opened with the reply
// timeout of the suite (the open itself takes half a second). Each case starts with the
// switches off, no script and empty buffers.
class SharedPortTest : public ::testing::Test {
protected:
  static constexpr int kPort = 1;
  static void OpenShared(std::int16_t timeoutMs);
  static void CloseShared();
  static PtyPeer& Peer() { return *peer_; }
  void SetUp() override;
  void TearDown() override;

private:
  static std::unique_ptr<PtyPeer> peer_;
  static std::int16_t timeoutMs_;
};

}  // namespace varnel::testing
