#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The items of the serial-port menu: one per COM number the operator may choose.
namespace varnel {

struct PortMenuItem {
  std::string Name;     // "COM3"
  std::string Caption;  // "COM &3": the digit is the item's accelerator
  int Number = 0;       // the COM number
  bool Checked = false;
};

// The fixed menu COM1 ... COM<count>.
std::vector<PortMenuItem> FixedPortItems(int count);

// One item per detected port name, in the order given: the caption has " &" before the first
// digit and the number is the value of the digits from there on.
std::vector<PortMenuItem> DetectedPortItems(const std::vector<std::string>& names);

// Orders port names by the integer value of their digits, ascending; a name without digits
// counts as 0. Equal values keep their order.
void SortPortNames(std::vector<std::string>& names);

// The value of the digits of a name ("COM10" gives 10), 0 without digits; saturates
// instead of overflowing.
std::uint64_t PortNameValue(const std::string& name);

// Checks the item whose number equals `port`, else the first item. Returns the number of
// the checked item, or nothing for an empty menu.
std::optional<int> SelectPortItem(std::vector<PortMenuItem>& items, int port);

// The serial ports of this system as "COM"n names, unsorted. On Windows the values of the
// machine's serial-port list; elsewhere the real UARTs /dev/ttyS<n-1> as COMn and the COMn
// links of the ports folder. Nothing when the list cannot be read.
std::vector<std::string> SystemPortNames();

}  // namespace varnel
