// The contents worker: the job's order and its modem phases. The contents phase (identity,
// state, record scan) is in cont_thread_contents.cpp.
#include "workers/cont_thread.h"

#include <vector>

#include "link/bus.h"
#include "link/link_state.h"
#include "link/modem_texts.h"
#include "workers/modem_line.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {
// A modem write or the first byte of its answer that takes longer than this is a time-out.
constexpr int kModemAnswerLimitMs = 5000;
// The modem needs this long after the port is set up and after it announced the call.
constexpr int kModemSettleMs = 2000;
constexpr int kFixedAnswerDelayMs = 200;
constexpr int kConfiguredAnswerDelayMs = 500;
constexpr int kProfileAnswerDelayMs = 2000;  // "AT&V" prints the whole profile
constexpr int kUserAnswerDelayMs = 1000;
constexpr int kAfterAnswerMs = 200;
constexpr int kLookAtWaitingMs = 10;  // enough to see bytes that are waiting, no wait for more
constexpr std::size_t kHeardTextLimit = 2 * kModemAnswerBytes;
constexpr int kPresetSlots = 6;  // slots 0-5: the predefined commands and the loudspeaker
constexpr int kUserSlot = 6;     // slot 6: the operator's own list, separated by ";"
// The bar's range until the memory layout is known.
constexpr std::int64_t kContentsProgressRange = 10000;
}  // namespace

TContThread::TContThread(PostTarget& window, JobKind kind, TDevice& device)
    : posts_(window), Kind(kind), Device(device) {}

void TContThread::Execute() {
  result_ = wdInitFailed;
  bool go = true;
  if (ModemMode() && Kind != kJobDirectContents) {
    CommandOutcome setUp = CommandOutcome::Answered;
    if (Kind != kJobNextCall) {
      // A stop in the settle pause ends the set-up before its first command: the stop wakes
      // this thread before it closes the port, so a command sent now could still go out.
      setUp = StartModem() ? SendFixedCommands() : CommandOutcome::Failed;
      if (setUp == CommandOutcome::Answered) setUp = SendConfiguredCommands();
      go = setUp != CommandOutcome::Failed;
    }
    // A call that the modem announced in the answer to a set-up command is taken at once:
    // another command would go into the call, and the call would be lost.
    if (go) go = setUp == CommandOutcome::Connected ? TakeCall() : WaitForCall();
  }
  if (go) {
    bool identified = LoggerAnswers();
    // A call found waiting may have been given up by its logger since: the wait goes on,
    // and nobody is told of a logger that was never there.
    while (!identified && callFoundWaiting_ && !CancelFlag() && !PortVanished()) {
      callFoundWaiting_ = false;
      if (!WaitForCall()) break;
      identified = LoggerAnswers();
    }
    if (identified && ReadSerialAndOptions() && ReadState() && ScanRecords()) {
      if (Device.RecCount() == 0) {
        result_ = wdNoRecord;
      } else if (DropOverwrittenRecords()) {
        ReadIdentityText();
        result_ = wdContentsRead;
      }
    }
  }
  // A modem that has gone takes the port with it: the host must close it and wait for the
  // device to return, not go on with the next job on a dead line.
  if (ModemMode() && result_ != wdContentsRead && result_ != wdNoRecord && !CancelFlag() &&
      PortVanished()) {
    result_ = wdPortLost;
  }
  posts_.Advance(Device.LastRingPage);
  posts_.Done(result_);
}

bool TContThread::LoggerAnswers() {
  result_ = wdContentsFailed;
  posts_.Range(kContentsProgressRange);
  SetRetryMode(false);
  SendWakeByte();  // in modem mode only; a logger that sleeps through it fails below
  return Identify();
}

bool TContThread::StartModem() {
  CreatePortEvent();
  ModemClearAndPurge();
  return SleepUnlessCancelled(kModemSettleMs);
}

TContThread::CommandOutcome TContThread::SendFixedCommands() {
  CommandOutcome outcome =
      SendModemCommand("AT\r\n", kFixedAnswerDelayMs, AnswerCheck::OkOrZero, true);
  if (outcome == CommandOutcome::Answered) {
    outcome = SendModemCommand("ATV1\r\n", kFixedAnswerDelayMs, AnswerCheck::Ok, true);
  }
  if (outcome == CommandOutcome::Answered) {
    outcome = SendModemCommand("ATE0\r\n", kFixedAnswerDelayMs, AnswerCheck::Ok, true);
  }
  return outcome;
}

TContThread::CommandOutcome TContThread::SendConfiguredCommands() {
  for (int i = 0; i < kPresetSlots; ++i) {
    const std::string& command = Device.ModemCmd[static_cast<std::size_t>(i)];
    if (command.empty() || Device.ModemCmdActive[static_cast<std::size_t>(i)] != 1) continue;
    const int delay = command.find("AT&V") != std::string::npos ? kProfileAnswerDelayMs
                                                                 : kConfiguredAnswerDelayMs;
    const CommandOutcome outcome =
        SendModemCommand(command + "\r\n", delay, AnswerCheck::None, false);
    if (outcome == CommandOutcome::Failed || outcome == CommandOutcome::Connected) {
      return outcome;
    }
  }
  if (Device.ModemCmdActive[kUserSlot] == 0) return CommandOutcome::Answered;
  // The operator's list, cut at each ";". An empty piece (";;", a typing slip) would be a
  // bare line end that no modem answers: the set-up would time out and start again for
  // ever. Empty pieces are skipped, and the log says so once.
  std::vector<std::string> pieces;
  int skipped = 0;
  std::string list = Device.ModemCmd[kUserSlot];
  while (!list.empty()) {
    const std::size_t cut = list.find(';');
    std::string piece = list.substr(0, cut);
    list.erase(0, cut == std::string::npos ? list.size() : cut + 1);
    if (piece.find_first_not_of(' ') == std::string::npos) {
      ++skipped;
    } else {
      pieces.push_back(std::move(piece));
    }
  }
  if (skipped > 0) posts_.Status(wsModemCommandSkipped, skipped);
  for (const std::string& piece : pieces) {
    const CommandOutcome outcome =
        SendModemCommand(piece + "\r\n", kUserAnswerDelayMs, AnswerCheck::None, false);
    if (outcome == CommandOutcome::Failed || outcome == CommandOutcome::Connected) {
      return outcome;
    }
  }
  return CommandOutcome::Answered;
}

