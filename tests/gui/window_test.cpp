// The main window without a line: the start/stop toggle and the refused close, the tray,
// the port menu and the debug items, the module lists, the record ticks, the captions in
// the three languages and --start. The logic runs against a recording link.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QToolTip>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QWindow>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include "common/registry_store.h"
#include "common/settings.h"
#include "dialogs/dialog_set.h"
#include "dialogs/form_add_dev.h"
#include "dialogs/form_config.h"
#include "dialogs/form_dir.h"
#include "dialogs/form_log_file.h"
#include "dialogs/form_logger_config.h"
#include "gui/fill_meter.h"
#include "gui/pictures.h"
#include "gui/qt_translations.h"
#include "gui/ui_font.h"
#include "gui_fixture.h"
#include "lang/lang.h"
#include "lang/text_ids.h"
#include "manual_timer.h"
#include "recording_link.h"
#include "workers/worker_messages.h"

namespace varnel {

using test::Find;
using test::GuiStore;

namespace {

struct Harness {
  // `prepare` fills the fresh store before the window reads it.
  explicit Harness(QStringList arguments = {}, WindowOptions options = {},
                   const std::function<void(const GuiStore&)>& prepare = {}) {
    if (prepare) prepare(store);
    LogicEnvironment env;
    env.Arguments = arguments;
    env.ProgramPath = store.ProgramPath();
    env.Link = &link;
    env.Timers = &timers;
    window = std::make_unique<TfrmMain>(env, options);
    window->SetWarningBox([this](QWidget*, const QString&, const QString& text) {
      warnings << text;
      busyAtWarning = QApplication::overrideCursor() != nullptr;
    });
  }
  QPushButton* Button(const char* name) { return Find<QPushButton>(*window, name); }
  QAction* Action(const char* name) { return window->findChild<QAction*>(name); }
  void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }

