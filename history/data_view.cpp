#include "history/data_view.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QVBoxLayout>

#include "files/idc_reader.h"
#include "lang/lang.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

QString Text(int id) { return QString::fromStdString(LoadText(id)); }

}  // namespace

DataView::DataView(QString dataFolder, QWidget* parent)
    : QWidget(parent), dataFolder_(std::move(dataFolder)) {
  setWindowTitle(QStringLiteral("Varnel - ") + Text(kTextDataTitle));
  auto* layout = new QVBoxLayout(this);
  auto* buttons = new QHBoxLayout();
  open_ = new QPushButton(Text(kTextOpenFile), this);
  newest_ = new QPushButton(Text(kTextNewestFile), this);
  resetZoom_ = new QPushButton(Text(kTextResetZoom), this);
  status_ = new QLabel(this);
  buttons->addWidget(open_);
  buttons->addWidget(newest_);
  buttons->addWidget(resetZoom_);
  buttons->addWidget(status_, 1);
  layout->addLayout(buttons);

  view_ = new QChartView(this);
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setRubberBand(QChartView::HorizontalRubberBand);
  view_->setToolTip(Text(kTextZoomHint));
  layout->addWidget(view_, 1);
  boxRow_ = new QHBoxLayout();
  layout->addLayout(boxRow_);

  connect(open_, &QPushButton::clicked, this, [this] { OpenFileClick(); });
  connect(newest_, &QPushButton::clicked, this, [this] { LoadNewestInBackground(0); });
  connect(resetZoom_, &QPushButton::clicked, this, [this] {
    if (chart_.Chart) chart_.Chart->zoomReset();
  });
  resize(1000, 640);
}

void DataView::ShowError(const QString& text) {
  error_ = text;
  status_->setText(text);
}

DataView::Loaded DataView::Load(const QString& path) {
  Loaded out;
  out.Path = path;
  try {
    out.Plot = PreparePlot(ReadIdcFile(path.toStdString()));
  } catch (const std::exception& e) {
    out.Why = QString::fromLocal8Bit(e.what());
  }
  return out;
}

bool DataView::LoadFile(const QString& path) { return Show(Load(path)); }

void DataView::LoadInBackground(std::function<Loaded()> work) {
  // A newer load overtakes one still under way; only its result is shown.
  const int generation = ++generation_;
  loading_ = true;
  status_->setText(Text(kTextReadingDataFile));
  work_.Run<Loaded>(std::move(work), [this, generation](Loaded loaded) {
    if (generation != generation_) return;
    loading_ = false;
    Show(std::move(loaded));
    if (OnLoaded) OnLoaded();
  });
}

void DataView::LoadFileInBackground(const QString& path) {
  LoadInBackground([path] { return Load(path); });
}

void DataView::LoadNewestInBackground(std::uint32_t serial) {
  const QString folder = dataFolder_;
  LoadInBackground([folder, serial] {
    const QString file = NewestIdcFile(folder, serial);
    return file.isEmpty() ? Loaded{} : Load(file);
  });
}

bool DataView::Show(Loaded loaded) {
  if (loaded.Path.isEmpty()) {
    ShowError(Text(kTextFileUnreadable) + QStringLiteral(": ") +
              QDir::toNativeSeparators(dataFolder_));
    return false;
  }
  const QString& path = loaded.Path;
  if (!loaded.Plot) {
    ShowError(Text(kTextFileUnreadable) + QStringLiteral(": ") + QFileInfo(path).fileName() +
              QStringLiteral(" (") + loaded.Why + QLatin1Char(')'));
    return false;
  }
  IdcChart chart = BuildIdcChart(*loaded.Plot);
  QChart* old = view_->chart();
  view_->setChart(chart.Chart);  // the view owns the new chart
  delete old;
  chart_ = chart;
  path_ = path;
  error_.clear();
  status_->setText(chart_.Points == 0 ? Text(kTextNoMeasurements) : QFileInfo(path).fileName());

  for (QCheckBox* b : boxes_) delete b;
  boxes_.clear();
  std::vector<QXYSeries*> all(chart_.Channels.begin(), chart_.Channels.end());
  all.push_back(chart_.Events);
  all.push_back(chart_.Markers);
  for (QXYSeries* series : all) {
    auto* box = new QCheckBox(series->name(), this);
    box->setChecked(true);
    connect(box, &QCheckBox::toggled, series, &QXYSeries::setVisible);
    boxRow_->addWidget(box);
    boxes_.push_back(box);
  }
  return true;
}

QString NewestIdcFile(const QString& dataFolder, std::uint32_t serial) {
  const QString root = serial ? dataFolder + QLatin1Char('/') + QString::number(serial) : dataFolder;
  QDirIterator it(root, {QStringLiteral("*.idc"), QStringLiteral("*.IDC")}, QDir::Files,
                  serial ? QDirIterator::NoIteratorFlags : QDirIterator::Subdirectories);
  QString best;
  QDateTime bestTime;
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    if (info.completeBaseName().endsWith(QLatin1String("_BAK"), Qt::CaseInsensitive)) continue;
    if (best.isEmpty() || info.lastModified() > bestTime) {
      best = info.absoluteFilePath();
      bestTime = info.lastModified();
    }
  }
  return best;
}

QString DataView::NewestFile(std::uint32_t serial) const { return NewestIdcFile(dataFolder_, serial); }

bool DataView::LoadNewest(std::uint32_t serial) {
  const QString file = NewestFile(serial);
  if (file.isEmpty()) {
    ShowError(Text(kTextFileUnreadable) + QStringLiteral(": ") +
              QDir::toNativeSeparators(dataFolder_));
    return false;
  }
  return LoadFile(file);
}

void DataView::OpenFileClick() {
  const QString start = path_.isEmpty() ? dataFolder_ : QFileInfo(path_).absolutePath();
  const QString file = QFileDialog::getOpenFileName(this, Text(kTextOpenFile), start,
                                                    QStringLiteral("*.idc *.IDC"));
  if (!file.isEmpty()) LoadFileInBackground(file);
}

}  // namespace varnel
