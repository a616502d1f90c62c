#pragma once
#include <QSize>

class QWidget;

// Where a window of the program opens, and the keys every window understands.
namespace varnel {

// Gives `window` the size `preferred` (its size hint when empty), but no more than the free
// area of the screen that `anchor` is on (the window's own screen without an anchor), and
// centres it over `anchor`, moved so that it lies on that screen as a whole, title bar
// included. Call it before the window is shown.
void PlaceOnScreenOf(QWidget* window, const QWidget* anchor, QSize preferred = {});

// Escape closes `window`, whichever of its controls has the focus. A plain window has no
// such key of its own; a dialog has, and does not need this.
void CloseOnEscape(QWidget* window);

}  // namespace varnel
