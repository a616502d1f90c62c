// The main window: its widgets and menus, the tray icon, and the window events.
#include "gui/main_window.h"

#include <QFontMetricsF>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>
#include <QItemSelectionModel>
#include <QStyle>
#include <QAction>
#include <algorithm>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
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
#include "lang/text_ids.h"

namespace varnel {

namespace {

// The client area below the menu bar (widgets, then the status bar) when nothing else is
// stored: the window's design size. The width gives the module lists their full room and
// the memo as much as it needs for a line of the session, and still fits a 1366x768 screen.
constexpr int kClientWidth = 944;
constexpr int kClientHeight = 528;
// The narrowest the columns get: the record list (an entry of a long date still fits),
// the memo, the buttons on the right.
constexpr int kLeftWidth = 312;
constexpr int kMemoMinWidth = 280;
constexpr int kRightWidth = 118;
// The module lists show a name like "CSV export (per file)" whole where the screen has
// room; longer ones are shortened in the middle and shown whole in the tooltip.
constexpr int kModuleListWidth = 160;
constexpr int kModuleListMinWidth = 100;
// The clock panel: at least 100 pixels, wide enough for a date and a time with seconds in
// the usual formats ("30.11.2026 04:13:24"), which 100 pixels cut off at this font size.
constexpr int kClockWidth = 150;
// Characters of a record entry with a date like "30.11.2026" and a time with seconds.
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
  portInUse_ = std::make_unique<PortInUseNotice>(
      env.Observer, [this](int port, const PortOwner& holder) { ShowPortInUse(port, holder); });
  env.Observer = portInUse_.get();
  logic_ = std::make_unique<MainLogic>(*this, std::move(env));
  // The end of the session reaches the program as a request to quit (see eventFilter).
  qApp->installEventFilter(this);
  logic_->FormCreate();
  FitRightColumn();
  // Below this size the controls would lie over each other (the memo under the buttons): the
  // window's own minimum, which the desktop's resizing keeps to, taken once the captions of
  // the language are in.
  centralWidget()->layout()->activate();
  layout()->activate();
  setMinimumSize(minimumSizeHint());
  // The menu bar's height is known once its captions are set.
  ApplyPlace();
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

