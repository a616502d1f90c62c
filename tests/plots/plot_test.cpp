// The Data view on a file of 8192 full pages (114,688 entries): read behind the window,
// drawn through a few points per column, yet every spike is on the curve and a zoomed span
// shows every one of its points.
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "files/idc_blocks.h"
#include "files/idc_reader.h"
#include "history/data_view.h"
#include "link/byte_order.h"
#include "tests/support/sim_process.h"

namespace varnel {
namespace {

std::pair<double, double> YRange(const QList<QPointF>& points) {
  const auto [lo, hi] = std::minmax_element(points.begin(), points.end(),
                                            [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
  return {lo->y(), hi->y()};
}

TEST(DataPlot, ABigFileIsDrawnThroughFewPointsWithItsSpikesAndAZoomShowsEveryPoint) {
  testsupport::TempDir dir("varnel-plot");
  const std::string folder = dir / "data";
  const std::string path = folder + "/123456/Big.IDC";
  std::filesystem::create_directories(folder + "/123456");
  IdcLoggerInfo logger;
  logger.SerialNumber = 123456;
  logger.ChannelMask = 0x0007;
  std::vector<IdcEntry> entries;
  std::mt19937 random(3);
  std::uint32_t t = 762000000;
  float v = 5.0f;
  for (int n = 0; n < 8192 * 14; ++n) {
    t += 10;
    v += (static_cast<int>(random() % 201) - 100) / 1000.0f;
    // Single-entry spikes, up and down, that only a faithful curve keeps.
    const float spike = n % 9973 == 0 ? 40.0f : n % 7919 == 0 ? -40.0f : 0.0f;
    entries.push_back({DeviceTimeToDateTime(t), static_cast<std::uint8_t>(n % 3), v + spike, 0});
  }
  WriteIdcFile(path, kIdcVersionText, logger, {762000000, 0}, entries);
  const IdcPlotData full = PreparePlot(ReadIdcFile(path));

  DataView view(QString::fromStdString(folder));
  view.resize(1000, 640);
  view.show();
  view.LoadNewestInBackground(123456);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view.Loading(); }, 60000));
  ASSERT_EQ(view.ErrorText().toStdString(), "");
  ASSERT_EQ(view.Chart().Points, static_cast<int>(entries.size()));
  ASSERT_EQ(view.Chart().Channels.size(), 3u);
  for (std::size_t c = 0; c < 3; ++c) {
    const QList<QPointF> drawn = view.Chart().Channels[c]->points();
    EXPECT_LT(drawn.size(), full.Channels[c].size() / 2);
    EXPECT_EQ(YRange(drawn), YRange(full.Channels[c])) << "channel " << c;
  }

  // A span of about 600 entries: each of its points on the curve.
  const QList<QPointF>& p0 = full.Channels[0];
  const QPointF from = p0[20000], to = p0[20200];
  view.Chart().TimeAxis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(from.x())),
                                  QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(to.x())));
  const QList<QPointF> zoomed = view.Chart().Channels[0]->points();
  ASSERT_EQ(zoomed.size(), 203);  // the span and one point beyond each end
  EXPECT_EQ(zoomed.mid(1, 201), p0.mid(20000, 201));
}

}  // namespace
}  // namespace varnel
