#include "gui/fill_meter.h"

#include <QPainter>
#include <QStyleOptionFrame>
#include <algorithm>

namespace varnel {

FillMeter::FillMeter(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void FillMeter::SetMaximum(int maximum) {
  maximum_ = std::max(1, maximum);
  update();
}

void FillMeter::SetValue(int value) {
  value_ = std::clamp(value, 0, maximum_);
  update();
}

void FillMeter::SetRightToLeft(bool on) {
  rightToLeft_ = on;
  update();
}

void FillMeter::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void FillMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  p.setPen(palette().color(QPalette::Mid));
  p.setBrush(palette().color(QPalette::Base));
  p.drawRect(frame);
  const QRect inner = frame.adjusted(2, 2, -1, -1);
  const int width = inner.width() * value_ / maximum_;
  QRect fill(inner.left(), inner.top(), width, inner.height());
  if (rightToLeft_) fill.moveRight(inner.right());
  // A light fill, so that the caption in the window's text colour reads over it too.
  QColor colour = palette().color(QPalette::Highlight);
  colour.setAlpha(110);
  p.fillRect(fill, colour);
  if (!caption_.isEmpty()) {
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(inner, Qt::AlignCenter, caption_);
  }
}

}  // namespace varnel
