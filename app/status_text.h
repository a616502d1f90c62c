#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_view.h"
#include "device/device.h"

// What the memo, the log and the status bar say for one status event of a worker: a pure
// function of the event, the device image it speaks of and the few things the window knows
// (its language, the PC clock, the status bar's text). Whatever the event makes the window
// do beyond saying it (load a logger's options, reset them, ...) stays with the window.
namespace varnel {

struct StatusEvent {
  int Code = 0;             // a ws... status-event code
  std::int64_t Value = 0;   // its value
  std::string Text;         // the text that travels with it (modem lines)
};

struct MemoLine {
  std::string Text;
  MemoTone Tone = MemoTone::Plain;
};

struct StatusText {
  std::vector<MemoLine> Memo;    // in this order
  std::vector<std::string> Log;  // in this order, after what the event makes the window do
  std::optional<std::string> StatusPanel;  // the status bar's new device state
};

struct StatusContext {
  std::function<std::string(int id)> Text;  // the text of an id in the window's language
  std::string Now;                          // the PC time as the window shows it
  std::string StatusPanel;                  // the status bar's device state so far
};

// Texts that the logger keeps as 8-bit code-page bytes, up to a byte 255, as UTF-8.
std::string DeviceText(const std::string& bytes, std::size_t maxLength = std::string::npos);

StatusText DescribeStatus(const StatusEvent& event, const TDevice& device,
                          const StatusContext& context);

}  // namespace varnel
