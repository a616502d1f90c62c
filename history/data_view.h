#pragma once
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/background_work.h"
#include "plots/idc_chart.h"

#include <functional>

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

// The newest data file below `dataFolder` of a logger (or of any logger for serial 0), not
// counting backup copies; empty when there is none. Any thread.
QString NewestIdcFile(const QString& dataFolder, std::uint32_t serial);

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
  // The same without holding up the window: the folder is searched and the file read on a
  // thread of their own, the plot follows (or the reason in the view and in ErrorText).
  void LoadFileInBackground(const QString& path);
  void LoadNewestInBackground(std::uint32_t serial = 0);
  // A file is being searched for or read in the background.
  bool Loading() const { return loading_; }
  // Called on the window's thread whenever a background load has ended.
  std::function<void()> OnLoaded;

  const QString& LoadedPath() const { return path_; }
  const QString& ErrorText() const { return error_; }
  QChartView* ChartView() const { return view_; }
  const IdcChart& Chart() const { return chart_; }
  // The check boxes: channels in file order, then events, then time markers.
  const std::vector<QCheckBox*>& SeriesBoxes() const { return boxes_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* ResetZoomButton() const { return resetZoom_; }

 private:
  // What a load found: the file and its plot, or the reason it failed.
  struct Loaded {
    QString Path;
    std::optional<IdcPlotData> Plot;
    QString Why;  // the reader's complaint; no file at all when Path is empty too
  };
  static Loaded Load(const QString& path);
  void LoadInBackground(std::function<Loaded()> work);
  bool Show(Loaded loaded);
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
  bool loading_ = false;
  int generation_ = 0;
  BackgroundWork work_{this};
};

}  // namespace varnel