  QMenu* file = submenu(Control::muFile, nullptr);
  QAction* exit = action(Control::muExit, file);
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

QLabel* TfrmMain::MakeLabel(Control control, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(ControlName(control)));
  widgets_[control] = l;
  return l;
}

QPushButton* TfrmMain::MakeButton(Control control, QWidget* parent) {
  auto* b = new QPushButton(parent);
  b->setObjectName(QString::fromLatin1(ControlName(control)));
  widgets_[control] = b;
  return b;
}

void TfrmMain::BuildControls() {
  auto* client = new QWidget(this);
  setCentralWidget(client);

  panel0_ = new QLabel(this);
  panel0_->setObjectName(QStringLiteral("StatusPanel0"));
  // A long state must not widen the window; it is cut at the panel's end instead.
  panel0_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  panel1_ = new QLabel(this);
  panel1_->setObjectName(QStringLiteral("StatusPanel1"));
  panel1_->setMinimumWidth(kClockWidth);
  panel1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  panel1_->setIndent(4);  // clear of the panel's frame where the style draws one
  statusBar()->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->addWidget(panel0_, 1);
  statusBar()->addPermanentWidget(panel1_);

  auto* root = new QVBoxLayout(client);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  // The picture band.
  band_ = new PictureBand(client);
  band_->setObjectName(QStringLiteral("Image1"));
  root->addWidget(band_);

  auto* area = new QVBoxLayout;
  area->setContentsMargins(8, 7, 8, 8);
  area->setSpacing(6);
  root->addLayout(area, 1);

  // Address field (debug mode) and progress bar.
  auto* top = new QHBoxLayout;
  top->setSpacing(4);
  auto* l6 = MakeLabel(Control::LbAddress, client);
  l6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  top->addWidget(l6);
  spAddr_ = new QSpinBox(client);
  spAddr_->setObjectName(QString::fromLatin1(ControlName(Control::spAddr)));
  spAddr_->setMinimumWidth(60);
  widgets_[Control::spAddr] = spAddr_;
  connect(spAddr_, &QSpinBox::valueChanged, this, [this](int v) { logic_->SetAddress(v); });
  top->addWidget(spAddr_);
  progress_ = new QProgressBar(client);
  progress_->setObjectName(QStringLiteral("ProgressBar"));
  progress_->setFixedHeight(18);
  progress_->setRange(0, 1000);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  top->addWidget(progress_, 1);
  area->addLayout(top);

  // Three columns: the record list over the module lists, the memo, the buttons. The
  // memo takes the width the window gains (the record entries have a fixed length); the
  // left column keeps the width its lists ask for and gives some up only on a small
  // screen. The record list and the memo take the height.
  auto* columns = new QHBoxLayout;
  columns->setSpacing(8);
  area->addLayout(columns, 1);

  auto* left = new QVBoxLayout;
  left->setSpacing(2);
  columns->addLayout(left, 0);
  // The headings stand over the list's columns (PlaceRecordHeadings).
  recordHeadings_ = new QWidget(client);
  recordHeadings_->setFixedHeight(16);
  MakeLabel(Control::LbRecordNumber, recordHeadings_);
  MakeLabel(Control::LbRecordStart, recordHeadings_);
  MakeLabel(Control::LbRecordShare, recordHeadings_)
      ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  left->addWidget(recordHeadings_);
  lbRecords_ = new QListWidget(client);
  lbRecords_->setObjectName(QStringLiteral("lbRecords"));
  lbRecords_->setMinimumSize(kLeftWidth, 100);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPointSize(8);
  // The entries are columns of blanks and digits: where the system's fixed font is missing
  // (Wine without Courier New falls back to a proportional face), take another fixed one.
  if (!QFontInfo(mono).fixedPitch()) {
    mono.setFamilies({QStringLiteral("Consolas"), QStringLiteral("Lucida Console"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("Courier")});
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
  }
  lbRecords_->setFont(mono);
  lbRecords_->setSelectionMode(QAbstractItemView::SingleSelection);
  lbRecords_->installEventFilter(this);
  connect(lbRecords_, &QListWidget::itemChanged, this, &TfrmMain::LbRecordsItemChanged);
  left->addWidget(lbRecords_, 3);

  left->addSpacing(4);
  left->addWidget(MakeLabel(Control::LbIdentity, client));
  editFilename_ = new QLineEdit(client);
  editFilename_->setObjectName(QString::fromLatin1(ControlName(Control::EditFilename)));
  editFilename_->setReadOnly(true);
  editFilename_->setEnabled(false);
  editFilename_->setFocusPolicy(Qt::NoFocus);
  widgets_[Control::EditFilename] = editFilename_;
  left->addWidget(editFilename_);
  left->addSpacing(6);

  // The two module lists with the buttons between them, headed by labels that may wrap.
  auto* modules = new QGridLayout;
  modules->setHorizontalSpacing(4);
  modules->setVerticalSpacing(2);
  QLabel* l5 = MakeLabel(Control::LbAvailableModules, client);
  l5->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  l5->setWordWrap(true);
  QLabel* l9 = MakeLabel(Control::LbChosenModules, client);
  l9->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  l9->setWordWrap(true);
  // The longer heading (of the chosen list) takes the buttons' column as well; both doing so
  // would lay them over each other when the window is narrow.
  modules->addWidget(l5, 0, 0);
  modules->addWidget(l9, 0, 1, 1, 2);
  auto* available = new ModuleListBox(client);
  lbAvModuls_ = available;
  lbAvModuls_->setObjectName(QStringLiteral("LbAvModuls"));
  lbAvModuls_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* chosen = new ModuleListBox(client);
  lbExModuls_ = chosen;
  lbExModuls_->setObjectName(QStringLiteral("LbExModuls"));
  lbExModuls_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (ModuleListBox* list : {available, chosen}) {
    list->setMinimumSize(kModuleListMinWidth, 80);
    list->PreferredWidth = kModuleListWidth;
    list->setTextElideMode(Qt::ElideMiddle);
  }
  modules->addWidget(lbAvModuls_, 1, 0);
  modules->addWidget(lbExModuls_, 1, 2);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  buttons->setContentsMargins(0, 10, 0, 0);
  QPushButton* add = MakeButton(Control::btnAdd, client);
  QPushButton* del = MakeButton(Control::btnDel, client);
  QPushButton* clear = MakeButton(Control::btnClear, client);
  buttons->addWidget(add);
  buttons->addWidget(del);
  buttons->addSpacing(16);
  buttons->addWidget(clear);
  buttons->addStretch(1);
  modules->addLayout(buttons, 1, 1);
  // The buttons keep the room they had in the design, where the longest caption fits.
  modules->setColumnMinimumWidth(1, 104);
  for (QPushButton* b : {add, del, clear}) {
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  modules->setColumnStretch(0, 1);
  modules->setColumnStretch(2, 1);
  modules->setRowStretch(1, 1);
  left->addLayout(modules, 2);
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
  // A drag between the lists moves the dragged entries; within the chosen list it changes
  // the run order.
  ConnectModuleDrops(
      available, chosen,
      [this](const QList<int>& rows) { logic_->btnAddClick({rows.begin(), rows.end()}); },
      [this](int row) { logic_->btnDelClick(row); },
      [this](int from, int to) {
        logic_->MoveChosenModule(from, to);
        lbExModuls_->setCurrentRow(to);
      });
  available->PathOfRow = [this](int row) {
    const TModule* m = logic_->Modules().Item(row);
    return m ? QString::fromStdString(m->Path) : QString();
  };
  chosen->PathOfRow = [this](int row) {
    const TModule* m = logic_->ExecModules().Item(row);
    return m ? QString::fromStdString(m->Path) : QString();
  };

  // Middle: the message memo.
  auto* middle = new QVBoxLayout;
  middle->setSpacing(2);
  columns->addLayout(middle, 1);
  auto* l7 = MakeLabel(Control::LbAction, client);
  l7->setFixedHeight(16);
  middle->addWidget(l7);
  memo1_ = new QTextEdit(client);
  memo1_->setObjectName(QStringLiteral("Memo1"));
  memo1_->setMinimumWidth(kMemoMinWidth);
  memo1_->setReadOnly(true);
  memo1_->setAcceptRichText(true);
  // Long lines wrap: the memo scrolls only vertically, so its newest line is always seen
  // from its start.
  memo1_->setLineWrapMode(QTextEdit::WidgetWidth);
  memo1_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo1_->setTabStopDistance(QFontMetricsF(font()).horizontalAdvance(QLatin1Char('x')) * 8);
  middle->addWidget(memo1_, 1);

  // Right: start/stop toggle, activity bar, "Show time", the hidden controls, Close.
  auto* right = new QVBoxLayout;
  right->setSpacing(8);
  right->setContentsMargins(0, 18, 0, 0);
  columns->addLayout(right, 0);
  spbStartModem_ = MakeButton(Control::SpBStartModem, client);
  spbStartModem_->setFixedSize(kRightWidth, 72);
  spbStartModem_->setCheckable(true);
  spbStartModem_->setIcon(StartPicture(false));
  spbStartModem_->setIconSize(QSize(32, 32));
  spbStartModem_->setText(QStringLiteral("Start"));  // the design caption until first pressed
  connect(spbStartModem_, &QPushButton::clicked, this, &TfrmMain::SpBStartModemClick);
  right->addWidget(spbStartModem_);
  activity_ = new FillMeter(client);
  activity_->setObjectName(QString::fromLatin1(ControlName(Control::ActivityBar)));
  activity_->setFixedSize(kRightWidth, 20);
  activity_->SetMaximum(10);
  widgets_[Control::ActivityBar] = activity_;
  right->addWidget(activity_);
  chbShowTime_ = new QCheckBox(client);
  chbShowTime_->setObjectName(QString::fromLatin1(ControlName(Control::ChBShowTime)));
  chbShowTime_->setFixedWidth(kRightWidth);
  widgets_[Control::ChBShowTime] = chbShowTime_;
  connect(chbShowTime_, &QCheckBox::clicked, this, [this](bool on) { logic_->SetShowTime(on); });
  right->addWidget(chbShowTime_);

  // Never shown, but kept with their states: the battery meter and the three buttons the
  // program presses itself.
  MakeLabel(Control::LbBattery, client)->hide();
  battery_ = new QProgressBar(client);
  battery_->setObjectName(QStringLiteral("Battery1"));
  battery_->hide();
  MakeButton(Control::btnStart, client)->hide();
  MakeButton(Control::btnReadRec, client)->hide();
  MakeButton(Control::btnCancel, client)->hide();
  widgets_[Control::btnReadRec]->setEnabled(false);
  connect(static_cast<QPushButton*>(widgets_[Control::btnCancel]), &QPushButton::clicked, this,
          [this] { logic_->btnCancelClick(); });

  right->addStretch(1);
  QPushButton* close = MakeButton(Control::btnClose, client);
  close->setFixedSize(kRightWidth, 26);
  right->addWidget(close);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
}

// The right column is as wide as the longest caption the activity bar shows in this language
// ("Waiting for the modem"), so that no caption is cut; the buttons above and below go along.
void TfrmMain::FitRightColumn() {
  const QFontMetrics fm(activity_->font());
  int width = kRightWidth;
  for (int id : {kTextProgramActive, kTextWaitingForModem}) {
    width = std::max(width, fm.horizontalAdvance(Q(logic_->Text(id))) + 16);
  }
  for (QWidget* w : {static_cast<QWidget*>(spbStartModem_), static_cast<QWidget*>(activity_),
                     static_cast<QWidget*>(chbShowTime_), Widget(Control::btnClose)}) {
    w->setFixedWidth(width);
  }
}

// The headings stand over the columns of the record entries: the number (five places),
// the start time after four blanks, and the share of memory, which ends four blanks before
// the end of an entry of `entryLength` characters.
void TfrmMain::PlaceRecordHeadings(int entryLength) {
  recordEntryLength_ = entryLength;
  // The advance of a fixed-pitch character is fractional; rounded, it would drift over
  // the width of an entry.
  const QFontMetricsF fm(lbRecords_->font());
  const double ch = fm.horizontalAdvance(QLatin1Char('0'));
  const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                        style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 6;
  const int x0 = indicator;
  QWidget* number = widgets_[Control::LbRecordNumber];
  QWidget* start = widgets_[Control::LbRecordStart];
  QWidget* share = widgets_[Control::LbRecordShare];
  const int h = recordHeadings_->height();
  number->setGeometry(x0, 0, number->sizeHint().width(), h);
  start->setGeometry(x0 + qRound(9 * ch), 0, start->sizeHint().width(), h);
  const int right = std::min(x0 + qRound((entryLength - 4) * ch), lbRecords_->width() - 2);
  const int w = share->sizeHint().width();
  share->setGeometry(right - w, 0, w, h);
}

void TfrmMain::ApplyPlace() {
  PlaceRecordHeadings(recordEntryLength_ > 0 ? recordEntryLength_ : kTypicalRecordEntry);
  const QSize design(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  QSize size = design;
  if (place_.Width && place_.Height) size = QSize(*place_.Width, *place_.Height);
  size = size.expandedTo(minimumSizeHint());
  // A place stored on a screen that is gone, or a size from a larger screen, must not
  // leave part of the window out of reach.
  QScreen* screen = QGuiApplication::screenAt(QPoint(place_.Left, place_.Top));
  if (!screen) screen = QGuiApplication::primaryScreen();
  QPoint at(place_.Left, place_.Top);
  if (screen) {
    const QRect free = screen->availableGeometry();
    size = size.boundedTo(free.size());
    at.setX(std::max(free.left(), std::min(at.x(), free.right() + 1 - size.width())));
    at.setY(std::max(free.top(), std::min(at.y(), free.bottom() + 1 - size.height())));
  }
  resize(size);
  move(at);
  normalPos_ = at;
  normalSize_ = size;
  if (place_.Maximized.value_or(false)) setWindowState(windowState() | Qt::WindowMaximized);
}

bool TfrmMain::InNormalState() const {
  return !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
}

// The normal place is noted once the events of the moment are handled: a window manager
// may report the maximised size before the maximised state, and that size is no normal one.
void TfrmMain::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  QTimer::singleShot(0, this, &TfrmMain::NoteNormalPlace);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  QTimer::singleShot(0, this, &TfrmMain::NoteNormalPlace);
}

void TfrmMain::NoteNormalPlace() {
  if (!InNormalState() || !isVisible()) return;
  normalPos_ = pos();
  normalSize_ = size();
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
  QDialog box(this);
  box.setObjectName(QStringLiteral("AboutBox"));
  const QString caption = Q(texts_[Control::AboutCaption]);
  box.setWindowTitle(caption);
  auto* icon = new QLabel(&box);
  icon->setPixmap(ProgramIcon().pixmap(QSize(48, 48), devicePixelRatioF()));
  icon->setAlignment(Qt::AlignTop);
  auto* product = new QLabel(Q(texts_[Control::AboutProduct]), &box);
  QFont big = product->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  product->setFont(big);
  auto* version = new QLabel(Q(texts_[Control::AboutVersion]), &box);
  auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  connect(ok, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  auto* text = new QVBoxLayout;
  text->addWidget(product);
  text->addWidget(version);
  text->addStretch(1);
  auto* row = new QHBoxLayout;
  row->setSpacing(16);
  row->addWidget(icon);
  row->addLayout(text, 1);
  auto* layout = new QVBoxLayout(&box);
  layout->addLayout(row);
  layout->addWidget(ok);
  // Wide enough that the title bar shows the whole caption beside its buttons (the title
  // font is often larger and bold).
  QFont titleFont = font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
  titleFont.setBold(true);
  box.setMinimumWidth(std::max(300, QFontMetrics(titleFont).horizontalAdvance(caption) + 160));
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
  if (watched == lbRecords_ && event->type() == QEvent::Resize && recordEntryLength_ > 0) {
    PlaceRecordHeadings(recordEntryLength_);
  }
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
  warningBox_(this, Q(logic_ ? logic_->Text(kTextProgramName) : std::string()), Q(text));
}

void TfrmMain::ShowPortInUse(int port, const PortOwner& holder) {
  const std::string who = DescribePortOwner(holder);
  const std::string text = logic_->Text(kTextPortInUse) + " COM" + std::to_string(port) +
                           (who.empty() ? "" : " (" + who + ")");
  // After the logic has released Start and written its memo line: the box waits for OK.
  QTimer::singleShot(0, this, [this, text] { ShowWarning(text); });
}

}  // namespace varnel
