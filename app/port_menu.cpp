#include "app/port_menu.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>

#ifdef _WIN32
#include "link/serial_comm_win32.h"
#else
#include "link/port_names.h"
#endif

namespace varnel {

std::vector<PortMenuItem> FixedPortItems(int count) {
  std::vector<PortMenuItem> items;
  for (int i = 1; i <= count; ++i) {
    items.push_back({"COM" + std::to_string(i), "COM &" + std::to_string(i), i, false});
  }
  return items;
}

std::uint64_t PortNameValue(const std::string& name) {
  std::uint64_t v = 0;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  for (char c : name) {
    if (c < '0' || c > '9') continue;
    const unsigned d = static_cast<unsigned>(c - '0');
    v = (v > (kMax - d) / 10) ? kMax : v * 10 + d;
  }
  return v;
}

std::vector<PortMenuItem> DetectedPortItems(const std::vector<std::string>& names) {
  std::vector<PortMenuItem> items;
  for (const std::string& name : names) {
    PortMenuItem item;
    item.Name = name;
    const auto digit = std::find_if(name.begin(), name.end(),
                                    [](char c) { return c >= '0' && c <= '9'; });
    const std::size_t at = static_cast<std::size_t>(digit - name.begin());
    item.Caption = name.substr(0, at) + " &" + name.substr(at);
    const std::uint64_t n = PortNameValue(name.substr(at));
    item.Number = n > static_cast<std::uint64_t>(std::numeric_limits<int>::max())
                      ? std::numeric_limits<int>::max()
                      : static_cast<int>(n);
    items.push_back(std::move(item));
  }
  return items;
}

void SortPortNames(std::vector<std::string>& names) {
  // Selection by moving: the first entry with the smallest value among the rest goes to the
  // front of the rest; the others keep their order.
  for (std::size_t pos = 0; pos < names.size(); ++pos) {
    std::size_t best = pos;
    for (std::size_t j = pos + 1; j < names.size(); ++j) {
      if (PortNameValue(names[j]) < PortNameValue(names[best])) best = j;
    }
    if (best != pos) {
      std::string moved = std::move(names[best]);
      names.erase(names.begin() + static_cast<std::ptrdiff_t>(best));
      names.insert(names.begin() + static_cast<std::ptrdiff_t>(pos), std::move(moved));
    }
  }
}

std::optional<int> SelectPortItem(std::vector<PortMenuItem>& items, int port) {
  if (items.empty()) return std::nullopt;
  auto hit = std::find_if(items.begin(), items.end(),
                          [port](const PortMenuItem& i) { return i.Number == port; });
  if (hit == items.end()) hit = items.begin();
  for (auto& i : items) i.Checked = false;
  hit->Checked = true;
  return hit->Number;
}

#ifdef _WIN32

std::vector<std::string> SystemPortNames() { return SerialCommPortNames(); }

#else

namespace {

// A ttyS line is a real UART when the serial core reports a port type other than 0
// ("unknown"); the kernel lists placeholder lines for absent ports too.
bool IsRealUart(const std::filesystem::path& ttyClassEntry) {
  std::ifstream type(ttyClassEntry / "type");
  int t = 0;
  return type >> t && t != 0;
}

}  // namespace

std::vector<std::string> SystemPortNames() {
  namespace fs = std::filesystem;
  std::set<int> numbers;
  std::error_code ec;
  for (fs::directory_iterator it("/sys/class/tty", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("ttyS", 0) != 0 || name.size() == 4) continue;
    if (name.find_first_not_of("0123456789", 4) != std::string::npos) continue;
    const std::uint64_t k = PortNameValue(name);
    if (k < 255 && IsRealUart(it->path())) numbers.insert(static_cast<int>(k) + 1);
  }
  ec.clear();
  for (fs::directory_iterator it(PortsFolder(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("com", 0) != 0 || name.size() == 3) continue;
    if (name.find_first_not_of("0123456789", 3) != std::string::npos) continue;
    const std::uint64_t n = PortNameValue(name);
    if (n >= 1 && n <= 255) numbers.insert(static_cast<int>(n));
  }
  std::vector<std::string> names;
  for (int n : numbers) names.push_back("COM" + std::to_string(n));
  return names;
}

#endif

}  // namespace varnel
