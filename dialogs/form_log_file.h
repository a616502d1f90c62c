#pragma once
#include <QDialog>
#include <QString>

#include "common/background_work.h"

class QPlainTextEdit;
class QPrinter;
class QProgressBar;
class QPushButton;
class QTimer;

// The log viewer: shows the program log as it stands in the file (TABs as tabs), empties it
// after a confirmation, and prints it. Where the system has no printer it offers to save the
// print as a PDF file instead. A big log shows its newest part at once; the older part is
// read on a thread of its own and put in front of it a piece at a time, so the window never
// waits for the whole file.
namespace varnel {

class ProgramLog;
class TFormMessage;

class TFormLogFile : public QDialog {
  Q_OBJECT
 public:
  TFormLogFile(const ProgramLog& log, QWidget* owner = nullptr);

  void SetMessageBox(TFormMessage* box) { message_ = box; }

  // Fills the text box from the file; creates a missing log empty.
  bool LoadLogFile();
  // The older part of a big log is still being read or put in.
  bool Loading() const { return loading_; }

  QPlainTextEdit* RichEdit1;
  QPushButton* btnReset;
  QPushButton* btnPrint;
  QPushButton* btnClose;
  QProgressBar* Progress;  // shown while the older part of a big log goes in

 public slots:
  void btnResetClick();
  void btnPrintClick();
  void btnCloseClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyLanguage();
  void PrintToPdf();
  void Tell(int textId);
  // Puts the next piece of the older part in front of the text; all of it when `all`.
  void FeedOlder(bool all);
  void StopLoading();

  const ProgramLog& log_;
  TFormMessage* message_ = nullptr;
  bool loading_ = false;
  bool followEnd_ = true;  // the view is kept on the newest entries
  int generation_ = 0;
  QString older_;           // the part of the log in front of what the box shows
  qsizetype olderLeft_ = 0;  // of which the first this many characters are not in the box yet
  QTimer* feed_ = nullptr;
  BackgroundWork work_{this};
};

}  // namespace varnel
