// The main window: its widgets and menus, the tray icon, and the window events.
#include "gui/main_window.h"

#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QStyle>
#include <QAction>
#include <algorithm>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include "dialogs/module_list_box.h"
#include "gui/fill_meter.h"
#include "gui/pictures.h"
#include "gui/start_word.h"

namespace varnel {

namespace {

// The client area below the menu bar: widgets, then the status bar.
constexpr int kClientWidth = 826;
constexpr int kClientHeight = 528;
// The clock panel: at least 100 pixels, wide enough for a date and a time with seconds in
// the usual formats ("09.12.2026 04:13:24"), which 100 pixels cut off at this font size.
constexpr int kClockWidth = 150;
// Characters of a record entry with a date like "09.12.2026" and a time with seconds.
constexpr int kTypicalRecordEntry = 38;

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TfrmMain::TfrmMain(LogicEnvironment env, WindowOptions options, QWidget* parent)
    : QMainWindow(parent) {
  setObjectName(QString::fromLatin1(ControlName(Control::Window)));
  trayAvailable_ = options.TrayAvailable.value_or(QSystemTrayIcon::isSystemTrayAvailable());
  warningBox_ = [](QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
  };

  QFont font = QApplication::font();
  font.setPointSize(8);
  setFont(font);
  setWindowIcon(ProgramIcon());

  BuildMenus();
  BuildControls();
  BuildTray();

  const bool pressStart = StartRequested(env.Arguments);
  logic_ = std::make_unique<MainLogic>(*this, std::move(env));
  // The end of the session reaches the program as a request to quit (see eventFilter).
  qApp->installEventFilter(this);
  logic_->FormCreate();
  // The menu bar's height is known once its captions are set.
  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  if (pressStart) {
    // Pressed once the window is up and the event loop runs.
    QTimer::singleShot(0, this, [this] {
      if (!logic_->StartDown() && !closing_) SpBStartModemClick(true);
    });
  }
}

TfrmMain::~TfrmMain() = default;

// ---------------------------------------------------------------- menus and tray

void TfrmMain::BuildMenus() {
  auto action = [this](Control c, QMenu* menu) {
    auto* a = menu->addAction(QString());
    a->setObjectName(QString::fromLatin1(ControlName(c)));
    actions_[c] = a;
    return a;
  };
  auto submenu = [this](Control c, QMenu* parentMenu) {
    QMenu* m = parentMenu ? parentMenu->addMenu(QString()) : menuBar()->addMenu(QString());
    m->setObjectName(QString::fromLatin1(ControlName(c)));
    m->menuAction()->setObjectName(QString::fromLatin1(ControlName(c)));
    actions_[c] = m->menuAction();
    return m;
  };

  QMenu* file = submenu(Control::File1, nullptr);
  QAction* exit = action(Control::Exit1, file);
  exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* portSetup = submenu(Control::PortSetup1, nullptr);
  portMenu_ = submenu(Control::muPort, portSetup);
  portGroup_ = new QActionGroup(this);
  portGroup_->setExclusive(true);
  QAction* echo = action(Control::Echo1, portSetup);
  echo->setCheckable(true);
  echo->setChecked(true);
  connect(echo, &QAction::triggered, this, [this] { logic_->Echo1Click(); });
  QAction* modem = action(Control::Modem1, portSetup);
  modem->setCheckable(true);
  modem->setChecked(true);
  connect(modem, &QAction::triggered, this, [this] { logic_->Modem1Click(); });

  optionsMenu_ = submenu(Control::Options1, nullptr);
  // The dialogs behind these items are plugged in by the program entry.
  for (Control c : {Control::muConfig, Control::muLoggerConfig, Control::muShowLogfile}) {
    action(c, optionsMenu_)->setEnabled(false);
  }

  QMenu* info = submenu(Control::Info1, nullptr);
  QAction* about = info->addAction(QStringLiteral("Halvark Drovantek"));
  about->setObjectName(QStringLiteral("halvark1"));
  connect(about, &QAction::triggered, this, &TfrmMain::ShowAbout);
}

void TfrmMain::BuildTray() {
  trayMenu_ = new QMenu(this);
  auto action = [this](Control c) {
    auto* a = trayMenu_->addAction(QString());
    a->setObjectName(QString::fromLatin1(ControlName(c)));
    actions_[c] = a;
    return a;
  };
  connect(action(Control::pmuShow), &QAction::triggered, this, &TfrmMain::pmuShowClick);
  connect(action(Control::pmuMinimize), &QAction::triggered, this, &TfrmMain::MinimizeToTray);
  trayMenu_->addSeparator();
  connect(action(Control::pmuClose), &QAction::triggered, this, &QWidget::close);

  tray_ = new QSystemTrayIcon(ProgramIcon(), this);
  tray_->setObjectName(QStringLiteral("LMDTrayIcon1"));
  tray_->setContextMenu(trayMenu_);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::DoubleClick) pmuShowClick();
  });
}