  GuiStore store;
  test::RecordingLink link;
  test::ManualTimerFactory timers;
  std::unique_ptr<TfrmMain> window;
  QStringList warnings;
  bool busyAtWarning = false;
};

// A module whose program file exists, registered under `name`.
void RegisterModule(const GuiStore& store, const QString& name) {
  const QString path = store.Root() + "/" + name;
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  RegistryKey key(QString(kModulesKey) + "\\" + name);
  key.WriteString("Path", path);
  key.WriteString("Description", name);
}

// Drags entry `row` of `from` onto `to` at `at` (its middle when not given) and drops it
// there, as the mouse does: the entry is selected when the drag starts. False when `to`
// refuses the drag.
bool DragEntry(QListWidget* from, int row, QListWidget* to, QPoint at = {}) {
  from->clearSelection();
  from->item(row)->setSelected(true);
  std::unique_ptr<QMimeData> mime(from->model()->mimeData({from->model()->index(row, 0)}));
  if (at.isNull()) at = to->viewport()->rect().center();
  const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, offered, mime.get(), Qt::LeftButton, {});
  enter.setDropAction(Qt::MoveAction);
  QApplication::sendEvent(to->viewport(), &enter);
  if (!enter.isAccepted()) return false;
  QDragMoveEvent move(at, offered, mime.get(), Qt::LeftButton, {});
  QApplication::sendEvent(to->viewport(), &move);
  QDropEvent drop(QPointF(at), offered, mime.get(), Qt::LeftButton, {});
  QApplication::sendEvent(to->viewport(), &drop);
  // A move would take the entry out of the list it was dragged from.
  return move.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

QStringList Items(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Start and Stop with real clicks; closing is refused while running and works at rest,
  // and the window's place is stored.
  void StartStopAndClose() {
    Harness h;
    h.link.modem = true;
    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    QPushButton* start = h.Button("SpBStartModem");
    QCOMPARE(start->text(), QString("Start"));

    h.Click("SpBStartModem");
    QVERIFY(h.window->Logic().StartDown());
    QVERIFY(start->isChecked());
    QCOMPARE(start->text(), QString("Stop"));
    QCOMPARE(h.window->focusWidget(), Find<QTextEdit>(*h.window, "Memo1"));
    QVERIFY(!h.Button("btnClose")->isEnabled());
    QCOMPARE(h.link.jobs.size(), std::size_t{1});
    QCOMPARE(h.link.jobs[0].kind, 0u);
    auto* activity = Find<FillMeter>(*h.window, "ActivityBar");
    QCOMPARE(activity->Caption(), QString("Program active"));
    // ActivityTimer animates the bar: up to 10, then back down filling from the right.
    for (int i = 0; i < 11; ++i) h.timers.made.at(2)->Fire();
    QCOMPARE(activity->Value(), 10);
    QVERIFY(!activity->RightToLeft());
    h.timers.made.at(2)->Fire();
    QCOMPARE(activity->Value(), 9);
    QVERIFY(activity->RightToLeft());

    QVERIFY(!h.window->close());
    QVERIFY(h.window->isVisible());
    QCOMPARE(h.warnings, QStringList{"Please stop modem activities first!"});
    QVERIFY(!h.busyAtWarning);  // the refusal box shows with the normal cursor

    h.Click("SpBStartModem");
    QVERIFY(!h.window->Logic().StartDown());
    QVERIFY(!start->isChecked());
    QCOMPARE(start->text(), QString("Start"));
    QCOMPARE(activity->Value(), 0);
    QVERIFY(!activity->RightToLeft());
    QVERIFY(activity->Caption().isEmpty());
    QCOMPARE(test::MemoLines(*h.window).last(), QString("Cancelled !"));
    QVERIFY(h.Button("btnClose")->isEnabled());

    h.window->move(40, 30);
    const QPoint place = h.window->pos();
    h.Click("btnClose");
    QVERIFY(!h.window->isVisible());
    RegistryKey settings(kSettingsKey);
    QCOMPARE(settings.ReadInt("MainLeft", -1), place.x());
    QCOMPARE(settings.ReadInt("MainTop", -1), place.y());
  }

  // The session really ends (the session manager's last word at a logout, a shutdown): the
  // run stops in order and the window closes, where closing by hand is refused while Start
  // is down.
  void SessionEndStopsTheRunAndCloses() {
    Harness h;
    h.link.modem = true;
    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    h.Click("SpBStartModem");
    QVERIFY(h.window->Logic().StartDown());
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    QVERIFY(!h.window->Logic().StartDown());
    QVERIFY(h.link.stops > 0);
    QVERIFY(!h.window->isVisible());
    QCOMPARE(h.warnings, QStringList{});
    QCOMPARE(test::MemoLines(*h.window).last(), QString("Cancelled !"));
  }

  // Where a tray exists, minimising hides the window and the tray menu brings it back;
  // where none exists, the window is only minimised.
  void MinimiseWithAndWithoutTray() {
    {
      Harness h({}, WindowOptions{true});
      h.window->show();
      QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
      QVERIFY(!h.Action("pmuShow")->isVisible());
      h.window->showMinimized();
      QTRY_VERIFY(!h.window->isVisible());
      QVERIFY(h.Action("pmuShow")->isVisible());
      QVERIFY(!h.Action("pmuMinimize")->isVisible());
      QVERIFY(h.Action("pmuClose")->isEnabled());
      h.Action("pmuShow")->trigger();
      QVERIFY(h.window->isVisible());
      QVERIFY(!h.window->isMinimized());
      QVERIFY(!h.Action("pmuShow")->isVisible());
      // While running the tray's Close is disabled.
      h.Click("SpBStartModem");
      h.Action("pmuMinimize")->trigger();
      QVERIFY(!h.window->isVisible());
      QVERIFY(!h.Action("pmuClose")->isEnabled());
      h.window->pmuShowClick();
      h.Click("SpBStartModem");
    }
    {
      Harness h({}, WindowOptions{false});
      h.window->show();
      QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
      h.Action("pmuMinimize")->trigger();
      QTest::qWait(50);
      QVERIFY(h.window->isVisible());
      QVERIFY(h.window->isMinimized());
    }
  }

  // The port menu follows the settings and the detected ports; the debug items show only
  // in debug mode, and the modem switch sets the address range.
  void PortMenuAndDebugItems() {
    {
      Harness h;
      auto* menu = h.window->findChild<QMenu*>("muPort");
      QStringList names;
      for (QAction* a : menu->actions()) names << a->objectName();
      QCOMPARE(names, (QStringList{"COM1", "COM2", "COM3", "COM4"}));
      QVERIFY(menu->actions()[0]->isChecked());
      QCOMPARE(menu->actions()[2]->text(), QString("COM &3"));
      menu->actions()[2]->trigger();
      QCOMPARE(int(h.window->Logic().Port()), 3);
      QVERIFY(menu->actions()[2]->isChecked());
      QVERIFY(!menu->actions()[0]->isChecked());
      QVERIFY(!h.Action("Modem1")->isVisible());
      QVERIFY(!h.Action("Echo1")->isVisible());
      QVERIFY(!Find<QSpinBox>(*h.window, "spAddr")->isVisibleTo(h.window.get()));
      QVERIFY(!Find<QLabel>(*h.window, "LbAddress")->isVisibleTo(h.window.get()));
    }
    {
      Harness detected({"xdebugx"}, {}, [](const GuiStore& store) {
        const QString folder = store.Root() + "/ports";  // links com10, com2, com1
        QDir().mkpath(folder);
        for (const char* n : {"com10", "com2", "com1"}) QFile::link("/dev/null", folder + "/" + n);
        qputenv("VARNEL_PORTS", folder.toLocal8Bit());
        RegistryKey(kSettingsKey).WriteFlag("Auto-Ports", true);
      });
      qunsetenv("VARNEL_PORTS");
      QStringList names;
      for (QAction* a : detected.window->findChild<QMenu*>("muPort")->actions()) {
        if (QStringList{"COM1", "COM2", "COM10"}.contains(a->objectName())) names << a->objectName();
      }
      QCOMPARE(names, (QStringList{"COM1", "COM2", "COM10"}));
      QAction* modem = detected.Action("Modem1");
      QVERIFY(modem->isVisible());
      QVERIFY(detected.Action("Echo1")->isVisible());
      QVERIFY(modem->isChecked());
      auto* addr = Find<QSpinBox>(*detected.window, "spAddr");
      QVERIFY(addr->isVisibleTo(detected.window.get()));
      QCOMPARE(addr->value(), 251);
      modem->trigger();
      QVERIFY(!modem->isChecked());
      QVERIFY(!detected.link.modem);
      QCOMPARE(addr->minimum(), 1);
      QCOMPARE(addr->maximum(), 250);
      QCOMPARE(addr->value(), 250);
    }
  }

  // ">>" appends every selected available module in list order, "<<" removes the selected
  // chosen one, "Clear all" empties the list; the order is kept and stored at close.
  void ModuleListEditing() {
    Harness h({}, {}, [](const GuiStore& store) {
      for (const char* n : {"Alpha", "Beta", "Gamma"}) RegisterModule(store, n);
    });
    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    auto* available = Find<QListWidget>(*h.window, "LbAvModuls");
    auto* chosen = Find<QListWidget>(*h.window, "LbExModuls");
    QCOMPARE(Items(available), (QStringList{"Alpha", "Beta", "Gamma"}));
    QCOMPARE(available->selectionMode(), QAbstractItemView::ExtendedSelection);
    available->item(2)->setSelected(true);
    available->item(0)->setSelected(true);
    h.Click("btnAdd");
    QCOMPARE(Items(chosen), (QStringList{"Alpha", "Gamma"}));
    h.Click("btnClear");
    QCOMPARE(chosen->count(), 0);
    h.Click("btnAdd");
    chosen->item(0)->setSelected(true);
    h.Click("btnDel");
    QCOMPARE(Items(chosen), QStringList{"Gamma"});
    h.Click("btnDel");  // nothing selected: nothing happens
    QCOMPARE(Items(chosen), QStringList{"Gamma"});
    available->clearSelection();
    available->item(1)->setSelected(true);
    h.Click("btnAdd");
    h.Click("btnAdd");  // the same module may be chosen twice
    QCOMPARE(Items(chosen), (QStringList{"Gamma", "Beta", "Beta"}));
    h.Click("btnClose");
    RegistryKey exec(kExecutableKey);
    QCOMPARE(exec.ValueNames().size(), 3);
    QCOMPARE(exec.ReadString("Exec0"), QString("Gamma"));
    QCOMPARE(exec.ReadString("Exec2"), QString("Beta"));
  }

  // A drag between the lists moves the dragged module, whatever else is selected; a drag
  // within the chosen list changes the run order (stored at close), one within the
  // available list does nothing. An entry's tooltip gives the module's name and path.
  void ModuleListDragAndDrop() {
    Harness h({}, {}, [](const GuiStore& store) {
      for (const char* n : {"Alpha", "Beta", "Gamma"}) RegisterModule(store, n);
    });
    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    auto* available = Find<QListWidget>(*h.window, "LbAvModuls");
    auto* chosen = Find<QListWidget>(*h.window, "LbExModuls");
    QVERIFY(DragEntry(available, 1, chosen));
    QVERIFY(DragEntry(available, 0, chosen));
    QVERIFY(DragEntry(available, 2, chosen));
    QCOMPARE(Items(chosen), (QStringList{"Beta", "Alpha", "Gamma"}));
    QCOMPARE(Items(available), (QStringList{"Alpha", "Beta", "Gamma"}));

    // Gamma stays selected in the available list while the chosen list is reordered.
    const auto upperHalf = [chosen](int row) {
      const QRect r = chosen->visualItemRect(chosen->item(row));
      return QPoint(r.center().x(), r.top() + 1);
    };
    QVERIFY(DragEntry(chosen, 2, chosen, upperHalf(0)));
    QCOMPARE(Items(chosen), (QStringList{"Gamma", "Beta", "Alpha"}));
    QVERIFY(DragEntry(chosen, 0, chosen, chosen->viewport()->rect().bottomLeft() + QPoint(5, -2)));
    QCOMPARE(Items(chosen), (QStringList{"Beta", "Alpha", "Gamma"}));
    QCOMPARE(chosen->currentRow(), 2);
    QVERIFY(!DragEntry(available, 0, available));
    QCOMPARE(Items(available), (QStringList{"Alpha", "Beta", "Gamma"}));
    QCOMPARE(Items(chosen), (QStringList{"Beta", "Alpha", "Gamma"}));

    QVERIFY(DragEntry(chosen, 1, available));
    QCOMPARE(Items(chosen), (QStringList{"Beta", "Gamma"}));

    QHelpEvent tip(QEvent::ToolTip, chosen->visualItemRect(chosen->item(1)).center(), QPoint(1, 1));
    QApplication::sendEvent(chosen->viewport(), &tip);
    QCOMPARE(QToolTip::text(), "Gamma\n" + h.store.Root() + "/Gamma");

    h.Click("btnClose");
    RegistryKey exec(kExecutableKey);
    QCOMPARE(exec.ValueNames().size(), 2);
    QCOMPARE(exec.ReadString("Exec0"), QString("Beta"));
    QCOMPARE(exec.ReadString("Exec1"), QString("Gamma"));
  }

  // Ticking one entry of the record list changes that entry only, in the list and in the
  // logic's selection.
  void TickingOneRecord() {
    Harness h;
    h.link.modem = false;  // the operator picks the records
    h.Click("SpBStartModem");
    TDevice& d = *h.window->Logic().FDevice;
    d.LastRingPage = 1000;
    for (int i = 0; i < 3; ++i) {
      auto rec = std::make_unique<TRec>();
      rec->StartTime = 800000000u - static_cast<std::uint32_t>(i) * 86400u;
      rec->Span = 100;
      d.AddRec(std::move(rec));
    }
    h.link.target->Post(WM_WORKER_DONE, wdContentsRead, 0);
    auto* list = Find<QListWidget>(*h.window, "lbRecords");
    QTRY_COMPARE(list->count(), 3);
    int changes = 0;
    connect(list->model(), &QAbstractItemModel::dataChanged, this, [&] { ++changes; });
    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    QListWidgetItem* item = list->item(1);
    const QRect r = list->visualItemRect(item);
    // The check box sits at the left of the entry.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(r.left() + 10, r.center().y()));
    QCOMPARE(item->checkState(), Qt::Checked);
    QCOMPARE(changes, 1);
    QVERIFY(h.window->Logic().Records()[1].Ticked);
    QVERIFY(!h.window->Logic().Records()[0].Ticked);
    QVERIFY(!h.window->Logic().Records()[2].Ticked);
    h.Click("SpBStartModem");
  }

  // Captions come from the language in effect, and every caption of the window and of the
  // dialogs fits its box, in each language, also the running ones.
  void CaptionsInThreeLanguages() {
    QStringList unfit;
    for (int base : {0, 1000, 2000}) {
      GuiStore store;
      RegistryKey(kSettingsKey).WriteInt("Language", base);
      LogicEnvironment env;
      env.ProgramPath = store.ProgramPath();
      test::RecordingLink link;
      test::ManualTimerFactory timers;
      env.Link = &link;
      env.Timers = &timers;
      TfrmMain w(env);
      QCOMPARE(w.windowTitle(), QString(" Varnel"));
      const auto text = [base](int id) { return QString::fromStdString(LoadText(id, base)); };
      QCOMPARE(w.menuBar()->actions()[0]->text(), text(kTextMenuFile));
      QCOMPARE(Find<QPushButton>(w, "btnClose")->text(), text(kTextMainClose));
      QCOMPARE(Find<QLabel>(w, "LbChosenModules")->text(), text(kTextChosenModules));
      QCOMPARE(w.findChild<QAction*>("pmuMinimize")->text(), text(kTextTrayMinimize));
      QCOMPARE(w.findChild<QAction*>("muShowLogfile")->text(), text(kTextMenuShowLogfile));
      if (base == 1000) QCOMPARE(w.menuBar()->actions()[0]->text(), QString("&Bestand"));
      if (base == 2000) {
        QCOMPARE(Find<QLabel>(w, "LbIdentity")->text(), QString("Geräte-Identität (für Dateiname)"));
      }

      // The running captions too: "Stop" and the activity bar's texts.
      w.show();
      QVERIFY(QTest::qWaitForWindowExposed(&w));
      QTest::mouseClick(Find<QPushButton>(w, "SpBStartModem"), Qt::LeftButton);
      const QString language = QString::number(base) + " ";
      for (const QString& u : test::UnfitCaptions(&w)) unfit << language + u;
      for (int id : {kTextProgramActive, kTextWaitingForModem}) {
        w.SetCaption(Control::ActivityBar, LoadText(id, base));
        auto* activity = Find<FillMeter>(w, "ActivityBar");
        if (activity->fontMetrics().horizontalAdvance(activity->Caption()) > activity->width() - 8) {
          unfit << language + "ActivityBar: " + activity->Caption();
        }
      }
      QTest::mouseClick(Find<QPushButton>(w, "SpBStartModem"), Qt::LeftButton);

      DialogSet dialogs(&w, w.Logic());
      for (QDialog* d : std::initializer_list<QDialog*>{
               &dialogs.FormConfig(), &dialogs.FormLoggerConfig(), &dialogs.FormDir(),
               &dialogs.FormAddDev(), &dialogs.FormLogFile()}) {
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        for (const QString& u : test::UnfitCaptions(d)) unfit << language + u;
        if (d == &dialogs.FormLoggerConfig()) {
          // The field for a new identity shows one of the 63 characters it takes whole.
          QLineEdit* id = dialogs.FormLoggerConfig().EdID;
          const QString full = "Pumping station 12, Lindenstrasse 5, P1 inlet and P2 outlet 2026";
          if (id->fontMetrics().horizontalAdvance(full.left(63)) > id->width() - 12) unfit << "EdID";
        }
        d->hide();
      }
    }
    QVERIFY2(unfit.isEmpty(), qPrintable(unfit.join("\n")));
  }

  // At the smallest size the window allows no control lies over another and every button
  // is whole inside the window.
  void NothingOverlapsAtTheMinimumSize() {
    Harness h;
    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    h.window->resize(400, 300);
    QTRY_COMPARE(h.window->size(), h.window->minimumSize());
    QCoreApplication::processEvents();
    QWidget* client = h.window->centralWidget();
    QList<QWidget*> controls;
    for (QWidget* c : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (c->isVisible()) controls << c;
    }
    const auto place = [&h](const QWidget* c) { return QRect(c->mapTo(h.window.get(), QPoint()), c->size()); };
    for (int i = 0; i < controls.size(); ++i) {
      for (int j = i + 1; j < controls.size(); ++j) {
        QVERIFY2(!place(controls[i]).intersects(place(controls[j])),
                 qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
      }
    }
    for (auto* b : h.window->findChildren<QAbstractButton*>()) {
      if (b->isVisible()) QVERIFY2(h.window->rect().contains(place(b)), qPrintable(b->objectName()));
    }
    QVERIFY(!place(client).intersects(place(h.window->statusBar())));
  }

  // The window grows: the memo and the record list take the room. Its place, size and
  // maximised state come back at the next start; a stored size from a larger screen is
  // cut to this one.
  void GrowsAndComesBackWhereItWas() {
    Harness h;
    const auto reopen = [&h] {
      LogicEnvironment env;
      env.ProgramPath = h.store.ProgramPath();
      env.Link = &h.link;
      env.Timers = &h.timers;
      auto w = std::make_unique<TfrmMain>(env);
      w->show();
      return w;
    };
    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    const QRect screen = h.window->screen()->availableGeometry();
    QVERIFY(screen.contains(h.window->frameGeometry()));
    // At the first start a module's name of this length is shown whole in both lists.
    for (const char* name : {"LbAvModuls", "LbExModuls"}) {
      auto* list = Find<QListWidget>(*h.window, name);
      QVERIFY2(list->fontMetrics().horizontalAdvance("CSV export (per file)") + 10 <= list->viewport()->width(),
               name);
    }
    auto* memo = Find<QTextEdit>(*h.window, "Memo1");
    auto* records = Find<QListWidget>(*h.window, "lbRecords");
    const QSize memoBefore = memo->size(), recordsBefore = records->size();
    h.window->resize(h.window->size() + QSize(300, 150));
    h.window->move(60, 40);
    QTRY_VERIFY(memo->width() >= memoBefore.width() + 150);
    QVERIFY(memo->height() >= memoBefore.height() + 140);
    QVERIFY(records->height() >= recordsBefore.height() + 50);
    const QRect placed(h.window->pos(), h.window->size());
    QVERIFY(h.window->close());

    auto second = reopen();
    QCOMPARE(QRect(second->pos(), second->size()), placed);
    // Maximised by the system (the title bar's button), not by the program.
    second->windowHandle()->setWindowStates(Qt::WindowMaximized);
    QTRY_VERIFY(second->isMaximized());
    QVERIFY(second->close());
    auto third = reopen();
    QVERIFY(third->isMaximized());
    third->showNormal();
    QTRY_COMPARE(QRect(third->pos(), third->size()), placed);
    QVERIFY(third->close());

    RegistryKey(kSettingsKey).WriteInt("VarnelMainWidth", 3000);
    RegistryKey(kSettingsKey).WriteInt("VarnelMainHeight", 2000);
    RegistryKey(kSettingsKey).WriteInt("MainLeft", 5000);
    RegistryKey(kSettingsKey).WriteFlag("VarnelMainMaximized", false);
    auto oversized = reopen();
    QVERIFY(screen.contains(QRect(oversized->pos(), oversized->size())));
    oversized->close();
  }

  // Errors and warnings stand out in the memo; their texts stay as they are, and a plain
  // line after them is plain again.
  void ErrorLinesAreColoured() {
    Harness h;
    h.link.openSucceeds = false;
    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    h.Click("SpBStartModem");
    QVERIFY(!h.window->Logic().StartDown());
    h.window->AppendMemo("plain");
    QTextDocument* doc = Find<QTextEdit>(*h.window, "Memo1")->document();
    QStringList lines;
    QList<QColor> colours;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      lines << b.text();
      const QBrush brush = b.begin().fragment().charFormat().foreground();
      colours << (brush.style() == Qt::NoBrush ? QColor() : brush.color());
    }
    QCOMPARE(lines, (QStringList{"ERROR: Comport Nr.1 not available !", "Cancelled !", "plain"}));
    QCOMPARE(colours, (QList<QColor>{MemoErrorColour(), QColor(), QColor()}));
  }

  // --start (or the word START anywhere) presses Start once the window is up.
  void StartWordPressesStart() {
    Harness h({"--start"});
    QVERIFY(!h.window->Logic().StartDown());
    h.window->show();
    QTRY_VERIFY(h.window->Logic().StartDown());
    QVERIFY(h.Button("SpBStartModem")->isChecked());
    QCOMPARE(h.link.jobs.size(), std::size_t{1});
    QCOMPARE(h.link.jobs[0].kind, 0u);
    h.Click("SpBStartModem");
  }

  // Qt's standard dialogs speak the program's language: a message box's buttons in German
  // and Dutch, and English again without a translation.
  void StandardDialogsSpeakTheProgramsLanguage() {
    const auto buttons = [] {
      QMessageBox box(QMessageBox::Question, "Varnel", "?", QMessageBox::Yes | QMessageBox::No);
      QString texts;
      QTimer::singleShot(0, &box, [&] {
        texts = box.button(QMessageBox::Yes)->text() + "|" + box.button(QMessageBox::No)->text();
        QTest::mouseClick(box.button(QMessageBox::No), Qt::LeftButton);
      });
      return box.exec() == QMessageBox::No ? texts : QString("not answered");
    };
    QVERIFY(!InstallQtTranslation(kGermanBase).isEmpty());
    QCOMPARE(buttons(), QString("&Ja|&Nein"));
    QVERIFY(!InstallQtTranslation(kDutchBase).isEmpty());
    QCOMPARE(buttons(), QString("&Ja|&Nee"));
    QVERIFY(InstallQtTranslation(kEnglishBase).isEmpty());
    QCOMPARE(buttons(), QString("&Yes|&No"));
  }

  // Wine names "MS Shell Dlg" as the dialog font without having it: the window takes a
  // sans-serif family that is drawn as itself, at the same size; a font that is there stays.
  void MissingDialogFontGivesWayToASansSerifOne() {
    const QFont chosen = UsableUiFont(QFont("MS Shell Dlg", 8));
    const QFontInfo drawn(chosen);
    QCOMPARE(drawn.family(), chosen.family());
    QVERIFY2(!chosen.family().contains("Serif") && !chosen.family().contains("Math") &&
                 !drawn.fixedPitch(),
             qPrintable(chosen.family()));
    QCOMPARE(chosen.pointSize(), 8);
    QCOMPARE(UsableUiFont(chosen), chosen);
  }
};

}  // namespace varnel

QTEST_MAIN(varnel::WindowTest)
#include "window_test.moc"
