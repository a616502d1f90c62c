#pragma once
#include <QString>
#include <QWidget>

// Small helpers every dialog uses: texts of the string table, and the dialog-wide key handling
// (the dialog sees Enter and Escape before the control that has the focus).
namespace varnel {

// The text of `id` in the language in effect.
QString Tx(int id);

// A caption for a button or check box whose text is a command such as "AT&V": the ampersand
// is shown, not taken as an accelerator mark.
QString LiteralCaption(const QString& text);

// `text` for a label that wraps: the blank before a closing "!", "?" or ":" (the table writes
// "wirksam !)") becomes a non-breaking one, so the mark never starts a line of its own.
QString KeepMarksWithWord(const QString& text);

// Routes the key presses of `dialog` and of all its child widgets (present now) through
// `dialog`'s eventFilter, as a form with key preview does.
void InstallKeyPreview(QWidget* dialog);

// True for Enter or Return on the main keyboard or the keypad.
bool IsEnterKey(int key);

// `w`, named `name`: tests and the screenshots find a control by the name the form gives it.
template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(QLatin1String(name));
  return w;
}

// Window flags of a dialog without a close box.
Qt::WindowFlags NoCloseBoxFlags();

}  // namespace varnel
