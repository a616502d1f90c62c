#pragma once
#include <QDialog>

class QPlainTextEdit;
class QPrinter;
class QPushButton;

// The log viewer: shows the program log as it stands in the file (TABs as tabs), empties it
// after a confirmation, and prints it. Where the system has no printer it offers to save the
// print as a PDF file instead.
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

  QPlainTextEdit* RichEdit1;
  QPushButton* btnReset;
  QPushButton* btnPrint;
  QPushButton* btnClose;

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

  const ProgramLog& log_;
  TFormMessage* message_ = nullptr;
};

}  // namespace varnel
