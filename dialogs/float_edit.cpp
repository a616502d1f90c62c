#include "dialogs/float_edit.h"

#include <QLocale>
#include <QValidator>

#include "common/locale_text.h"

namespace varnel {

// The character filter of the edit. It sees every change the operator makes (typing and
// pasting alike), turns "." and "," into the system's separator and refuses anything but
// the characters a number is written with.
class FloatCharValidator : public QValidator {
 public:
  explicit FloatCharValidator(TFloatEdit* edit) : QValidator(edit), edit_(edit) {}

  State validate(QString& input, int& /*pos*/) const override {
    const QString& before = edit_->lastText_;
    if (edit_->OnKeyPress && input != before && !edit_->OnKeyPress(before, input)) {
      return Invalid;
    }
    const QChar sep = TFloatEdit::DecimalSeparator();
    for (QChar& c : input) {
      if (c == QLatin1Char('.') || c == QLatin1Char(',')) c = sep;
      const bool allowed = c.isDigit() && c.unicode() < 128;
      if (!allowed && c != QLatin1Char('-') && c != QLatin1Char('E') &&
          c != QLatin1Char('e') && c != sep) {
        return Invalid;
      }
    }
    return Acceptable;
  }

 private:
  TFloatEdit* edit_;
};

TFloatEdit::TFloatEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new FloatCharValidator(this));
  connect(this, &QLineEdit::textChanged, this, [this](const QString& t) { lastText_ = t; });
  Validate();
}

QChar TFloatEdit::DecimalSeparator() {
  const QString p = QLocale::system().decimalPoint();
  return p.isEmpty() ? QLatin1Char('.') : p.at(0);
}

double TFloatEdit::GetValue() const {
  double v = 0;
  return ParseLocaleNumber(text(), v) ? v : 0.0;
}

void TFloatEdit::SetValue(double x) {
  QString t = QString::number(x, 'g', 15);
  t.replace(QLatin1Char('.'), DecimalSeparator());
  setText(t);
  Validate();
}

bool TFloatEdit::Validate() {
  QString t = text();
  double v = 0;
  bool valid = ParseLocaleNumber(t, v);
  if (OnValidInput) OnValidInput(*this, t, valid);
  if (t != text()) setText(t);
  QPalette pal = palette();
  pal.setColor(QPalette::Base, valid ? ColorOk : ColorError);
  setPalette(pal);
  return valid;
}

void TFloatEdit::focusOutEvent(QFocusEvent* event) {
  if (OnExit) OnExit(*this);
  Validate();
  QLineEdit::focusOutEvent(event);
}

}  // namespace varnel
