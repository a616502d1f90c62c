#pragma once
#include <QColor>
#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>
#include <vector>

#include "files/idc_reader.h"

QT_BEGIN_NAMESPACE
class QChart;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
QT_END_NAMESPACE

// The plot of one data file: every channel against time in the file's units, events and
// time markers as points along the bottom and the top. Shared by the Data view and the
// plot tool, so the picture in a report is the one on the screen.
namespace varnel {

struct IdcChart {
  QChart* Chart = nullptr;  // owned by whoever shows it
  QDateTimeAxis* TimeAxis = nullptr;
  std::vector<QLineSeries*> Channels;  // in the order of the file's channel list
  QScatterSeries* Events = nullptr;    // kind 15
  QScatterSeries* Markers = nullptr;   // kind 16
  int Points = 0;                      // measured values plotted
};

// The colour of the n-th channel's curve.
QColor ChannelColour(int n);

// The local date and time of an .idc date-time (days since 1899-12-30).
QDateTime IdcDateTime(double days);

// The points of a file's plot, worked out without a widget, on any thread: the slow part
// of showing a big file (every entry's local time), kept apart from building the chart.
struct IdcPlotData {
  IdcFile File;  // without its measurements: they are in the points
  std::vector<QList<QPointF>> Channels;  // in the order of the file's channel list
  QList<QPointF> Events, Markers;
  double FirstMs = 0, LastMs = 0;  // milliseconds since 1970; First > Last: no entry
  int Points = 0;
  bool TimeOrdered = true;  // every channel's points in time order
};
IdcPlotData PreparePlot(IdcFile file);

// Of `points` (in time order) those a line needs to look the same over the span from
// fromMs to toMs drawn `columns` wide: all of them when they are few, else per column its
// first, lowest, highest and last; one point beyond each end of the span.
QList<QPointF> PointsToDraw(const QList<QPointF>& points, double fromMs, double toMs, int columns);

// Builds the chart (on the window's thread). Texts come from the string table in the
// language in effect.
IdcChart BuildIdcChart(const IdcPlotData& data);
IdcChart BuildIdcChart(const IdcFile& file);

}  // namespace varnel
