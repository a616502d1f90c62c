#pragma once
#include <QColor>
#include <QLineEdit>
#include <functional>

// A single-line edit for one floating-point number in the system's notation: only digits,
// "-", "E"/"e" and the decimal separator can be entered ("." and "," become the system's
// separator), and the background shows whether the text is a number.
namespace varnel {

class TFloatEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TFloatEdit(QWidget* parent = nullptr);

  QColor ColorOk = Qt::white;
  QColor ColorError = Qt::red;
  // Lets the owner judge or correct the text after the built-in test.
  std::function<void(TFloatEdit& sender, QString& text, bool& valid)> OnValidInput;
  // The owner's key rule, asked before the built-in filter: the text as it would become
  // after the key; false refuses the key.
  std::function<bool(const QString& before, const QString& after)> OnKeyPress;
  // The owner's leave handler; runs before Validate.
  std::function<void(TFloatEdit& sender)> OnExit;

  // The text as a number; 0 when it is not one.
  double GetValue() const;
  // The text := x in the general number format of the system, then Validate.
  void SetValue(double x);
  // Tests the text, lets OnValidInput have its say, colours the background; the verdict.
  bool Validate();

  // The system's decimal separator.
  static QChar DecimalSeparator();

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  friend class FloatCharValidator;
  QString lastText_;  // the text before the change being validated
};

}  // namespace varnel
