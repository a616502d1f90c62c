#pragma once
#include <array>
#include <string>

// What the window hands to the configuration dialog before showing it, and takes back when
// the dialog was left with OK.
namespace varnel {

struct ConfigFormValues {
  int LanguageIndex = 0;  // list position: 0 English, 1 Dutch, 2 German
  bool AutoPorts = false;
  std::string DataFolder;
  std::string ConfigFileFolder;
  bool CreateBackup = true;
  int AmountPortsIndex = 3;  // list entry: fixed ports - 1
  // Boxes of the five default commands; only the AT&V box (4) is shown, the others keep
  // the dialog's own states.
  std::array<bool, 5> CommandBoxes{};
  bool SpeakerBox = false;
  bool SpeakerOn = false;  // "ATM1" chosen rather than "ATM0"
  std::string UserCommand;
  bool UserCommandBox = false;
  // The result of OK: the seven command strings.
  std::array<std::string, 7> ActiveCommands{};
};

}  // namespace varnel
