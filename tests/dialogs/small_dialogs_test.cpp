// The message box, the add-device prompt, the floating-point edit and the folder chooser,
// driven with real clicks and keys.
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

#include "dialog_test_support.h"
#include "dialogs/float_edit.h"
#include "dialogs/form_add_dev.h"
#include "dialogs/form_dir.h"
#include "dialogs/form_message.h"

namespace varnel {

using test::WhenModal;

class SmallDialogs : public QObject {
  Q_OBJECT
 private slots:
  void messageBoxShowsTheButtonsAndAnswersOfEachKind_data();
  void messageBoxShowsTheButtonsAndAnswersOfEachKind();
  void messageBoxIgnoresEscape();
  void messageBoxShowsALongTextWhole();
  void addDeviceTakesOnlyANewNumberALoggerCanReport();
  void addDeviceIgnoresEnterOnAnEmptyEditAndCancelsOnEscape();
  void floatEditTakesOnlyANumber();
  void folderChooserNeverShrinksBelowItsMinimum();
};

void SmallDialogs::messageBoxShowsTheButtonsAndAnswersOfEachKind_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QStringList>("texts");    // left, middle, right ("" = hidden)
  QTest::addColumn<QList<int>>("answers");   // per place
  QTest::addColumn<int>("focus");            // place with the focus
  QTest::addColumn<MessageIcon>("icon");     // the picture beside the text
  QTest::newRow("OK") << 0 << QStringList{"", "OK", ""} << QList<int>{0, 1, 0} << 1
      << MessageIcon::Information;
  QTest::newRow("OK/Cancel") << 1 << QStringList{"", "OK", "Cancel"} << QList<int>{0, 1, 2} << 1
      << MessageIcon::Information;
  QTest::newRow("Abort/Retry/Ignore") << 2 << QStringList{"Abort", "Retry", "Ignore"}
                                      << QList<int>{3, 4, 5} << 1
      << MessageIcon::Warning;
  QTest::newRow("Yes/No/Cancel") << 3 << QStringList{"Yes", "No", "Cancel"}
                                 << QList<int>{6, 7, 2} << 2
      << MessageIcon::Question;
  QTest::newRow("Yes/No") << 4 << QStringList{"", "Yes", "No"} << QList<int>{0, 6, 7} << 2
      << MessageIcon::Question;
  QTest::newRow("Retry/Cancel") << 5 << QStringList{"", "Retry", "Cancel"} << QList<int>{0, 4, 2}
                                << 1
      << MessageIcon::Warning;
  QTest::newRow("unknown kind") << 9 << QStringList{"", "OK", ""} << QList<int>{0, 1, 0} << 1
      << MessageIcon::Information;
}

void SmallDialogs::messageBoxShowsTheButtonsAndAnswersOfEachKind() {
  QFETCH(int, kind);
  QFETCH(QStringList, texts);
  QFETCH(QList<int>, answers);
  QFETCH(int, focus);
  QFETCH(MessageIcon, icon);
  TFormMessage box;
  const QSize fixed = box.size();
  for (int place = 0; place < 3; ++place) {
    if (texts[place].isEmpty()) continue;
    bool failed = false;
    QStringList seen;
    QPushButton* focused = nullptr;
    WhenModal<TFormMessage>([&](TFormMessage* b) {
      QPushButton* buttons[] = {b->BtL, b->BtM, b->BtR};
      for (QPushButton* button : buttons) seen << (button->isVisible() ? button->text() : "");
      focused = qobject_cast<QPushButton*>(b->focusWidget());
      QTest::mouseClick(buttons[place], Qt::LeftButton);
    }, &failed);
    const int answer = box.ShowMessageBox(QString(300, 'x'), "Caption", kind);
    QVERIFY(!failed);
    QCOMPARE(seen, texts);
    QCOMPARE(answer, answers[place]);
    QPushButton* places[] = {box.BtL, box.BtM, box.BtR};
    QCOMPARE(focused, places[focus]);
    QCOMPARE(box.windowTitle(), QString("Caption"));
    QCOMPARE(box.size(), fixed);  // a long text wraps inside the box
    QCOMPARE(box.ShownIcon(), icon);
    QVERIFY(!box.ImIcon->pixmap().isNull());
  }
}

void SmallDialogs::messageBoxIgnoresEscape() {
  TFormMessage box;
  bool stillOpen = false;
  WhenModal<TFormMessage>([&](TFormMessage* b) {
    QTest::keyClick(b->focusWidget(), Qt::Key_Escape);
    stillOpen = b->isVisible();
    QTest::mouseClick(b->BtR, Qt::LeftButton);
  });
  QCOMPARE(box.ShowMessageBox("Delete?", "Delete device", mkYesNo), std::uint8_t(maNo));
  QVERIFY(stillOpen);
}

