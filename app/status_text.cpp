// The memo, log and status-bar texts of the workers' status events.
#include "app/status_text.h"

#include <algorithm>

#include "app/locale_text.h"
#include "files/code_page_text.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {

// A logger without pages for its texts: both taken as empty; the new texts refused.
constexpr int kTextNoTextPages = 854;
constexpr int kTextIdNotWritten = 855;
constexpr int kTextCommentNotWritten = 856;

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
      out.Memo.push_back({Text(47)});
      out.Log.push_back(Text(47) + "\r\n");
      say(Text(48) + " " + std::to_string(d.Identity[0]) + "." + std::to_string(d.Identity[1]) +
          " - " + Text(49) + "  " + std::to_string(d.Identity[2]) + "." +
          std::to_string(d.Identity[3]));
      break;
    case wsSerialNumber:
      // Unsigned, as the registered-device key and the data folder name it.
      say(Text(50) + " " + std::to_string(d.SerialNumber));
      break;
    case wsDeviceError:
      if (value >= 0 && value <= 2) L = Text(51 + static_cast<int>(value));
      out.Memo.push_back({L, MemoTone::Error});
      break;
    case wsDeviceState:
      if (value >= 0 && value <= 2) {
        L = Text(54 + static_cast<int>(value));
        out.StatusPanel = L;
      } else if (value == 3) {
        out.StatusPanel = context.StatusPanel + " - " + Text(57);
        L = Text(57);
      } else if (value == 4) {
        say("VTQ - " + Text(19) + ": " + std::to_string(d.BatteryCapacity) + "%");
      }
      break;
    case wsReadingRecord:
      say(Text(58) + " " + std::to_string(value + 1));
      break;
    case wsDeviceChanged:
      say(Text(59), MemoTone::Warning);
      break;
    case wsNoCommunication:
      say(Text(60), MemoTone::Error);
      break;
    case wsRecordAlreadyRead:
      say(Text(65) + " " + std::to_string(value + 1) + " " + Text(66));
      break;
    case wsMemorySize:
      // 2047, not 2048: LastPage is the number of the last page, not a count (a 1-MBit logger
      // ends at page 2047, which 2048 would show as 0 MBit).
      say(Text(62) + ": " + std::to_string(d.LastPage / 2047) + " MBit");
      break;
    case wsDeviceTime:
      out.Memo.push_back({Text(111) + ": \t\t" + context.Now});
      say(Text(112) + ": \t" + DeviceTimeText(static_cast<std::uint32_t>(value)).toStdString());
      break;
    case wsModemConnected:
      say(Text(113));
      break;
    case wsModemDisconnected:
      say(Text(114));
      break;
    case wsDeviceRestarted:
      say(Text(115));
      break;
    case wsModemWrite:
      // The command was sent with CR LF; it is shown without.
      say(Text(116) + ": " + event.Text.substr(0, event.Text.size() >= 2 ? event.Text.size() - 2 : 0));
      break;
    case wsModemRead:
      say(Text(117) + ": " + event.Text);
      break;
    case wsWaitingForCall:
      say(Text(118));
      break;
    case wsModemTimeout:
      say(Text(119), MemoTone::Error);
      break;
    case wsReadContents:
      say(Text(42));
      out.Memo.push_back({std::string()});
      break;
    case wsModemCommandMode:
      say(Text(125));
      break;
    case wsOffsetCorrected: {
      std::string line = Text(130);
      if (d.P1OffsetBar != 0 && (d.ChannelMask & 0x02)) {
        line += " - " + Text(308) + ": " + FixedText(d.P1Val, 7, 3).toStdString() + d.CustomUnit;
      }
      if (d.P2OffsetBar != 0 && (d.ChannelMask & 0x04)) {
        line += "; " + Text(309) + ": " + FixedText(d.P2Val, 7, 3).toStdString() + d.CustomUnit;
      }
      say(line);
      break;
    }
    case wsConfigWritten:
      say(Text(131) + " " + FileNamePart(d.ConfigFile));
      break;
    case wsNewId:
      say(Text(132) + ": " + DeviceText(d.Cfx.NewIdText, 64));
      break;
    case wsNewComment:
      say(Text(133) + ": " + DeviceText(d.Cfx.NewCommentText));
      break;
    case wsTimeSynchronized:
      say(Text(134));
      break;
    case wsPagesFromCache:
      say(Text(807) + " " + std::to_string(value >> 32) + ", " + Text(808) + " " +
          std::to_string(value & 0xFFFFFFFF));
      break;
    case wsPageCacheUnused:
      say(Text(809));
      break;
    case wsOptionsReset:
      say(Text(135));
      break;
    case wsModemCommandSkipped:
      L = Text(528) + ": " + std::to_string(value);  // for the log only, not the memo
      break;
    case wsMemoryLayoutInvalid:
      say(Text(527) + LayoutFigures(d) + ", W " + std::to_string(value) + ")", MemoTone::Error);
      break;
    case wsNoTextPages:
    case wsTextNotWritten: {
      const int id = event.Code == wsNoTextPages ? kTextNoTextPages
                     : value == kTextComment     ? kTextCommentNotWritten
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
