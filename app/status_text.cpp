// The memo, log and status-bar texts of the workers' status events.
#include "app/status_text.h"

#include <algorithm>

#include "common/locale_text.h"
#include "files/code_page_text.h"
#include "lang/text_ids.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {

// The file-name part of a path written with either separator.
std::string FileNamePart(const std::string& path) {
  const std::size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? path : path.substr(at + 1);
}

// "(LastPage n, ReservedPages m" -- the layout figures a refused memory layout is shown with.
std::string LayoutFigures(const TDevice& d) {
  return " (LastPage " + std::to_string(d.LastPage) + ", ReservedPages " +
         std::to_string(d.ReservedPages);
}

}  // namespace

std::string DeviceText(const std::string& bytes, std::size_t maxLength) {
  std::string cut = bytes.substr(0, std::min(maxLength, bytes.size()));
  const std::size_t end = cut.find('\xFF');
  if (end != std::string::npos) cut.resize(end);
  return CodePageToUtf8(cut);
}

StatusText DescribeStatus(const StatusEvent& event, const TDevice& d,
                          const StatusContext& context) {
  const auto& Text = context.Text;
  const std::int64_t value = event.Value;
  StatusText out;
  std::string L;
  // Most events say one line in the memo and the same line in the log.
  const auto say = [&out, &L](std::string line, MemoTone tone = MemoTone::Plain) {
    L = std::move(line);
    out.Memo.push_back({L, tone});
  };
  switch (event.Code) {
    case wsDeviceDetected:
      out.Memo.push_back({Text(kTextDeviceDetected)});
      out.Log.push_back(Text(kTextDeviceDetected) + "\r\n");
      say(Text(kTextDeviceId) + " " + std::to_string(d.Identity[0]) + "." + std::to_string(d.Identity[1]) +
          " - " + Text(kTextDeviceVersion) + "  " + std::to_string(d.Identity[2]) + "." +
          std::to_string(d.Identity[3]));
      break;
    case wsSerialNumber:
      // Unsigned, as the registered-device key and the data folder name it.
      say(Text(kTextSerialNumber) + " " + std::to_string(d.SerialNumber));
      break;
    case wsDeviceError:
      if (value >= 0 && value <= 2) L = Text(kTextRecordError + static_cast<int>(value));
      out.Memo.push_back({L, MemoTone::Error});
      break;
    case wsDeviceState:
      if (value >= 0 && value <= 2) {
        L = Text(kTextStateStopped + static_cast<int>(value));
        out.StatusPanel = L;
      } else if (value == 3) {
        out.StatusPanel = context.StatusPanel + " - " + Text(kTextMemoryFull);
        L = Text(kTextMemoryFull);
      } else if (value == 4) {
        say("VTQ - " + Text(kTextBatteryCapacity) + ": " + std::to_string(d.BatteryCapacity) + "%");
      }
      break;
    case wsReadingRecord:
      say(Text(kTextReadingRecord) + " " + std::to_string(value + 1));
      break;
    case wsDeviceChanged:
      say(Text(kTextDeviceChanged), MemoTone::Warning);
      break;
    case wsNoCommunication:
      say(Text(kTextNoCommunication), MemoTone::Error);
      break;
    case wsRecordAlreadyRead:
      say(Text(kTextRecord) + " " + std::to_string(value + 1) + " " + Text(kTextAlreadyRead));
      break;
    case wsMemorySize:
      // 2047, not 2048: LastPage is the number of the last page, not a count (a 1-MBit logger
      // ends at page 2047, which 2048 would show as 0 MBit).
      say(Text(kTextMemory) + ": " + std::to_string(d.LastPage / 2047) + " MBit");
      break;
    case wsDeviceTime:
      out.Memo.push_back({Text(kTextPcTime) + ": \t\t" + context.Now});
      say(Text(kTextDeviceTime) + ": \t" + DeviceTimeText(static_cast<std::uint32_t>(value)).toStdString());
      break;
    case wsModemConnected:
      say(Text(kTextModemConnected));
      break;
    case wsModemDisconnected:
      say(Text(kTextModemDisconnected));
      break;
    case wsDeviceRestarted:
      say(Text(kTextDeviceRestarted));
      break;
    case wsModemWrite:
      // The command was sent with CR LF; it is shown without.
      say(Text(kTextModemWrite) + ": " + event.Text.substr(0, event.Text.size() >= 2 ? event.Text.size() - 2 : 0));
      break;
    case wsModemRead: {
      // The modem's lines (its echo of the command, then its answer) each get a line.
      std::size_t from = 0;
      for (std::size_t end; (end = event.Text.find('\n', from)) != std::string::npos; from = end + 1) {
        say(Text(kTextModemRead) + ": " + event.Text.substr(from, end - from));
        out.Log.push_back(L);
      }
      say(Text(kTextModemRead) + ": " + event.Text.substr(from));
      break;
    }
    case wsWaitingForCall:
      say(Text(kTextWaitingForCall));
      break;
    case wsModemTimeout:
      say(Text(kTextModemTimeout), MemoTone::Error);
      break;
    case wsReadContents:
      say(Text(kTextReadingContents));
      out.Memo.push_back({std::string()});
      break;
    case wsModemCommandMode:
      say(Text(kTextCommandMode));
      break;
    case wsOffsetCorrected: {
      std::string line = Text(kTextOffsetCorrected);
      if (d.P1OffsetBar != 0 && (d.ChannelMask & kChannelMaskP1)) {
        line += " - " + Text(kTextP1) + ": " + FixedText(d.P1Val, 7, 3).toStdString() + d.CustomUnit;
      }
      if (d.P2OffsetBar != 0 && (d.ChannelMask & kChannelMaskP2)) {
        line += "; " + Text(kTextP2) + ": " + FixedText(d.P2Val, 7, 3).toStdString() + d.CustomUnit;
      }
      say(line);
      break;
    }
    case wsConfigWritten:
      say(Text(kTextConfigWritten) + " " + FileNamePart(d.ConfigFile));
      break;
    case wsNewId:
      say(Text(kTextNewId) + ": " + DeviceText(d.Cfx.NewIdText, 64));
      break;
    case wsNewComment:
      say(Text(kTextNewComment) + ": " + DeviceText(d.Cfx.NewCommentText));
      break;
    case wsTimeSynchronized:
      say(Text(kTextClockSynchronized));
      break;
    case wsPagesFromCache:
      say(Text(kTextPagesFromCache) + " " + std::to_string(value >> 32) + ", " + Text(kTextPagesRead) + " " +
          std::to_string(value & 0xFFFFFFFF));
      break;
    case wsPageCacheUnused:
      say(Text(kTextPageCacheUnused));
      break;
    case wsOptionsReset:
      say(Text(kTextOptionsReset));
      break;
    case wsModemCommandSkipped:
      L = Text(kTextCommandsSkipped) + ": " + std::to_string(value);  // for the log only, not the memo
      break;
    case wsMemoryLayoutInvalid:
      say(Text(kTextMemoryLayoutInvalid) + LayoutFigures(d) + ", W " + std::to_string(value) + ")", MemoTone::Error);
      break;
    case wsCallInProgress:
      say(Text(kTextCallInProgress), MemoTone::Warning);
      break;
    case wsNoTextPages:
    case wsTextNotWritten: {
      const int id = event.Code == wsNoTextPages ? kTextNoTextPages
                     : value == kNotWrittenComment     ? kTextCommentNotWritten
                                                 : kTextIdNotWritten;
      say(Text(id) + LayoutFigures(d) + ")", MemoTone::Warning);
      break;
    }
    default:
      break;
  }
  // Every event leaves its line in the log, an empty one where it has none.
  out.Log.push_back(L);
  return out;
}

}  // namespace varnel
