#include "gui/port_in_use.h"

namespace varnel {

void PortInUseNotice::JobStarted(int kind) {
  if (next_) next_->JobStarted(kind);
}

void PortInUseNotice::FileWorkerStarted() {
  if (next_) next_->FileWorkerStarted();
}

void PortInUseNotice::FilesDone(int flag) {
  if (next_) next_->FilesDone(flag);
}

void PortInUseNotice::WorkerDone(int code) {
  if (next_) next_->WorkerDone(code);
}

void PortInUseNotice::WorkerStatus(int code, std::int64_t value) {
  if (next_) next_->WorkerStatus(code, value);
}

void PortInUseNotice::PortOpenFailed(int port) {
  if (next_) next_->PortOpenFailed(port);
  // Asked only now, after the open failed: a port that is missing or broken is no
  // business of this notice, the memo line says enough.
  if (const auto holder = FindPortHolder(port)) tell_(port, *holder);
}

}  // namespace varnel