QAction* TfrmMain::Action(Control control) const {
  const auto it = actions_.find(control);
  return it == actions_.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- controls

QLabel* TfrmMain::MakeLabel(Control control, const QRect& geometry, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(ControlName(control)));
  l->setGeometry(geometry);
  widgets_[control] = l;
  return l;
}

QPushButton* TfrmMain::MakeButton(Control control, const QRect& geometry, QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setObjectName(QString::fromLatin1(ControlName(control)));
  b->setGeometry(geometry);
  widgets_[control] = b;
  return b;
}

void TfrmMain::BuildControls() {
  auto* client = new QWidget(this);
  setCentralWidget(client);

  panel0_ = new QLabel(this);
  panel0_->setObjectName(QStringLiteral("StatusPanel0"));
  panel0_->setFixedWidth(kClientWidth - kClockWidth - 26);
  panel1_ = new QLabel(this);
  panel1_->setObjectName(QStringLiteral("StatusPanel1"));
  panel1_->setFixedWidth(kClockWidth);
  panel1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(panel0_);
  statusBar()->addPermanentWidget(panel1_);

  // Fixed border: the client area is 826 x 528 with the status bar; the menu bar comes on top.
  const int statusHeight = statusBar()->sizeHint().height();
  const int h = kClientHeight - statusHeight;  // height of the widget area
  setWindowFlags((windowFlags() | Qt::WindowMinimizeButtonHint) & ~Qt::WindowMaximizeButtonHint);

  // The picture band.
  band_ = new QLabel(client);
  band_->setObjectName(QStringLiteral("Image1"));
  band_->setGeometry(0, 0, kClientWidth, 44);
  band_->setPixmap(BandPicture(kClientWidth, 44));

  // Address field (debug mode) and progress bar.
  MakeLabel(Control::Label6, QRect(8, 52, 104, 20), client)
      ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  spAddr_ = new QSpinBox(client);
  spAddr_->setObjectName(QString::fromLatin1(ControlName(Control::spAddr)));
  spAddr_->setGeometry(116, 51, 60, 22);
  widgets_[Control::spAddr] = spAddr_;
  connect(spAddr_, &QSpinBox::valueChanged, this, [this](int v) { logic_->SetAddress(v); });
  gauge1_ = new QProgressBar(client);
  gauge1_->setObjectName(QStringLiteral("Gauge1"));
  gauge1_->setGeometry(184, 53, 634, 18);
  gauge1_->setRange(0, 1000);
  gauge1_->setValue(0);
  gauge1_->setTextVisible(false);

  // Left: the record list with its headings, the file-name identity, the module lists.
  const int left = 8, leftWidth = 312;
  MakeLabel(Control::Label2, QRect(left, 80, 80, 16), client);
  MakeLabel(Control::Label3, QRect(left + 60, 80, 120, 16), client);
  MakeLabel(Control::Label4, QRect(left + 150, 80, leftWidth - 150, 16), client)
      ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lbRecords_ = new QListWidget(client);
  lbRecords_->setObjectName(QStringLiteral("lbRecords"));
  lbRecords_->setGeometry(left, 97, leftWidth, 152);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPointSize(8);
  lbRecords_->setFont(mono);
  lbRecords_->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(lbRecords_, &QListWidget::itemChanged, this, &TfrmMain::LbRecordsItemChanged);
  PlaceRecordHeadings(kTypicalRecordEntry);

  MakeLabel(Control::Label1, QRect(left, 254, leftWidth, 16), client);
  editFilename_ = new QLineEdit(client);
  editFilename_->setObjectName(QString::fromLatin1(ControlName(Control::EditFilename)));
  editFilename_->setGeometry(left, 271, leftWidth, 22);
  editFilename_->setReadOnly(true);
  editFilename_->setEnabled(false);
  editFilename_->setFocusPolicy(Qt::NoFocus);
  widgets_[Control::EditFilename] = editFilename_;

  // The two module lists, headed by labels that may wrap to two lines.
  const int listWidth = 100, middle = leftWidth - 2 * listWidth - 8;
  const int listsTop = 334, listsHeight = h - listsTop - 8;
  const int chosenLeft = left + listWidth + 4 + middle + 4;
  MakeLabel(Control::Label5, QRect(left, 300, listWidth + 40, 32), client)
      ->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  QLabel* l9 = MakeLabel(Control::Label9, QRect(chosenLeft - 40, 300, listWidth + 40, 32), client);
  l9->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  l9->setWordWrap(true);
  static_cast<QLabel*>(widgets_[Control::Label5])->setWordWrap(true);
  auto* available = new ModuleListBox(client);
  lbAvModuls_ = available;
  lbAvModuls_->setObjectName(QStringLiteral("LbAvModuls"));
  lbAvModuls_->setGeometry(left, listsTop, listWidth, listsHeight);
  lbAvModuls_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* chosen = new ModuleListBox(client);
  lbExModuls_ = chosen;
  lbExModuls_->setObjectName(QStringLiteral("LbExModuls"));
  lbExModuls_->setGeometry(chosenLeft, listsTop, listWidth, listsHeight);
  lbExModuls_->setSelectionMode(QAbstractItemView::SingleSelection);
  const int mx = left + listWidth + 4;
  QPushButton* add = MakeButton(Control::btnAdd, QRect(mx, listsTop + 10, middle, 24), client);
  QPushButton* del = MakeButton(Control::btnDel, QRect(mx, listsTop + 40, middle, 24), client);
  QPushButton* clear = MakeButton(Control::btnClear, QRect(mx, listsTop + 86, middle, 24), client);
  connect(add, &QPushButton::clicked, this, [this] {
    std::vector<int> rows;
    for (const QModelIndex& i : lbAvModuls_->selectionModel()->selectedRows()) rows.push_back(i.row());
    logic_->btnAddClick(rows);
  });
  connect(del, &QPushButton::clicked, this, [this] {
    const auto selected = lbExModuls_->selectionModel()->selectedRows();
    logic_->btnDelClick(selected.isEmpty() ? -1 : selected.first().row());
  });
  connect(clear, &QPushButton::clicked, this, [this] { logic_->btnClearClick(); });
  // Dropping an entry does what the button between the lists does.
  ConnectModuleDrops(available, chosen, [add] { add->click(); }, [del] { del->click(); });
  available->PathOfRow = [this](int row) {
    const TModule* m = logic_->Modules().Item(row);
    return m ? QString::fromStdString(m->Path) : QString();
  };
  chosen->PathOfRow = [this](int row) {
    const TModule* m = logic_->ExecModules().Item(row);
    return m ? QString::fromStdString(m->Path) : QString();
  };

  // Middle: the message memo.
  const int memoLeft = left + leftWidth + 8, memoWidth = 692 - memoLeft;
  MakeLabel(Control::Label7, QRect(memoLeft, 80, memoWidth, 16), client);
  memo1_ = new QTextEdit(client);
  memo1_->setObjectName(QStringLiteral("Memo1"));
  memo1_->setGeometry(memoLeft, 97, memoWidth, h - 97 - 8);
  memo1_->setReadOnly(true);
  memo1_->setAcceptRichText(true);
  // Long lines wrap: the memo scrolls only vertically, so its newest line is always seen
  // from its start.
  memo1_->setLineWrapMode(QTextEdit::WidgetWidth);
  memo1_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo1_->setTabStopDistance(QFontMetricsF(font()).horizontalAdvance(QLatin1Char('x')) * 8);

  // Right: start/stop toggle, activity bar, "Show time", the hidden controls, Close.
  const int rx = 700, rw = 118;
  spbStartModem_ = MakeButton(Control::SpBStartModem, QRect(rx, 97, rw, 72), client);
  spbStartModem_->setCheckable(true);
  spbStartModem_->setIcon(StartPicture(false));
  spbStartModem_->setIconSize(QSize(32, 32));
  spbStartModem_->setText(QStringLiteral("Start"));  // the design caption until first pressed
  connect(spbStartModem_, &QPushButton::clicked, this, &TfrmMain::SpBStartModemClick);
  activity_ = new FillMeter(client);
  activity_->setObjectName(QString::fromLatin1(ControlName(Control::LMDProgressFill1)));
  activity_->setGeometry(rx, 177, rw, 20);
  activity_->SetMaximum(10);
  widgets_[Control::LMDProgressFill1] = activity_;
  chbShowTime_ = new QCheckBox(client);
  chbShowTime_->setObjectName(QString::fromLatin1(ControlName(Control::ChBShowTime)));
  chbShowTime_->setGeometry(rx, 205, rw, 20);
  widgets_[Control::ChBShowTime] = chbShowTime_;
  connect(chbShowTime_, &QCheckBox::clicked, this, [this](bool on) { logic_->SetShowTime(on); });

  // Never shown, but kept with their states: the battery meter and the three buttons the
  // program presses itself.
  MakeLabel(Control::Label8, QRect(rx, 236, rw, 16), client)->hide();
  battery_ = new QProgressBar(client);
  battery_->setObjectName(QStringLiteral("Battery1"));
  battery_->setGeometry(rx, 252, rw, 16);
  battery_->hide();
  MakeButton(Control::btnStart, QRect(rx, 276, rw, 24), client)->hide();
  MakeButton(Control::btnReadRec, QRect(rx, 304, rw, 24), client)->hide();
  MakeButton(Control::btnCancel, QRect(rx, 332, rw, 24), client)->hide();
  widgets_[Control::btnReadRec]->setEnabled(false);
  connect(static_cast<QPushButton*>(widgets_[Control::btnCancel]), &QPushButton::clicked, this,
          [this] { logic_->btnCancelClick(); });

  QPushButton* close = MakeButton(Control::btnClose, QRect(rx, h - 8 - 26, rw, 26), client);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
}

