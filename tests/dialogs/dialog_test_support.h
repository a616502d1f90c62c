#pragma once
#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "tests/common/temp_home.h"

// Helpers for driving modal dialogs from a test: a modal loop is never left waiting.
namespace varnel::test {

// Runs `act` on the first modal window of type T once it is shown (polling every 10 ms).
// When none appears within `timeoutMs`, `failed` is set and whatever modal window is open
// is closed, so the test fails instead of waiting for ever. Returns at once.
template <class T>
void WhenModal(std::function<void(T*)> act, bool* failed = nullptr, int timeoutMs = 30000) {
  auto* timer = new QTimer;
  auto elapsed = std::make_shared<QElapsedTimer>();
  elapsed->start();
  QObject::connect(timer, &QTimer::timeout, [timer, act, failed, elapsed, timeoutMs] {
    QWidget* modal = QApplication::activeModalWidget();
    T* target = qobject_cast<T*>(modal);
    if (target && target->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(target);
      return;
    }
    if (elapsed->elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
      if (failed) *failed = true;
      if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) open->done(0);
    }
  });
  timer->start(10);
}

// Chooses `path` in an open file dialog the way a person does: typed into the name field,
// then accepted. selectFile() leaves the field alone while it has the focus, so whether it
// took would depend on which window the platform last activated.
inline void ChooseFile(QFileDialog* dialog, const QString& path) {
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (name) name->setText(path);
  static_cast<QDialog*>(dialog)->accept();
  // A refused name (no such file) must not leave the dialog waiting.
  if (dialog->isVisible()) dialog->reject();
}

}  // namespace varnel::test
