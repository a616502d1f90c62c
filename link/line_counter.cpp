#include "link/line_counter.h"

#include <atomic>

namespace varnel {

namespace {

std::atomic<std::uint64_t> gLineBytes{0};

// Forwards every operation to the backend and adds what it moved to the counter.
class CountingPort final : public SerialPort {
 public:
  explicit CountingPort(std::shared_ptr<SerialPort> inner) : inner_(std::move(inner)) {}

  bool ApplyLineSettings(std::uint32_t baudRate) override {
    return inner_->ApplyLineSettings(baudRate);
  }
  bool RaiseDtr() override { return inner_->RaiseDtr(); }
  bool RaiseRts() override { return inner_->RaiseRts(); }
  bool SetTimeouts(const CommTimeouts& timeouts) override { return inner_->SetTimeouts(timeouts); }
  CommTimeouts Timeouts() const override { return inner_->Timeouts(); }
  bool ClearLineError() override { return inner_->ClearLineError(); }
  bool Purge() override { return inner_->Purge(); }
  std::size_t Waiting() override { return inner_->Waiting(); }
  IoResult Write(const std::uint8_t* data, std::size_t n, PortEvent* event,
                 int waitLimitMs) override {
    return Count(inner_->Write(data, n, event, waitLimitMs));
  }
  IoResult WritePlain(const std::uint8_t* data, std::size_t n) override {
    return Count(inner_->WritePlain(data, n));
  }
  IoResult Read(std::uint8_t* out, std::size_t n, PortEvent* event, int waitLimitMs) override {
    return Count(inner_->Read(out, n, event, waitLimitMs));
  }
  IoResult WaitEvent(std::uint32_t mask, PortEvent* event, int waitLimitMs) override {
    return inner_->WaitEvent(mask, event, waitLimitMs);
  }
  bool Close() override { return inner_->Close(); }
  bool IsClosed() const override { return inner_->IsClosed(); }
  bool Vanished() const override { return inner_->Vanished(); }

 private:
  static IoResult Count(IoResult r) {
    if (r.Completed()) gLineBytes.fetch_add(r.count, std::memory_order_relaxed);
    return r;
  }
  std::shared_ptr<SerialPort> inner_;
};

}  // namespace

std::uint64_t LineBytes() { return gLineBytes.load(std::memory_order_relaxed); }

std::shared_ptr<SerialPort> CountLineBytes(std::shared_ptr<SerialPort> port) {
  if (!port) return port;
  return std::make_shared<CountingPort>(std::move(port));
}

}  // namespace varnel
