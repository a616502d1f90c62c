#pragma once
#include <QString>
#include <QWidget>

namespace varnel {

// The activity bar: a meter filled to value/maximum from the left or, reversed, from the
// right, with a caption that stays readable over both parts.
class FillMeter : public QWidget {
 public:
  explicit FillMeter(QWidget* parent = nullptr);

  void SetMaximum(int maximum);
  void SetValue(int value);
  void SetRightToLeft(bool on);
  void SetCaption(const QString& caption);
  int Maximum() const { return maximum_; }
  int Value() const { return value_; }
  bool RightToLeft() const { return rightToLeft_; }
  const QString& Caption() const { return caption_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int maximum_ = 10;
  int value_ = 0;
  bool rightToLeft_ = false;
  QString caption_;
};

}  // namespace varnel
