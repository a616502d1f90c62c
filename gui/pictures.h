#pragma once
#include <QIcon>
#include <QPixmap>
#include <QWidget>

// The window's pictures, drawn at run time so that no image file can go missing.
namespace varnel {

// The band across the top of the window, drawn at its size and the screen's pixel density
// whenever it is shown, so that it stays sharp when the window grows or the screen scales.
class PictureBand : public QWidget {
 public:
  explicit PictureBand(QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
// Each icon holds its symbol drawn at the usual sizes and at twice them, for screens that
// scale by 2.
// The start/stop toggle: a logger symbol, green at rest, red while running.
QIcon StartPicture(bool running);
// The program's icon (window and tray).
QIcon ProgramIcon();
// Memo lines that report a failure, and those the operator should look at: dark enough to
// read on white.
QColor MemoErrorColour();
QColor MemoWarningColour();

}  // namespace varnel
