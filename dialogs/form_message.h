#pragma once
#include <QDialog>
#include <cstdint>

class QLabel;
class QPushButton;

// The program's own message box: texts and button words in the language in effect. It has
// a fixed width (long texts wrap inside it and grow it downwards), no close box and no keys of its own, so it ends
// only through one of its buttons.
namespace varnel {

// The kinds and answers are the values of the platform's message-box styles and answers.
enum MessageKind : int { mkOk = 0, mkOkCancel = 1, mkAbortRetryIgnore = 2, mkYesNoCancel = 3,
                         mkYesNo = 4, mkRetryCancel = 5 };
enum MessageAnswer : std::uint8_t { maOk = 1, maCancel = 2, maAbort = 3, maRetry = 4,
                                    maIgnore = 5, maYes = 6, maNo = 7 };

// The standard picture beside the text. Automatic: a question for the kinds that ask (Yes/No),
// a warning for those that offer Retry, otherwise information.
enum class MessageIcon { Automatic, Information, Question, Warning, Critical };

class TFormMessage : public QDialog {
  Q_OBJECT
 public:
  explicit TFormMessage(QWidget* owner = nullptr);

  // Shows `text` under `caption` with the buttons of `kind` (any other kind: OK alone), modally;
  // returns the answer of the button pressed.
  std::uint8_t ShowMessageBox(const QString& text, const QString& caption, int kind,
                              MessageIcon icon = MessageIcon::Automatic);
  // The picture of the last showing.
  MessageIcon ShownIcon() const { return shownIcon_; }

  std::uint8_t Result() const { return result_; }

  QLabel* LbText;
  QLabel* ImIcon;
  QPushButton* BtL;
  QPushButton* BtM;
  QPushButton* BtR;

 public slots:
  // Only a button ends the box.
  void reject() override {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void SetButtons(int kind);
  void Answer(QPushButton* button);

  std::uint8_t answers_[3] = {0, 0, 0};
  std::uint8_t result_ = 0;
  bool answered_ = false;
  MessageIcon shownIcon_ = MessageIcon::Information;
};

}  // namespace varnel
