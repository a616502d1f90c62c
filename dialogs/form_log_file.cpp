#include "dialogs/form_log_file.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "app/program_log.h"
#include "dialogs/dialog_support.h"
#include "dialogs/form_message.h"

namespace varnel {

namespace {

constexpr int kNoPrinterText = 708;
constexpr int kSavePdfTitle = 709;
constexpr int kPdfFailedText = 710;
constexpr int kPrintFailedText = 711;
constexpr int kResetFailedText = 712;

}  // namespace

TFormLogFile::TFormLogFile(const ProgramLog& log, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint),
      log_(log) {
  setObjectName(QStringLiteral("FormLogFile"));
  RichEdit1 = new QPlainTextEdit(this);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setReadOnly(true);
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
  connect(btnReset, &QPushButton::clicked, this, &TFormLogFile::btnResetClick);
  connect(btnPrint, &QPushButton::clicked, this, &TFormLogFile::btnPrintClick);
  connect(btnClose, &QPushButton::clicked, this, &TFormLogFile::btnCloseClick);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnReset);
  buttons->addWidget(btnPrint);
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
  setWindowTitle(Tx(450));
  btnReset->setText(Tx(451));
  btnClose->setText(Tx(452));
  btnPrint->setText(Tx(455));
}

bool TFormLogFile::LoadLogFile() {
  RichEdit1->clear();
  setWindowTitle(Tx(450) + QStringLiteral("  -  ") + QFileInfo(log_.Path()).fileName());
  if (QFileInfo::exists(log_.Path())) {
    RichEdit1->setPlainText(log_.ReadAll());
    if (!RichEdit1->document()->isEmpty()) {
      // The newest entries are at the end.
      RichEdit1->moveCursor(QTextCursor::End);
      RichEdit1->ensureCursorVisible();
    }
  } else {
    log_.CreateIfMissing();
  }
  return true;
}

void TFormLogFile::showEvent(QShowEvent* event) {
  LoadLogFile();
  QDialog::showEvent(event);
}

void TFormLogFile::Tell(int textId) {
  if (message_) message_->ShowMessageBox(Tx(textId), Tx(450), mkOk);
}

void TFormLogFile::btnResetClick() {
  if (!message_ || message_->ShowMessageBox(Tx(453), Tx(454), mkYesNo) != maYes) return;
  RichEdit1->clear();
  if (!log_.Reset()) {
    LoadLogFile();  // the box shows what the file still holds
    Tell(kResetFailedText);
  }
}

void TFormLogFile::btnPrintClick() {
  const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
  if (printerInfo.isNull()) {
    PrintToPdf();
    return;
  }
  QPrinter printer(printerInfo, QPrinter::HighResolution);
  printer.setDocName(Tx(456));
  RichEdit1->print(&printer);
  if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
    Tell(kPrintFailedText);
  }
}

void TFormLogFile::PrintToPdf() {
  // Without a printer the button would otherwise do nothing at all.
  if (!message_ || message_->ShowMessageBox(Tx(kNoPrinterText), Tx(455), mkYesNo) != maYes) {
    return;
  }
  const QString start =
      QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
          .filePath(QFileInfo(log_.Path()).completeBaseName() + QStringLiteral(".pdf"));
  QFileDialog dialog(this, Tx(kSavePdfTitle), start, QStringLiteral("PDF (*.pdf)"));
  dialog.setObjectName(QStringLiteral("SavePdfDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString file = dialog.selectedFiles().first();

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  printer.setDocName(Tx(456));
  printer.setCreator(Tx(0));
  RichEdit1->print(&printer);
  const QFileInfo written(file);
  if (printer.printerState() == QPrinter::Error || !written.exists() || written.size() == 0) {
    Tell(kPdfFailedText);
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
