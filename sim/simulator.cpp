#include "sim/simulator.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <poll.h>

#include "sim/json_text.h"
#include "sim/truth_file.h"

namespace varnel::sim {

namespace {
std::int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

Simulator::Simulator(const SimOptions& options, Logger& logger, SerialEndpoint& line, std::ostream& out)
    : options_(options), logger_(&logger), line_(line), out_(out), pacer_(options.baud),
      inPacer_(options.baud) {
  startNs_ = SteadyNs();
  if (options.modem) modem_ = std::make_unique<Modem>(options.modemSettings, 0);
}

Simulator::Simulator(const SimOptions& options, Fleet& fleet, SerialEndpoint& line,
                     std::ostream& out)
    : Simulator(options, fleet.first(), line, out) {
  fleet_ = &fleet;
}

std::int64_t Simulator::NowMs() const { return (SteadyNs() - startNs_) / 1'000'000; }

std::string Simulator::WriteTruth() {
  if (options_.truthPath.empty()) return "";
  const std::uint64_t seed = options_.logger.seed;
  return WriteFileAtomically(options_.truthPath, fleet_ ? FleetTruthJson(*fleet_, seed)
                                                       : TruthJson(*logger_, seed, NowMs()));
}

void Simulator::Send(const std::uint8_t* data, std::size_t n) {
  if (n == 0 || lineFailed_) return;
  if (line_.Send(data, n, pacer_, stop_) == SerialEndpoint::SendResult::kFailed) lineFailed_ = true;
}

void Simulator::Send(const std::string& text) {
  Send(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void Simulator::CallEnded() {
  ++callsEnded_;
  logger_->CallEnded();
  out_ << "vtq-sim: call " << callsEnded_ << " ended";
  if (fleet_) {
    out_ << ", serial " << logger_->device().regs.serial;
    fleet_->Ended(NowMs());
  }
  out_ << std::endl;
  if (std::string e = WriteTruth(); !e.empty()) out_ << "vtq-sim: " << e << std::endl;
  const int limit = options_.modemSettings.calls;
  if (limit > 0 && callsEnded_ >= limit && lingerFromMs_ < 0) lingerFromMs_ = NowMs();
}

void Simulator::HandleModemOutput(Modem::Output& out) {
  Send(out.toHost);
  if (out.callStarted) {
    assembler_ = FrameAssembler();
    out_ << "vtq-sim: call " << modem_->callsMade() << " connected";
    if (fleet_) {
      logger_ = &fleet_->Connected(NowMs(), modem_->callsMade());
      out_ << ", serial " << logger_->device().regs.serial;
    }
    out_ << std::endl;
  }
  if (!out.toLogger.empty()) {
    if (options_.echo) Send(out.toLogger.data(), out.toLogger.size());
    std::vector<FrameAssembler::Frame> frames;
    assembler_.Feed(out.toLogger.data(), out.toLogger.size(), NowMs(), frames);
    HandleFrames(frames);
  }
  if (out.callEnded) CallEnded();
  out = Modem::Output();
}

void Simulator::HandleFrames(std::vector<FrameAssembler::Frame>& frames) {
  for (const auto& frame : frames) {
    if (modem_ && !modem_->online()) break;  // the line dropped under the rest
    const std::int64_t now = NowMs();
    Logger::Answer a = logger_->Handle(frame.bytes, now);
    if (a.forUs && modem_) modem_->LoggerBusy(now);
    if (!frame.complete && a.reply.empty() && a.note.empty()) a.note = "incomplete";
    frameLog_.Write(now, logger_->callNumber(), frame.bytes, a,
                    fleet_ ? std::optional(logger_->device().regs.serial) : std::nullopt);
    if (!a.reply.empty() && options_.replyDelayMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(options_.replyDelayMs));
    if (a.hangUpAfter != Logger::Answer::kNoHangUp && modem_) {
      Send(a.reply.data(), std::min(a.hangUpAfter, a.reply.size()));
      Modem::Output out;
      modem_->HangUp(NowMs(), out);
      HandleModemOutput(out);
      break;
    }
    Send(a.reply.data(), a.reply.size());
    if (a.restarted) {
      out_ << "vtq-sim: logger restarted" << std::endl;
      if (modem_) {
        modem_->LoggerRestarted(NowMs());
      } else {
        CallEnded();
      }
    }
  }
  frames.clear();
}

void Simulator::DialFleet() {
  Modem::Output out;
  std::vector<std::string> notes;
  fleet_->Tick(NowMs(), *modem_, out, notes);
  for (const std::string& note : notes) out_ << "vtq-sim: " << note << std::endl;
  HandleModemOutput(out);
  if (fleet_->Done() && lingerFromMs_ < 0) {
    out_ << "vtq-sim: every logger has made its calls" << std::endl;
    lingerFromMs_ = NowMs();
  }
}

void Simulator::FromHost(const std::uint8_t* data, std::size_t n) {
  // The pseudo-terminal hands over what the host wrote at once; on a paced line the bytes
  // are taken only when the last of them would have arrived.
  if (inPacer_.paced()) {
    const std::int64_t done = inPacer_.Schedule(SteadyNs(), n) +
                              static_cast<std::int64_t>(n) * inPacer_.periodNs();
    const std::int64_t wait = done - SteadyNs();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
  }
  if (modem_) {
    Modem::Output out;
    modem_->FromHost(data, n, NowMs(), out);
    HandleModemOutput(out);
    return;
  }
  if (options_.echo) Send(data, n);
  std::vector<FrameAssembler::Frame> frames;
  assembler_.Feed(data, n, NowMs(), frames);
  HandleFrames(frames);
}

int Simulator::Run(const volatile std::sig_atomic_t& stop) {
  stop_ = &stop;
  if (!options_.framesPath.empty()) {
    if (std::string e = frameLog_.Open(options_.framesPath); !e.empty()) {
      out_ << "vtq-sim: " << e << std::endl;
      return 1;
    }
  }
  std::uint8_t buffer[4096];
  while (!stop && !lineFailed_) {
    const std::int64_t now = NowMs();
    if (lingerFromMs_ >= 0 && now - lingerFromMs_ >= static_cast<std::int64_t>(options_.lingerSeconds * 1000))
      break;
    // Sleep until the next timer at most, and never long, so a stop is seen quickly.
    std::int64_t wait = 100;
    for (std::int64_t due : {assembler_.NextDeadline(), modem_ ? modem_->NextDeadline() : -1,
                             fleet_ ? fleet_->NextDeadline(*modem_) : -1}) {
      if (due >= 0) wait = std::min(wait, std::max<std::int64_t>(0, due - now));
    }
    pollfd p{line_.fd(), POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(wait));
    if (ready > 0 && (p.revents & POLLIN)) {
      const long got = line_.Read(buffer, sizeof buffer);
      if (got < 0) {
        lineFailed_ = true;
        break;
      }
      if (got > 0) FromHost(buffer, static_cast<std::size_t>(got));
    } else if (ready > 0 && (p.revents & (POLLERR | POLLNVAL))) {
      lineFailed_ = true;
      break;
    } else if (ready > 0 && (p.revents & POLLHUP)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a device without carrier
    }
    std::vector<FrameAssembler::Frame> frames;
    assembler_.Tick(NowMs(), frames);
    HandleFrames(frames);
    if (modem_) {
      Modem::Output out;
      modem_->Tick(NowMs(), out);
      HandleModemOutput(out);
      if (fleet_) DialFleet();
    }
  }
  if (std::string e = WriteTruth(); !e.empty()) out_ << "vtq-sim: " << e << std::endl;
  if (lineFailed_) {
    out_ << "vtq-sim: the line failed" << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace varnel::sim
