#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/port_menu.h"
#include "app/record_list.h"

// What the window logic asks of its view. The Qt main window is one view, the console
// collector another, the tests a third. Texts are UTF-8. Controls are named as in the
// window (see the names below); a view ignores what it does not show.
namespace varnel {

namespace ctl {
inline constexpr std::string_view Window = "frmMain";
inline constexpr std::string_view SpBStartModem = "SpBStartModem";
inline constexpr std::string_view btnStart = "btnStart";
inline constexpr std::string_view btnReadRec = "btnReadRec";
inline constexpr std::string_view btnCancel = "btnCancel";
inline constexpr std::string_view btnClose = "btnClose";
inline constexpr std::string_view pmuClose = "pmuClose";
inline constexpr std::string_view pmuShow = "pmuShow";
inline constexpr std::string_view Modem1 = "Modem1";
inline constexpr std::string_view Echo1 = "Echo1";
inline constexpr std::string_view Label6 = "Label6";
inline constexpr std::string_view spAddr = "spAddr";
inline constexpr std::string_view EditFilename = "EditFilename";
inline constexpr std::string_view LMDProgressFill1 = "LMDProgressFill1";
}  // namespace ctl

class MainView {
 public:
  virtual ~MainView() = default;

  // The message memo: one line appended at the end (the view scrolls to it), or emptied.
  virtual void AppendMemo(const std::string& line) = 0;
  virtual void ClearMemo() {}
  // Panel 0 of the status bar shows the device state, panel 1 the clock.
  virtual void SetStatusPanel(int /*panel*/, const std::string& /*text*/) {}
  // The progress bar: range 0..maximum and the position.
  virtual void SetGauge(int /*maximum*/, int /*position*/) {}
  virtual void SetEnabled(std::string_view /*control*/, bool /*enabled*/) {}
  virtual void SetVisible(std::string_view /*control*/, bool /*visible*/) {}
  virtual void SetCaption(std::string_view /*control*/, const std::string& /*text*/) {}
  virtual void SetChecked(std::string_view /*control*/, bool /*checked*/) {}
  // The start/stop toggle: down while the program runs.
  virtual void SetStartDown(bool /*down*/) {}
  // The record list with its ticks, the read-only file-name identity.
  virtual void ShowRecords(const std::vector<RecordEntry>& /*entries*/) {}
  virtual void SetFileNameText(const std::string& /*text*/) {}
  virtual void ShowPortMenu(const std::vector<PortMenuItem>& /*items*/) {}
  // The address field with its range.
  virtual void SetAddressField(int /*minimum*/, int /*maximum*/, int /*value*/) {}
  // The activity bar: value 0..10, filling right to left when `reversed`.
  virtual void SetActivity(int /*value*/, bool /*rightToLeft*/) {}
  virtual void ShowModuleLists(const std::vector<std::string>& /*available*/,
                               const std::vector<std::string>& /*chosen*/) {}
  virtual void SetWindowPosition(int /*left*/, int /*top*/) {}
  // A warning the operator confirms with OK (closing refused while the program runs).
  virtual void ShowWarning(const std::string& /*text*/) {}

  // State changes for views that narrate the run (the console). `kind` is the job number.
  virtual void JobStarted(int /*kind*/) {}
  virtual void FileWorkerStarted() {}
  virtual void FilesDone(int /*flag*/) {}
  virtual void WorkerDone(int /*code*/) {}
  // A worker's status event (code and value of WM_WORKER_STATUS) while Start is down.
  virtual void WorkerStatus(int /*code*/, std::int64_t /*value*/) {}
  virtual void PortOpenFailed(int /*port*/) {}
};

}  // namespace varnel
