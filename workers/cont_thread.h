#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "device/device.h"
#include "device/ring.h"
#include "workers/job_kind.h"
#include "workers/post_target.h"
#include "workers/worker_posts.h"

namespace varnel {

// The contents worker (jobs 0, 2 and 4). In modem mode it brings up the modem and waits
// for the logger's call; then it identifies the logger, hands its serial number to the host
// for the options, reads state and memory layout and rebuilds the record table by walking
// the ring backwards from the write pointer. It ends with exactly one WM_WORKER_DONE.
//
// It uses the port the facade opened and never opens or closes it. The facade runs
// Execute() on a thread of its own; a stop (StopLink) ends every wait within a fraction of
// a second.
class TContThread {
 public:
  TContThread(PostTarget& window, JobKind kind, TDevice& device);

  void Execute();

 private:
  enum class AnswerCheck { None, OkOrZero, Ok };
  // Connected: the answer held the modem's announcement of a call, which ends the set-up.
  enum class CommandOutcome { Answered, NoAnswer, Failed, Connected };

  // The modem phases; each returns false when the job ends.
  bool StartModem();
  CommandOutcome SendFixedCommands();
  CommandOutcome SendConfiguredCommands();
  bool WaitForCall();
  bool TakeCall();
  // One identity request: true when a logger answers it, through a modem in a call.
  bool LoggerOnTheLine();
  // What the modem sent that waits in the port, as text; empty when nothing waits.
  std::string ReadWaitingText();
  CommandOutcome SendModemCommand(const std::string& text, int answerDelayMs,
                                  AnswerCheck check, bool fixed);

  // The contents phase; each returns false when the job ends.
  bool LoggerAnswers();  // wakes the logger and identifies it
  bool Identify();
  bool ReadSerialAndOptions();
  bool ReadState();
  bool ScanRecords();
  bool DropOverwrittenRecords();
  void ReadIdentityText();

  bool ReadConfigEntry(std::uint8_t index, std::uint8_t d[5]);
  bool ReadPageHeader(std::uint16_t page, PageHeader& header);
  void AddRecord(std::uint16_t firstPage, std::uint16_t lastPage, const PageHeader& header);
  std::uint16_t Age(std::uint16_t page) const;
  std::uint16_t PageOfAge(std::uint16_t age) const;
  void Trace(std::string_view text, long value = -1) const;

  WorkerPosts posts_;  // to the host window given at creation
  JobKind Kind;
  TDevice& Device;
  std::uint16_t Origin = 0;  // the write pointer when the contents phase began
  std::int32_t LastSpan = 0;
  int result_ = 0;
  bool recordingActive_ = false;
  // The call was announced before the wait began: its logger may have given up since.
  bool callFoundWaiting_ = false;
};

}  // namespace varnel
