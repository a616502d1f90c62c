#pragma once
#include <cstdint>

#include "device/device.h"
#include "workers/job_kind.h"
#include "workers/post_target.h"

namespace varnel {

// The host's one door to the link: open and close the port with the program's settings,
// set the modem and echo switches, start the worker of a job and stop a running job.
// Called from the host's main thread.

// Which worker a job runs on; kinds 5-8 and above 9 start nothing.
enum class JobWorker { None, Contents, ReadWrite };
JobWorker WorkerOf(JobKind kind);

// Opens COM portNumber at 9600 baud with reply timeout timeoutMs. True on success.
bool LinkOpen(std::int16_t portNumber, std::int16_t timeoutMs);

// Waits 500 ms, then closes the port; the result of the close.
std::int16_t LinkClose();

// Clears the cancel flag, turns frame retries off and starts the worker of `kind` on a
// thread of its own. The worker reports to `window` and works on `device`; both must stay
// alive until the worker has ended (WaitForWorker). The host starts a job only when none
// runs.
void StartJob(PostTarget& window, JobKind kind, TDevice& device);

// Ends the running job: signals the stop event, sets the cancel flag and closes the port,
// which ends every wait of the worker; it then posts its end and returns. Does not wait.
void StopLink();

// Waits up to timeoutMs (negative: without limit) until no worker started by StartJob runs
// any more. True when none runs. A host calls StopLink and then this before it frees the
// device image or itself.
bool WaitForWorker(int timeoutMs);

// True while a worker started by StartJob has not yet ended.
bool WorkerRunning();

std::int16_t SetLinkEcho(bool on);
std::int16_t SetLinkModem(bool on);

}  // namespace varnel
