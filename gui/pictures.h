#pragma once
#include <QIcon>
#include <QPixmap>

// The window's pictures, drawn at run time so that no image file can go missing.
namespace varnel {

// The band across the top of the window.
QPixmap BandPicture(int width, int height);
// The start/stop toggle: a logger symbol, green at rest, red while running.
QIcon StartPicture(bool running);
// The program's icon (window and tray).
QIcon ProgramIcon();

}  // namespace varnel