// The headings stand over the columns of the record entries: the number (five places),
// the start time after four blanks, and the share of memory, which ends four blanks before
// the end of an entry of `entryLength` characters.
void TfrmMain::PlaceRecordHeadings(int entryLength) {
  const QFontMetrics fm(lbRecords_->font());
  const int ch = fm.horizontalAdvance(QLatin1Char('0'));
  const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                        style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 6;
  const int x0 = lbRecords_->x() + indicator;
  QWidget* number = widgets_[Control::Label2];
  QWidget* start = widgets_[Control::Label3];
  QWidget* share = widgets_[Control::Label4];
  number->move(x0, number->y());
  start->move(x0 + 9 * ch, start->y());
  const int right = std::min(x0 + (entryLength - 4) * ch, lbRecords_->geometry().right());
  share->setGeometry(right - share->width(), share->y(), share->width(), share->height());
}

// ---------------------------------------------------------------- commands and events

void TfrmMain::SpBStartModemClick(bool down) {
  if (down) {
    logic_->PressStart();
  } else {
    logic_->ReleaseStart();
  }
  spbStartModem_->setIcon(StartPicture(logic_->StartDown()));
  if (tray_) tray_->setIcon(ProgramIcon());
}

void TfrmMain::LbRecordsItemChanged(QListWidgetItem* item) {
  logic_->SetRecordTicked(lbRecords_->row(item), item->checkState() == Qt::Checked);
}

