#pragma once
#include <map>
#include <string>
#include <vector>

#include "app/main_view.h"

namespace varnel::test {

// A view that keeps what the logic showed, keyed by the controls' window names, and the
// run's state changes, for the tests to look at.
class RecordingView : public MainView, public RunObserver {
 public:
  void AppendMemo(const std::string& line) override { memo.push_back(line); }
  void ClearMemo() override { memo.clear(); }
  void SetStatusPanel(int panel, const std::string& text) override { panels[panel] = text; }
  void SetGauge(int maximum, int position) override {
    gaugeMax = maximum;
    gaugePos = position;
  }
  void SetEnabled(Control control, bool on) override { enabled[Name(control)] = on; }
  void SetVisible(Control control, bool on) override { visible[Name(control)] = on; }
  void SetCaption(Control control, const std::string& text) override {
    captions[Name(control)] = text;
  }
  void SetChecked(Control control, bool on) override { checked[Name(control)] = on; }
  void SetStartDown(bool down) override { startDown = down; }
  void ShowRecords(const std::vector<RecordEntry>& entries) override { records = entries; }
  void SetRecordTicked(int index, bool ticked) override {
    records.at(static_cast<std::size_t>(index)).Ticked = ticked;
  }
  void SetFileNameText(const std::string& text) override { fileName = text; }
  void SetActivityText(const std::string& text) override { activityText = text; }
  void ShowPortMenu(const std::vector<PortMenuItem>& items) override { ports = items; }
  void SetAddressField(int minimum, int maximum, int value) override {
    addrMin = minimum;
    addrMax = maximum;
    addrValue = value;
  }
  void ShowModuleLists(const std::vector<std::string>& a, const std::vector<std::string>& c) override {
    available = a;
    chosen = c;
  }
  void ShowWarning(const std::string& text) override { warnings.push_back(text); }
  void JobStarted(int kind) override { jobs.push_back(kind); }
  void FilesDone(int flag) override { filesDone.push_back(flag); }
  void PortOpenFailed(int port) override { failedPorts.push_back(port); }

  static std::string Name(Control control) { return std::string(ControlName(control)); }

  std::vector<std::string> memo;
  std::map<int, std::string> panels;
  int gaugeMax = -1, gaugePos = -1;
  std::map<std::string, bool> enabled, visible, checked;
  std::map<std::string, std::string> captions;
  bool startDown = false;
  std::vector<RecordEntry> records;
  std::string fileName;
  std::string activityText;  // the tray icon's tooltip
  std::vector<PortMenuItem> ports;
  int addrMin = 0, addrMax = 0, addrValue = 0;
  std::vector<std::string> available, chosen, warnings;
  std::vector<int> jobs, filesDone, failedPorts;
};

}  // namespace varnel::test