TContThread::CommandOutcome TContThread::SendModemCommand(const std::string& text,
                                                          int answerDelayMs, AnswerCheck check,
                                                          bool fixed) {
  const IoResult written = ModemWrite(text, kModemAnswerLimitMs);
  if (written.TimedOut()) {
    posts_.Status(wsModemTimeout);
    return CommandOutcome::Failed;
  }
  Device.ModemText = text;
  if (!written.Completed() || written.count != text.size()) return CommandOutcome::Failed;
  posts_.StatusText(wsModemWrite, text);

  const IoResult event = ModemWaitEvent(kMaskReceive, kModemAnswerLimitMs);
  if (event.TimedOut()) {
    // A modem still in a call (it answered a logger on its own while nobody listened)
    // passes the command on to the logger and says nothing. The logger is served instead
    // of the set-up being tried again and again until it gives up.
    if (text == "AT\r\n" && LoggerOnTheLine()) {
      posts_.Status(wsCallInProgress);
      return CommandOutcome::Connected;
    }
    posts_.Status(wsModemTimeout);
    return CommandOutcome::Failed;
  }
  // A stop ends the wait with an empty mask; the job must end, not try the next command.
  if (CancelFlag()) return CommandOutcome::Failed;
  if (!event.Completed() || (event.count & kEvRxChar) == 0) {
    return fixed ? CommandOutcome::Failed : CommandOutcome::NoAnswer;
  }

  if (!SleepUnlessCancelled(answerDelayMs)) return CommandOutcome::Failed;
  const std::string answer = ModemReadText(kModemAnswerBytes);
  if (ContainsUpper(answer, kCallConnectedText)) {
    Device.ModemText = answer;
    posts_.StatusText(wsModemRead, answer);
    return CommandOutcome::Connected;
  }
  switch (check) {
    case AnswerCheck::OkOrZero:
      if (!ContainsUpper(answer, "OK") && !ContainsUpper(answer, "0")) {
        return CommandOutcome::Failed;
      }
      break;
    case AnswerCheck::Ok:
      if (!ContainsUpper(answer, "OK")) return CommandOutcome::Failed;
      break;
    case AnswerCheck::None:
      break;
  }
  Device.ModemText = answer;
  // The answers to the two switches are checked but not shown.
  if (text != "ATV1\r\n" && text != "ATE0\r\n") posts_.StatusText(wsModemRead, answer);

  if (!SleepUnlessCancelled(kAfterAnswerMs)) return CommandOutcome::Failed;
  ModemClearAndPurge();
  return CommandOutcome::Answered;
}

bool TContThread::WaitForCall() {
  result_ = wdNoCall;
  std::string heard;
  posts_.Status(wsWaitingForCall);
  // The announcement came with the end of the last call or with a command's answer.
  if (TakeCallAnnounced()) return TakeCall();
  // What the modem said before this wait began is looked at, not thrown away: a logger that
  // called while the last call was being closed (a modem whose report of the end went
  // unrecognised) is still on the line and is served. A call reported over since, and
  // anything else, is stale.
  if (Kind == kJobNextCall) {
    CreatePortEvent();
    if (LiveCallAnnounced(ReadWaitingText())) {
      callFoundWaiting_ = true;
      return TakeCall();
    }
    ModemClearAndPurge();
  }
  for (;;) {
    if (CancelFlag()) return false;
    ModemClearLineError();
    // Each pass of a renewed wait starts from a fresh, unsignalled event.
    if (Kind == kJobNextCall) CreatePortEvent();
    const IoResult event = ModemWaitEvent(kMaskReceive, kNoWaitLimit);
    if (!event.Completed() || event.count == 0) return false;  // a stop closed the port
    if (event.count & kEvRxChar) {
      const std::string text = ModemReadText(kModemAnswerBytes);
      heard += text;
      // Only the tail can still complete the announcement; a chattering line must not
      // grow the text for as long as the wait lasts.
      if (heard.size() > kHeardTextLimit) heard.erase(0, heard.size() - kHeardTextLimit);
      Device.ModemText = text;
      if (!SleepUnlessCancelled(kAfterAnswerMs)) return false;
    }
    if (ContainsUpper(heard, kCallConnectedText)) return TakeCall();
  }
}

bool TContThread::LoggerOnTheLine() {
  if (CancelFlag()) return false;
  SetRetryMode(false);
  SendWakeByte();
  std::uint8_t identity[6] = {};
  return BusReadIdentity(Device.Address, identity) == 0;
}

std::string TContThread::ReadWaitingText() {
  const IoResult waiting = ModemWaitEvent(kMaskReceive, kLookAtWaitingMs);
  if (!waiting.Completed() || (waiting.count & kEvRxChar) == 0) return {};
  return ModemReadText(kModemAnswerBytes);
}

bool TContThread::TakeCall() {
  result_ = wdNoCall;
  posts_.Status(wsModemConnected);
  ClearLineDropped();  // a new call: the frame layer may talk again
  if (!SleepUnlessCancelled(kModemSettleMs)) return false;
  ModemClearAndPurge();
  return true;
}

}  // namespace varnel