void TfrmMain::ShowAbout() {
  QMessageBox box(QMessageBox::Information, Q(texts_[Control::AboutCaption]),
                  Q(texts_[Control::AboutProduct]) + QLatin1Char('\n') +
                      Q(texts_[Control::AboutVersion]),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("AboutBox"));
  box.setIconPixmap(ProgramIcon().pixmap(48, 48));
  box.exec();
}

void TfrmMain::MinimizeToTray() {
  if (!trayAvailable_) {
    // Without a tray a hidden window could not be reached again.
    showMinimized();
    return;
  }
  hide();
  Action(Control::pmuClose)->setEnabled(!logic_->StartDown());
  Action(Control::pmuMinimize)->setVisible(false);
  Action(Control::pmuShow)->setVisible(true);
  tray_->show();
}

void TfrmMain::pmuShowClick() {
  showNormal();
  raise();
  activateWindow();
  Action(Control::pmuShow)->setVisible(false);
  Action(Control::pmuMinimize)->setVisible(true);
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  memo1_->setFocus();
  if (trayAvailable_) tray_->show();
}

void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && trayAvailable_) {
    // Hidden after the state change has been handled, not inside it.
    QTimer::singleShot(0, this, [this] {
      if (isMinimized()) MinimizeToTray();
    });
  }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Only the real close waits for the workers; the refusal box shows with the normal cursor.
  const bool refused = logic_->StartDown();
  if (!refused) QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool closed = logic_->FormClose();
  if (!refused) QApplication::restoreOverrideCursor();
  if (!closed) {
    event->ignore();
    return;
  }
  closing_ = true;
  if (tray_) tray_->hide();
  event->accept();
  if (OnClosed) OnClosed();
}

void TfrmMain::EndSession() {
  if (closing_) return;
  // The stopped worker posts its result while the close waits for it (a bounded time):
  // pages it read still become files.
  if (logic_->StartDown()) SpBStartModemClick(false);
  close();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  // The session really ends (the session manager's word after a logout that nobody
  // cancelled, the system shutting down): the run ends in order, as on SIGTERM, instead of
  // the close being refused while Start is down. A checkpoint of the session or a
  // cancelled logout never comes this far. The window's close then asks the program to end.
  if (watched == qApp && event->type() == QEvent::Quit && !closing_) {
    EndSession();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::ShowWarning(const std::string& text) {
  warningBox_(this, Q(logic_ ? logic_->Text(0) : std::string()), Q(text));
}

}  // namespace varnel