// Seven lines of words (the notice of an entry changed meanwhile is that long in German):
// the box keeps its width and grows until the label holds all of them.
void SmallDialogs::messageBoxShowsALongTextWhole() {
  TFormMessage box;
  const int width = box.width();
  QString text;
  for (int line = 0; line < 7; ++line) text += "Die gespeicherten Optionen des Geräts wurden geändert\n";
  int needed = 0, has = 0;
  WhenModal<TFormMessage>([&](TFormMessage* b) {
    needed = b->LbText->heightForWidth(b->LbText->width());
    has = b->LbText->height();
    QTest::mouseClick(b->BtM, Qt::LeftButton);
  });
  box.ShowMessageBox(text, "Caption", mkOk);
  QVERIFY2(has >= needed, qPrintable(QString("%1 < %2").arg(has).arg(needed)));
  QCOMPARE(box.width(), width);
}

void SmallDialogs::addDeviceTakesOnlyANewNumberALoggerCanReport() {
  TFormMessage box;
  TFormAddDev add;
  add.SetMessageBox(&box);
  add.SetDeviceList({"4711"});
  const QString digits = "A serialnumber holds digits only, without leading zeros (e.g. 40123) !";
  const std::vector<std::pair<QString, QString>> refused = {
      {"4711", "This serialnumber is already registred !"},
      {"12\\34", "A serialnumber cannot hold \"/\" or \"\\\" !"},
      {"SN 40123", digits},
      {"04711", digits},  // the logger reports 4711, which this never matches
      {"40123x", digits}};
  for (const auto& [typed, expected] : refused) {
    QString said;
    bool keptOpen = false, failed = false;
    WhenModal<TFormAddDev>([&](TFormAddDev* d) {
      QTest::keyClicks(d->EdSN, typed);
      WhenModal<TFormMessage>([&, d](TFormMessage* m) {
        said = m->LbText->text();
        QTest::mouseClick(m->BtM, Qt::LeftButton);
        // Back in the prompt, still open with the text as typed.
        QTimer::singleShot(0, [&, d] {
          keptOpen = d->isVisible() && d->EdSN->text() == typed;
          QTest::mouseClick(d->btnCancel, Qt::LeftButton);
        });
      }, &failed);
      QTest::keyClick(d->EdSN, Qt::Key_Return);
    }, &failed);
    add.exec();
    QVERIFY2(!failed, qPrintable(typed));
    QCOMPARE(said, expected);
    QVERIFY2(keptOpen, qPrintable(typed));
    QVERIFY(!add.Accepted);
  }
  QCOMPARE(box.ShownIcon(), MessageIcon::Warning);

  WhenModal<TFormAddDev>([&](TFormAddDev* d) {
    QVERIFY(d->EdSN->text().isEmpty());  // emptied at every showing
    QTest::keyClicks(d->EdSN, "4294967295");  // the largest number a logger reports
    QTest::keyClick(d->EdSN, Qt::Key_Enter);
  });
  add.exec();
  QVERIFY(add.Accepted);
  QCOMPARE(add.EdSN->text(), QString("4294967295"));
}

void SmallDialogs::addDeviceIgnoresEnterOnAnEmptyEditAndCancelsOnEscape() {
  TFormAddDev add;
  bool openAfterEnter = false;
  WhenModal<TFormAddDev>([&](TFormAddDev* d) {
    QTest::keyClick(d->EdSN, Qt::Key_Return);
    openAfterEnter = d->isVisible();
    QTest::keyClick(d->EdSN, Qt::Key_Escape);
  });
  add.exec();
  QVERIFY(openAfterEnter);
  QVERIFY(!add.Accepted);
}

void SmallDialogs::floatEditTakesOnlyANumber() {
  QWidget window;
  auto* edit = new TFloatEdit(&window);
  auto* other = new QLineEdit(&window);
  other->move(0, 40);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QChar sep = TFloatEdit::DecimalSeparator();

  edit->setFocus();
  QTest::keyClicks(edit, "1,5xyzE3");  // the comma becomes the separator, letters are refused
  QCOMPARE(edit->text(), QString("1") + sep + "5E3");
  QVERIFY(edit->Validate());
  QCOMPARE(edit->GetValue(), 1500.0);
  QCOMPARE(edit->palette().color(QPalette::Base), edit->ColorOk);

  edit->clear();
  QTest::keyClicks(edit, "-");
  other->setFocus();  // leaving the edit validates it
  QCOMPARE(edit->palette().color(QPalette::Base), edit->ColorError);
  QCOMPARE(edit->GetValue(), 0.0);

  edit->SetValue(-0.25);
  QCOMPARE(edit->text(), QString("-0") + sep + "25");
  QCOMPARE(edit->palette().color(QPalette::Base), edit->ColorOk);
}

void SmallDialogs::folderChooserNeverShrinksBelowItsMinimum() {
  TFormDir dir;
  dir.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dir));
  dir.resize(100, 80);
  QCOMPARE(dir.size(), QSize(230, 170));
  dir.close();
}

}  // namespace varnel

QTEST_MAIN(varnel::SmallDialogs)
#include "small_dialogs_test.moc"
