#include "dialogs/form_log_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "common/program_log.h"
#include "dialogs/dialog_support.h"
#include "dialogs/form_message.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

// A log up to this size is shown whole at once; of a bigger one its last this many bytes
// (from a line's start) at once and the rest behind them. Pieces of the rest go in this
// big, one per turn of the window's event loop: each takes a few milliseconds.
constexpr qint64 kShownAtOnce = 256 * 1024;
constexpr qsizetype kPieceChars = 128 * 1024;

// The first `bytes` bytes of the file as text; empty when it cannot be read.
QString ReadStart(const QString& path, qint64 bytes) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLocal8Bit(file.read(bytes));
}

}  // namespace

TFormLogFile::TFormLogFile(const ProgramLog& log, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint),
      log_(log) {
  setObjectName(QStringLiteral("FormLogFile"));
  RichEdit1 = new QPlainTextEdit(this);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setReadOnly(true);
  // Nothing to undo in a read-only box; the pieces of a big log would only pile up there.
  RichEdit1->setUndoRedoEnabled(false);
  RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setTabStopDistance(QFontMetricsF(RichEdit1->font()).horizontalAdvance(QLatin1Char(' ')) * 8);
  btnReset = new QPushButton(this);
  btnReset->setObjectName(QStringLiteral("btnReset"));
  btnPrint = new QPushButton(this);
  btnPrint->setObjectName(QStringLiteral("btnPrint"));
  btnClose = new QPushButton(this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  for (QPushButton* b : {btnReset, btnPrint, btnClose}) b->setAutoDefault(false);
  Progress = new QProgressBar(this);
  Progress->setObjectName(QStringLiteral("Progress"));
  Progress->setTextVisible(false);
  Progress->setRange(0, 1000);
  Progress->setMaximumHeight(btnClose->sizeHint().height() / 2);
  Progress->hide();
  feed_ = new QTimer(this);
  feed_->setInterval(0);
  connect(feed_, &QTimer::timeout, this, [this] { FeedOlder(false); });
  // The view stays on the newest entries while the older ones go in, unless the operator
  // scrolls away from them.
  connect(RichEdit1->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
    QTimer::singleShot(0, this, [this] {
      const QScrollBar* bar = RichEdit1->verticalScrollBar();
      followEnd_ = bar->value() == bar->maximum();
    });
  });
  connect(btnReset, &QPushButton::clicked, this, &TFormLogFile::btnResetClick);
  connect(btnPrint, &QPushButton::clicked, this, &TFormLogFile::btnPrintClick);
  connect(btnClose, &QPushButton::clicked, this, &TFormLogFile::btnCloseClick);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnReset);
  buttons->addWidget(btnPrint);
  buttons->addStretch(1);
  buttons->addWidget(Progress, 2);
  buttons->addStretch(1);
  buttons->addWidget(btnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RichEdit1, 1);
  layout->addLayout(buttons);
  setMinimumSize(320, 160);
  resize(640, 420);
  setSizeGripEnabled(true);
  InstallKeyPreview(this);
  ApplyLanguage();
}

void TFormLogFile::ApplyLanguage() {
  setWindowTitle(Tx(kTextLogTitle));
  btnReset->setText(Tx(kTextLogReset));
  btnClose->setText(Tx(kTextLogClose));
  btnPrint->setText(Tx(kTextLogPrint));
}

bool TFormLogFile::LoadLogFile() {
  StopLoading();
  RichEdit1->clear();
  setWindowTitle(Tx(kTextLogTitle) + QStringLiteral("  -  ") + QFileInfo(log_.Path()).fileName());
  const QFileInfo info(log_.Path());
  if (!info.exists()) {
    log_.CreateIfMissing();
    return true;
  }
  QFile file(log_.Path());
  qint64 olderBytes = 0;
  if (info.size() > kShownAtOnce && file.open(QIODevice::ReadOnly) &&
      file.seek(info.size() - kShownAtOnce)) {
    // The newest part from the start of a line; the older part follows behind it.
    const QByteArray tail = file.readAll();
    const qsizetype lineStart = tail.indexOf('\n') + 1;
    if (lineStart > 0 && lineStart < tail.size()) {
      olderBytes = info.size() - kShownAtOnce + lineStart;
      RichEdit1->setPlainText(QString::fromLocal8Bit(tail.mid(lineStart)));
    }
  }
  if (olderBytes == 0) RichEdit1->setPlainText(log_.ReadAll());
  if (!RichEdit1->document()->isEmpty()) {
    // The newest entries are at the end.
    RichEdit1->moveCursor(QTextCursor::End);
    RichEdit1->ensureCursorVisible();
  }
  if (olderBytes > 0) {
    loading_ = true;
    followEnd_ = true;
    Progress->setValue(0);
    Progress->show();
    const int generation = generation_;
    const QString path = log_.Path();
    work_.Run<QString>([path, olderBytes] { return ReadStart(path, olderBytes); },
                       [this, generation](QString older) {
                         if (generation != generation_) return;
                         older_ = std::move(older);
                         olderLeft_ = older_.size();
                         feed_->start();
                       });
  }
  return true;
}

