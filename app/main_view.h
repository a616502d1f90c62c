#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/port_menu.h"
#include "app/record_list.h"

// What the window logic asks of its view. The Qt main window is one view, the console
// collector another, the tests a third. Texts are UTF-8. A view ignores what it does not
// show.
namespace varnel {

// The controls of the main window that the logic names. A typed name, so that a misspelt
// control does not compile; ControlName gives the window's own name of each.
enum class Control {
  Window,
  // menus and their items
  muFile, muExit, PortSetup1, muPort, Modem1, Echo1, Options1, muConfig, muLoggerConfig,
  muShowLogfile, Info1,
  // tray menu
  pmuShow, pmuMinimize, pmuClose,
  // labels
  LbIdentity, LbRecordNumber, LbRecordStart, LbRecordShare, LbAvailableModules, LbAddress,
  LbAction, LbBattery, LbChosenModules,
  // fields, buttons, check box
  spAddr, EditFilename, SpBStartModem, ActivityBar, ChBShowTime, btnStart, btnReadRec,
  btnCancel, btnClose, btnAdd, btnDel, btnClear,
  // the about box
  AboutProduct, AboutVersion, AboutCaption,
};

// The window's name of a control ("btnClose"); the window is "frmMain".
std::string_view ControlName(Control control);

// The window's place on the desktop: its top-left corner and, when known, its size and
// whether it is maximised (the size is then the one it returns to).
struct WindowPosition {
  int Left = 0;
  int Top = 0;
  std::optional<int> Width;
  std::optional<int> Height;
  std::optional<bool> Maximized;
};

// How a memo line stands out: a failure, or something the operator should look at. The
// text itself is the same either way.
enum class MemoTone { Plain, Warning, Error };

class MainView {
 public:
  virtual ~MainView() = default;

  // The message memo: one line appended at the end (the view scrolls to it), or emptied.
  virtual void AppendMemo(const std::string& line) = 0;
  // A line that stands out; a view without colours shows it as any other.
  virtual void AppendMarkedMemo(const std::string& line, MemoTone /*tone*/) { AppendMemo(line); }
  virtual void ClearMemo() {}
  // The memo takes the keyboard focus (a start or stop leaves the operator reading it).
  virtual void FocusMemo() {}
  // Panel 0 of the status bar shows the device state, panel 1 the clock.
  virtual void SetStatusPanel(int /*panel*/, const std::string& /*text*/) {}
  // The progress bar: range 0..maximum and the position.
  virtual void SetGauge(int /*maximum*/, int /*position*/) {}
  virtual void SetEnabled(Control /*control*/, bool /*enabled*/) {}
  virtual void SetVisible(Control /*control*/, bool /*visible*/) {}
  virtual void SetCaption(Control /*control*/, const std::string& /*text*/) {}
  virtual void SetChecked(Control /*control*/, bool /*checked*/) {}
  // The start/stop toggle: down while the program runs.
  virtual void SetStartDown(bool /*down*/) {}
  // The record list: the whole list with its ticks (after a record table was read, or
  // emptied), or the tick of one entry.
  virtual void ShowRecords(const std::vector<RecordEntry>& /*entries*/) {}
  virtual void SetRecordTicked(int /*index*/, bool /*ticked*/) {}
  // The read-only file-name identity.
  virtual void SetFileNameText(const std::string& /*text*/) {}
  virtual void ShowPortMenu(const std::vector<PortMenuItem>& /*items*/) {}
  // The address field with its range.
  virtual void SetAddressField(int /*minimum*/, int /*maximum*/, int /*value*/) {}
  // The activity bar: value 0..10, filling right to left when `rightToLeft`.
  virtual void SetActivity(int /*value*/, bool /*rightToLeft*/) {}
  virtual void ShowModuleLists(const std::vector<std::string>& /*available*/,
                               const std::vector<std::string>& /*chosen*/) {}
  // The window's place: set from the settings at start, asked for when they are written.
  // A view without a window answers nothing, and the stored place is kept.
  virtual void SetWindowPosition(WindowPosition /*position*/) {}
  virtual std::optional<WindowPosition> CurrentWindowPosition() const { return std::nullopt; }
  // What the program does now, in a few lines (the tray icon's tooltip).
  virtual void SetActivityText(const std::string& /*text*/) {}
  // A warning the operator confirms with OK (closing refused while the program runs).
  virtual void ShowWarning(const std::string& /*text*/) {}
};

// Told of the run's state changes, for front ends that narrate or count them (the console
// collector). Not part of what a window shows. `kind` is the job number.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void JobStarted(int /*kind*/) {}
  virtual void FileWorkerStarted() {}
  virtual void FilesDone(int /*flag*/) {}
  virtual void WorkerDone(int /*code*/) {}
  // A worker's status event (code and value of WM_WORKER_STATUS) while Start is down.
  virtual void WorkerStatus(int /*code*/, std::int64_t /*value*/) {}
  virtual void PortOpenFailed(int /*port*/) {}
};

}  // namespace varnel
