#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "workers/post_target.h"
#include "workers/worker_messages.h"

namespace varnel {

// The posts every worker makes, named for what they say.
class WorkerPosts {
 public:
  explicit WorkerPosts(PostTarget& target) : target_(target) {}

  void Status(int event, std::int64_t value = 0) { target_.Post(WM_WORKER_STATUS, event, value); }
  // A status whose value is a text (the modem dialogue).
  void StatusText(int event, std::string text) {
    target_.Post(WM_WORKER_STATUS, event, 0, std::move(text));
  }
  void Range(std::int64_t total) { target_.Post(WM_WORKER_PROGRESS, kProgressRange, total); }
  void Advance(std::int64_t step = 1) { target_.Post(WM_WORKER_PROGRESS, kProgressAdvance, step); }
  void Done(int result) { target_.Post(WM_WORKER_DONE, result, 0); }
  // `run`: the number of the file worker's report (0 for a host that runs one at a time).
  void FilesDone(int flag, std::int64_t run = 0) { target_.Post(WM_FILES_DONE, flag, run); }

 private:
  PostTarget& target_;
};

}  // namespace varnel
