#pragma once
#include <cstdint>
#include <ctime>

#include "device/device.h"
#include "workers/worker_posts.h"

namespace varnel {

// The one-shot options of the device image carried out in the logger, in this order:
// control command 2, offset correction, configuration from the .cfx file, identity text,
// comment, clock, and always the restart. Returns false at the first failing command (the
// job ends; a failing chunk of a text write ends only that text write). `result` becomes
// wdRecordsRead once the restart has been sent.
bool RunDeviceWriteSequence(TDevice& device, WorkerPosts& posts, int& result);

// The device time of a local date and time: whole seconds since 2000-01-01 00:00:00 local
// time, with the milliseconds rounded to the nearest second. 0 before that moment.
std::uint32_t DeviceTimeOfLocal(const std::tm& local, int milliseconds);

// The PC's clock as the logger is to be set to it.
std::uint32_t DeviceTimeNow();

}  // namespace varnel
