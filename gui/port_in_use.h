#pragma once
#include <functional>

#include "app/main_view.h"
#include "link/port_owner.h"

namespace varnel {

// Watches the run for a port that Start could not open because another program holds it
// (a second window started from the Startup entry and from the menu, or a window beside a
// collector), and hands the holder to `tell`, so that the operator learns which program to
// end; the memo's "not available" line alone does not say. Every event also goes on to
// `next` (may be null).
class PortInUseNotice : public RunObserver {
 public:
  using Tell = std::function<void(int port, const PortOwner& holder)>;
  PortInUseNotice(RunObserver* next, Tell tell) : next_(next), tell_(std::move(tell)) {}

  void JobStarted(int kind) override;
  void FileWorkerStarted() override;
  void FilesDone(int flag) override;
  void WorkerDone(int code) override;
  void WorkerStatus(int code, std::int64_t value) override;
  void PortOpenFailed(int port) override;

 private:
  RunObserver* next_;
  Tell tell_;
};

}  // namespace varnel
