// The log viewer: a missing log is created, the log is shown as it stands, emptied after Yes,
// closed by Enter and Escape, and printed (as a PDF file where the system has no printer);
// a big log shows its newest lines at once and ends up whole, in order.
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QScrollBar>
#include <QPushButton>
#include <QtTest>

#include "common/program_log.h"
#include "dialog_test_support.h"
#include "dialogs/form_log_file.h"
#include "dialogs/form_message.h"

namespace varnel {

using test::WhenModal;

class LogFile : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void aMissingLogIsCreatedAndShownEmpty();
  void theLogIsShownUnchangedAndEmptiedAfterYes();
  void enterAndEscapeClose();
  void withoutAPrinterThePrintBecomesAPdfFile();
  void aBigLogShowsItsNewestLinesAtOnceAndEndsUpWhole();

 private:
  bool Show(const std::function<void(TFormLogFile&)>& act);

  std::unique_ptr<test::TempHome> home_;
  std::unique_ptr<ProgramLog> log_;
  std::unique_ptr<TFormMessage> message_;
  std::unique_ptr<TFormLogFile> viewer_;
};

void LogFile::init() {
  home_ = std::make_unique<test::TempHome>();
  log_ = std::make_unique<ProgramLog>(home_->LogPath());
  message_ = std::make_unique<TFormMessage>();
  viewer_ = std::make_unique<TFormLogFile>(*log_);
  viewer_->SetMessageBox(message_.get());
}

void LogFile::cleanup() {
  viewer_.reset();
  message_.reset();
  log_.reset();
  home_.reset();
}

bool LogFile::Show(const std::function<void(TFormLogFile&)>& act) {
  bool failed = false;
  WhenModal<TFormLogFile>([&](TFormLogFile* v) {
    act(*v);
    if (v->isVisible()) QTest::mouseClick(v->btnClose, Qt::LeftButton);
  }, &failed);
  viewer_->exec();
  return !failed;
}

void LogFile::aMissingLogIsCreatedAndShownEmpty() {
  QVERIFY(!QFile::exists(home_->LogPath()));
  QVERIFY(Show([](TFormLogFile& v) {
    QCOMPARE(v.windowTitle(), QString("Logfile  -  Varnel.LOG"));
    QVERIFY(v.RichEdit1->toPlainText().isEmpty());
  }));
  QVERIFY(QFile::exists(home_->LogPath()));
  QCOMPARE(QFileInfo(home_->LogPath()).size(), 0);
}

void LogFile::theLogIsShownUnchangedAndEmptiedAfterYes() {
  QVERIFY(log_->CreateIfMissing());
  QVERIFY(log_->AddToLogFile("first"));
  QVERIFY(log_->AddToLogFile("\r\nsecond"));  // starts with CR LF: a stamp-only first line
  QVERIFY(Show([](TFormLogFile& v) {
    const QStringList lines = v.RichEdit1->toPlainText().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].endsWith("\tfirst"));
    QVERIFY(lines[1].endsWith('\t'));
    QCOMPARE(lines[2], QString("second"));
    // The newest entries are in view.
    QCOMPARE(v.RichEdit1->textCursor().atEnd(), true);

    WhenModal<TFormMessage>([](TFormMessage* m) { QTest::mouseClick(m->BtR, Qt::LeftButton); });
    QTest::mouseClick(v.btnReset, Qt::LeftButton);  // No: nothing changes
    QVERIFY(!v.RichEdit1->toPlainText().isEmpty());
    QString question;
    WhenModal<TFormMessage>([&](TFormMessage* m) {
      question = m->LbText->text();
      QTest::mouseClick(m->BtM, Qt::LeftButton);
    });
    QTest::mouseClick(v.btnReset, Qt::LeftButton);  // Yes
    QCOMPARE(question, QString("Do you really want to clear the logfile ?"));
    QVERIFY(v.RichEdit1->toPlainText().isEmpty());
  }));
  QCOMPARE(QFileInfo(home_->LogPath()).size(), 0);
  QVERIFY(log_->AddToLogFile("after"));
  QVERIFY(log_->ReadAll().section('\t', 1).startsWith("after\r\n"));
}

