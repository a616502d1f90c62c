#pragma once
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "history/idc_chart.h"

QT_BEGIN_NAMESPACE
class QChartView;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
QT_END_NAMESPACE

// The "Data" view: one .idc file plotted, every channel against time with Qt Charts. Drag
// to zoom into a time span, right click to zoom out, "Reset zoom" for the whole file; one
// check box per channel (and for the events and time markers) shows or hides its curve.
namespace varnel {

class DataView : public QWidget {
 public:
  // dataFolder: the folder with one sub-folder of .idc files per serial number.
  explicit DataView(QString dataFolder, QWidget* parent = nullptr);

  // Shows the file; false (the reason in the view and in ErrorText) when it cannot be read.
  bool LoadFile(const QString& path);
  // The newest data file of a logger (or of any logger for serial 0), not counting backup
  // copies; empty when there is none.
  QString NewestFile(std::uint32_t serial = 0) const;
  bool LoadNewest(std::uint32_t serial = 0);

  const QString& LoadedPath() const { return path_; }
  const QString& ErrorText() const { return error_; }
  QChartView* ChartView() const { return view_; }
  const IdcChart& Chart() const { return chart_; }
  // The check boxes: channels in file order, then events, then time markers.
  const std::vector<QCheckBox*>& SeriesBoxes() const { return boxes_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* ResetZoomButton() const { return resetZoom_; }

 private:
  void OpenFileClick();
  void ShowError(const QString& text);

  QString dataFolder_;
  QString path_;
  QString error_;
  IdcChart chart_;
  QChartView* view_ = nullptr;
  QHBoxLayout* boxRow_ = nullptr;
  std::vector<QCheckBox*> boxes_;
  QLabel* status_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* newest_ = nullptr;
  QPushButton* resetZoom_ = nullptr;
};

}  // namespace varnel