void TFormLogFile::FeedOlder(bool all) {
  if (!loading_) return;
  QScrollBar* bar = RichEdit1->verticalScrollBar();
  const int lineBefore = bar->value();
  const int blocksBefore = RichEdit1->document()->blockCount();
  // The pieces go in from the last to the first, each in front of what is there, each
  // ending where a line ends.
  qsizetype from = 0;
  if (!all && olderLeft_ > kPieceChars) {
    from = older_.lastIndexOf(QLatin1Char('\n'), olderLeft_ - kPieceChars) + 1;
  }
  QTextCursor at(RichEdit1->document());
  at.movePosition(QTextCursor::Start);
  at.insertText(older_.mid(from, olderLeft_ - from));
  olderLeft_ = from;
  if (followEnd_) {
    bar->setValue(bar->maximum());
  } else {  // the lines the operator scrolled to stay in view
    bar->setValue(lineBefore + RichEdit1->document()->blockCount() - blocksBefore);
  }
  Progress->setValue(static_cast<int>(1000 - 1000 * olderLeft_ / std::max<qsizetype>(1, older_.size())));
  if (olderLeft_ == 0) StopLoading();
}

void TFormLogFile::StopLoading() {
  ++generation_;  // a reading still under way is dropped when it ends
  feed_->stop();
  loading_ = false;
  older_.clear();
  olderLeft_ = 0;
  Progress->hide();
}

void TFormLogFile::showEvent(QShowEvent* event) {
  LoadLogFile();
  QDialog::showEvent(event);
}

void TFormLogFile::Tell(int textId) {
  if (message_) {
    message_->ShowMessageBox(Tx(textId), Tx(kTextLogTitle), mkOk, MessageIcon::Critical);
  }
}

void TFormLogFile::btnResetClick() {
  if (!message_ ||
      message_->ShowMessageBox(Tx(kTextLogClearQuestion), Tx(kTextLogClearTitle), mkYesNo) !=
          maYes) {
    return;
  }
  StopLoading();
  RichEdit1->clear();
  if (!log_.Reset()) {
    LoadLogFile();  // the box shows what the file still holds
    Tell(kTextResetFailed);
  }
}

void TFormLogFile::btnPrintClick() {
  // The whole log is printed: what is still being read is waited for.
  if (loading_) {
    while (loading_ && !feed_->isActive()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    FeedOlder(true);
  }
  const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
  if (printerInfo.isNull()) {
    PrintToPdf();
    return;
  }
  QPrinter printer(printerInfo, QPrinter::HighResolution);
  printer.setDocName(Tx(kTextLogDocName));
  RichEdit1->print(&printer);
  if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
    Tell(kTextPrintFailed);
  }
}

void TFormLogFile::PrintToPdf() {
  // Without a printer the button would otherwise do nothing at all.
  if (!message_ ||
      message_->ShowMessageBox(Tx(kTextNoPrinter), Tx(kTextLogPrint), mkYesNo) != maYes) {
    return;
  }
  const QString start =
      QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
          .filePath(QFileInfo(log_.Path()).completeBaseName() + QStringLiteral(".pdf"));
  QFileDialog dialog(this, Tx(kTextSavePdfTitle), start, QStringLiteral("PDF (*.pdf)"));
  dialog.setObjectName(QStringLiteral("SavePdfDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString file = dialog.selectedFiles().first();

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  printer.setDocName(Tx(kTextLogDocName));
  printer.setCreator(Tx(kTextProgramName));
  RichEdit1->print(&printer);
  const QFileInfo written(file);
  if (printer.printerState() == QPrinter::Error || !written.exists() || written.size() == 0) {
    Tell(kTextPdfFailed);
  }
}

void TFormLogFile::btnCloseClick() { done(QDialog::Accepted); }

bool TFormLogFile::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (IsEnterKey(key) || key == Qt::Key_Escape) {
      btnCloseClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace varnel