void LogFile::enterAndEscapeClose() {
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    bool closed = false;
    QVERIFY(Show([&](TFormLogFile& v) {
      QTest::keyClick(v.RichEdit1, key);
      closed = !v.isVisible();
    }));
    QVERIFY(closed);
  }
}

void LogFile::withoutAPrinterThePrintBecomesAPdfFile() {
  if (!QPrinterInfo::defaultPrinter().isNull()) QSKIP("this system has a printer");
  QVERIFY(log_->CreateIfMissing());
  for (int i = 0; i < 200; ++i) QVERIFY(log_->AddToLogFile("line " + std::to_string(i)));
  const QString pdf = home_->Root() + "/log.pdf";
  QString offer;
  QVERIFY(Show([&](TFormLogFile& v) {
    WhenModal<TFormMessage>([&](TFormMessage* m) {
      offer = m->LbText->text();
      WhenModal<QFileDialog>([&](QFileDialog* f) {
        test::ChooseFile(f, pdf);
      });
      QTest::mouseClick(m->BtM, Qt::LeftButton);  // Yes
    });
    QTest::mouseClick(v.btnPrint, Qt::LeftButton);
  }));
  QCOMPARE(offer, QString("No printer is installed. Save the logfile as a PDF file instead ?"));
  QFile file(pdf);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  QVERIFY(bytes.startsWith("%PDF"));
  QVERIFY(bytes.size() > 1000);
}

void LogFile::aBigLogShowsItsNewestLinesAtOnceAndEndsUpWhole() {
  // 2.5 MB of numbered entries with lines of different lengths, so the pieces that go in
  // behind the newest part end at every kind of place.
  QFile file(home_->LogPath());
  QVERIFY(file.open(QIODevice::WriteOnly));
  QByteArray bytes;
  for (int n = 0; bytes.size() < 2'500'000; ++n) {
    bytes += "09.12.2026 10:00:00\tentry " + QByteArray::number(n) + ' ' +
             QByteArray(n % 97, 'x') + (n % 50 == 0 ? "\r\n" : "") + "\r\n";
  }
  bytes += "09.12.2026 10:00:01\tthe newest entry\r\n";
  file.write(bytes);
  file.close();
  QPlainTextEdit whole;
  whole.setPlainText(log_->ReadAll());

  for (bool resetWhileLoading : {false, true}) {
    QVERIFY(Show([&](TFormLogFile& v) {
      QVERIFY(v.RichEdit1->toPlainText().endsWith("\tthe newest entry\n"));
      QVERIFY(v.RichEdit1->textCursor().atEnd());
      if (resetWhileLoading) {
        QVERIFY(v.Loading());
        WhenModal<TFormMessage>([](TFormMessage* m) { QTest::mouseClick(m->BtM, Qt::LeftButton); });
        QTest::mouseClick(v.btnReset, Qt::LeftButton);
        QTest::qWait(300);  // the older part, read meanwhile, stays out
        QVERIFY(v.RichEdit1->toPlainText().isEmpty());
        return;
      }
      QTRY_VERIFY_WITH_TIMEOUT(!v.Loading(), 30000);
      QVERIFY(v.Progress->isHidden());
      QCOMPARE(v.RichEdit1->document()->blockCount(), whole.document()->blockCount());
      QVERIFY(v.RichEdit1->toPlainText() == whole.toPlainText());
      QVERIFY(v.RichEdit1->textCursor().atEnd());
      QScrollBar* bar = v.RichEdit1->verticalScrollBar();
      QCOMPARE(bar->value(), bar->maximum());  // still at the newest entries
    }));
  }
  QCOMPARE(QFileInfo(home_->LogPath()).size(), 0);
}

}  // namespace varnel

QTEST_MAIN(varnel::LogFile)
#include "log_file_test.moc"
