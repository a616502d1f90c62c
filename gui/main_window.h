#pragma once
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_logic.h"
#include "app/main_view.h"
#include "gui/port_in_use.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSystemTrayIcon;
class QTextEdit;

namespace varnel {
class FillMeter;
}

// The operator's main window: the widgets, menus and tray icon of the window logic
// (MainLogic), which it creates and which keeps the job loop. Every control carries its
// window name as objectName ("SpBStartModem", "muConfig", …).
namespace varnel {

struct WindowOptions {
  // Whether the desktop has a system tray. Without one, minimising must not hide the only
  // window: it is minimised as usual instead. Empty: ask the desktop.
  std::optional<bool> TrayAvailable;
};

class TfrmMain : public QMainWindow, public MainView {
 public:
  // Creates the logic and runs its FormCreate (settings, port menu, captions).
  explicit TfrmMain(LogicEnvironment env, WindowOptions options = {}, QWidget* parent = nullptr);
  ~TfrmMain() override;

  MainLogic& Logic() { return *logic_; }
  // The menu and tray items by their control names, for the dialogs and views that plug
  // into the window (muConfig, muLoggerConfig, muShowLogfile start disabled).
  QAction* Action(Control control) const;
  QMenu* OptionsMenu() const { return optionsMenu_; }

  // The warning the operator confirms with OK (close refused while running). The default
  // is a standard warning box; the program's own message box replaces it.
  using WarningBox = std::function<void(QWidget* parent, const QString& title, const QString& text)>;
  void SetWarningBox(WarningBox box) { warningBox_ = std::move(box); }

  // Called once the window has closed in order (the program then ends, also when the
  // window was hidden in the tray).
  std::function<void()> OnClosed;

  // Tray handling.
  void MinimizeToTray();
  void pmuShowClick();
  bool TrayAvailable() const { return trayAvailable_; }
  QSystemTrayIcon* TrayIcon() const { return tray_; }

  // The about box of the Info menu (modal).
  void ShowAbout();

  // The session ends (log out, shut down, SIGTERM): Start is released, the workers finish
  // (the pages read so far become files) or are given up after a bounded time, the
  // settings are written and the window closes.
  void EndSession();

  // --- MainView
  void AppendMemo(const std::string& line) override;
  void AppendMarkedMemo(const std::string& line, MemoTone tone) override;
  void SetActivityText(const std::string& text) override;
  void ClearMemo() override;
  void FocusMemo() override;
  void SetStatusPanel(int panel, const std::string& text) override;
  void SetGauge(int maximum, int position) override;
  void SetEnabled(Control control, bool enabled) override;
  void SetVisible(Control control, bool visible) override;
  void SetCaption(Control control, const std::string& text) override;
  void SetChecked(Control control, bool checked) override;
  void SetStartDown(bool down) override;
  void ShowRecords(const std::vector<RecordEntry>& entries) override;
  void SetRecordTicked(int index, bool ticked) override;
  void SetFileNameText(const std::string& text) override;
  void ShowPortMenu(const std::vector<PortMenuItem>& items) override;
  void SetAddressField(int minimum, int maximum, int value) override;
  void SetActivity(int value, bool rightToLeft) override;
  void ShowModuleLists(const std::vector<std::string>& available,
                       const std::vector<std::string>& chosen) override;
  void SetWindowPosition(WindowPosition position) override;
  std::optional<WindowPosition> CurrentWindowPosition() const override;
  void ShowWarning(const std::string& text) override;
  // The box that names the program holding the port Start could not open.
  void ShowPortInUse(int port, const PortOwner& holder);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildTray();
  void BuildControls();
  void PlaceRecordHeadings(int entryLength);
  void FitRightColumn();
  // Puts the window where the settings say, at their size (the design size when none is
  // stored), fully on the screen, maximised when it was.
  void ApplyPlace();
  bool InNormalState() const;
  void NoteNormalPlace();
  void SpBStartModemClick(bool down);
  void LbRecordsItemChanged(QListWidgetItem* item);
  QWidget* Widget(Control control) const;
  QLabel* MakeLabel(Control control, QWidget* parent);
  QPushButton* MakeButton(Control control, QWidget* parent);

  // Created before the logic, which is told of it; names the holder of a port in use.
  std::unique_ptr<PortInUseNotice> portInUse_;
  std::unique_ptr<MainLogic> logic_;
  bool trayAvailable_ = false;
  bool shown_ = false;
  bool closing_ = false;
  WarningBox warningBox_;

  std::map<Control, QAction*> actions_;
  std::map<Control, QWidget*> widgets_;
  std::map<Control, std::string> texts_;  // captions without a widget (the about box)
  QMenu* optionsMenu_ = nullptr;
  QMenu* portMenu_ = nullptr;
  QActionGroup* portGroup_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;

  QWidget* band_ = nullptr;
  QWidget* recordHeadings_ = nullptr;
  int recordEntryLength_ = 0;
  // The place asked for by the settings, and the place and size the window has when it is
  // neither maximised nor minimised (kept while it is, to be stored at close).
  WindowPosition place_;
  QPoint normalPos_;
  QSize normalSize_;
  QSpinBox* spAddr_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QListWidget* lbRecords_ = nullptr;
  QLineEdit* editFilename_ = nullptr;
  QListWidget* lbAvModuls_ = nullptr;
  QListWidget* lbExModuls_ = nullptr;
  QTextEdit* memo1_ = nullptr;
  QPushButton* spbStartModem_ = nullptr;
  FillMeter* activity_ = nullptr;
  QCheckBox* chbShowTime_ = nullptr;
  QProgressBar* battery_ = nullptr;
  QLabel* panel0_ = nullptr;
  QLabel* panel1_ = nullptr;
};

}  // namespace varnel
