#include "dialogs/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace varnel {

namespace {

class EscapeCloses : public QObject {
 public:
  explicit EscapeCloses(QWidget* window) : QObject(window), window_(window) {}

 protected:
  // A key that no control took comes up to the window; Escape is one of them.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
      window_->close();
      return true;
    }
    return false;
  }

 private:
  QWidget* window_;
};

}  // namespace

void PlaceOnScreenOf(QWidget* window, const QWidget* anchor, QSize preferred) {
  const QWidget* top = anchor ? anchor->window() : nullptr;
  QScreen* screen = top ? top->screen() : window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect free = screen->availableGeometry();
  // The frame this window will get is not known before it is shown: the anchor's own
  // frame (title bar and borders) is the best guess, else a common title bar and border.
  QMargins frame(8, 32, 8, 8);
  if (top && top->isVisible()) {
    const QRect outer = top->frameGeometry(), inner = top->geometry();
    frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                     outer.right() - inner.right(), outer.bottom() - inner.bottom());
  }
  QSize size = preferred.isValid() ? preferred : window->sizeHint();
  size = size.expandedTo(window->minimumSize());
  size = size.boundedTo(QSize(free.width() - frame.left() - frame.right(),
                              free.height() - frame.top() - frame.bottom()));
  window->resize(size);
  QPoint centre = top && top->isVisible() ? top->geometry().center() : free.center();
  if (!free.contains(centre)) centre = free.center();
  QRect outer(QPoint(0, 0), QSize(size.width() + frame.left() + frame.right(),
                                  size.height() + frame.top() + frame.bottom()));
  outer.moveCenter(centre);
  outer.moveLeft(std::clamp(outer.left(), free.left(), std::max(free.left(), free.right() - outer.width() + 1)));
  outer.moveTop(std::clamp(outer.top(), free.top(), std::max(free.top(), free.bottom() - outer.height() + 1)));
  window->move(outer.topLeft());  // move() places the frame, resize() the inside
}

void CloseOnEscape(QWidget* window) { window->installEventFilter(new EscapeCloses(window)); }

}  // namespace varnel
