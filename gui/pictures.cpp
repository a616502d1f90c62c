#include "gui/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace varnel {

namespace {

// A pressure trace across a rectangle: a slow wave with a small ripple on it.
QPainterPath Trace(const QRectF& r) {
  QPainterPath path;
  for (int i = 0; i <= 200; ++i) {
    const double t = i / 200.0;
    const double y = 0.5 - 0.28 * std::sin(t * 6.6) - 0.08 * std::sin(t * 41.0);
    const QPointF p(r.left() + t * r.width(), r.top() + y * r.height());
    if (i == 0) {
      path.moveTo(p);
    } else {
      path.lineTo(p);
    }
  }
  return path;
}

QPixmap LoggerSymbol(int size, const QColor& colour) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF body(size * 0.12, size * 0.12, size * 0.76, size * 0.76);
  p.setPen(QPen(colour.darker(150), size / 16.0));
  p.setBrush(colour);
  p.drawRoundedRect(body, size * 0.14, size * 0.14);
  p.setPen(QPen(Qt::white, size / 12.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(Trace(body.adjusted(size * 0.1, size * 0.16, -size * 0.1, -size * 0.16)));
  return pm;
}

}  // namespace

PictureBand::PictureBand(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setFixedHeight(44);
}

QSize PictureBand::sizeHint() const { return {826, 44}; }

void PictureBand::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int width = this->width(), height = this->height();
  QLinearGradient g(0, 0, width, 0);
  g.setColorAt(0.0, QColor(16, 52, 96));
  g.setColorAt(0.6, QColor(34, 98, 150));
  g.setColorAt(1.0, QColor(120, 170, 205));
  p.fillRect(rect(), g);
  p.setPen(QPen(QColor(255, 255, 255, 70), 2));
  p.drawPath(Trace(QRectF(width * 0.35, 4, width * 0.65, height - 8)));
  QFont f = p.font();
  f.setPixelSize(height * 11 / 20);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRect(16, 0, width / 2, height), Qt::AlignVCenter | Qt::AlignLeft,
             QStringLiteral("Varnel"));
}

QIcon StartPicture(bool running) {
  QIcon icon;
  const QColor colour = running ? QColor(196, 48, 40) : QColor(46, 140, 70);
  for (int size : {16, 32, 48, 64, 96}) icon.addPixmap(LoggerSymbol(size, colour));
  return icon;
}

QColor MemoErrorColour() { return {184, 20, 20}; }
QColor MemoWarningColour() { return {168, 96, 0}; }

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 22, 32, 44, 48, 64, 96, 128}) {
    icon.addPixmap(LoggerSymbol(size, QColor(34, 98, 150)));
  }
  return icon;
}

}  // namespace varnel
