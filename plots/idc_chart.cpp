#include "plots/idc_chart.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLocale>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <algorithm>

#include "lang/lang.h"
#include "lang/text_ids.h"

namespace varnel {

namespace {

QString Text(int id) { return QString::fromStdString(LoadText(id)); }

// Units are stored as code-page bytes (the degree sign is 0xB0).
QString UnitText(const std::string& unit) {
  return QString::fromLatin1(unit.data(), static_cast<qsizetype>(unit.size()));
}

// Columns a curve is drawn in: more than a screen is wide.
constexpr int kDrawColumns = 2000;

// Points along the bottom (events) and the top (time markers) of the plot.
constexpr double kEventLevel = 0.03;
constexpr double kMarkerLevel = 0.97;

}  // namespace

QColor ChannelColour(int n) {
  static const QColor kColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                                    QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd),
                                    QColor(0xff, 0x7f, 0x0e), QColor(0x8c, 0x56, 0x4b),
                                    QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};
  return kColours[static_cast<std::size_t>(n) % std::size(kColours)];
}

QDateTime IdcDateTime(double days) {
  const double whole = std::floor(days);
  const qint64 ms = std::llround((days - whole) * 86400000.0);
  const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(whole));
  return QDateTime(date, QTime(0, 0)).addMSecs(ms);
}

IdcPlotData PreparePlot(IdcFile file) {
  IdcPlotData out;
  std::map<int, std::size_t> seriesOfChannel;
  for (const IdcChannel& ch : file.Channels) {
    seriesOfChannel[ch.Number] = out.Channels.size();
    out.Channels.emplace_back();
  }
  double tMin = std::numeric_limits<double>::max(), tMax = std::numeric_limits<double>::lowest();
  for (const IdcEntry& e : file.Measurements) {
    const double t = static_cast<double>(IdcDateTime(e.DateTime).toMSecsSinceEpoch());
    tMin = std::min(tMin, t);
    tMax = std::max(tMax, t);
    if (e.Kind == 15) {
      out.Events.append({t, kEventLevel});
    } else if (e.Kind == 16) {
      out.Markers.append({t, kMarkerLevel});
    } else if (const auto it = seriesOfChannel.find(e.Kind); it != seriesOfChannel.end()) {
      const IdcChannel& ch = file.Channels[it->second];
      out.Channels[it->second].append({t, static_cast<double>(e.Value) * ch.Factor + ch.Offset});
      ++out.Points;
    }
  }
  for (const QList<QPointF>& c : out.Channels) {
    out.TimeOrdered = out.TimeOrdered && std::is_sorted(c.begin(), c.end(), [](const QPointF& a, const QPointF& b) {
                        return a.x() < b.x();
                      });
  }
  out.FirstMs = tMin;
  out.LastMs = tMax;
  file.Measurements = {};
  file.Measurements.shrink_to_fit();
  out.File = std::move(file);
  return out;
}

QList<QPointF> PointsToDraw(const QList<QPointF>& points, double fromMs, double toMs,
                            int columns) {
  // From the last point before the span to the first after it, so the curve reaches the edges.
  const auto byTime = [](const QPointF& p, double t) { return p.x() < t; };
  auto first = std::lower_bound(points.begin(), points.end(), fromMs, byTime);
  auto last = std::upper_bound(first, points.end(), toMs,
                               [](double t, const QPointF& p) { return t < p.x(); });
  if (first != points.begin()) --first;
  if (last != points.end()) ++last;
  const qsizetype count = last - first;
  if (columns <= 0 || count <= 4 * columns || toMs <= fromMs) return QList<QPointF>(first, last);
  // Per column of the picture: its first, lowest, highest and last point in their order;
  // the line drawn through them covers the same pixels as the line through them all.
  QList<QPointF> out;
  out.reserve(4 * columns + 2);
  const double width = (toMs - fromMs) / columns;
  for (auto it = first; it != last;) {
    const double column = std::floor((it->x() - fromMs) / width);
    auto end = it;
    auto lo = it, hi = it;
    while (end != last && std::floor((end->x() - fromMs) / width) == column) {
      if (end->y() < lo->y()) lo = end;
      if (end->y() > hi->y()) hi = end;
      ++end;
    }
    const auto back = end - 1;
    auto a = std::min(lo, hi), b = std::max(lo, hi);
    for (auto p : {it, a, b, back}) {
      if (out.isEmpty() || out.back() != *p || p == it) out.append(*p);
    }
    it = end;
  }
  return out;
}

IdcChart BuildIdcChart(const IdcFile& file) { return BuildIdcChart(PreparePlot(file)); }

IdcChart BuildIdcChart(const IdcPlotData& data) {
  const IdcFile& file = data.File;
  IdcChart out;
  out.Points = data.Points;
  auto* chart = new QChart();
  out.Chart = chart;
  chart->setTitle(QStringLiteral("%1  %2 %3")
                      .arg(UnitText(file.IdentityText), Text(kTextColumnSerial))
                      .arg(file.SerialNumber));
  chart->legend()->setAlignment(Qt::AlignBottom);

  auto* time = new QDateTimeAxis();
  // The date as every window of the program writes it; minutes are enough on an axis.
  const QLocale locale = QLocale::system();
  time->setFormat(locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') +
                  locale.timeFormat(QLocale::ShortFormat));
  time->setTitleText(Text(kTextAxisTime));
  time->setTickCount(5);  // room for a whole date and time under each tick
  chart->addAxis(time, Qt::AlignBottom);
  out.TimeAxis = time;

  // One value axis per unit, left first, then right.
  std::map<QString, QValueAxis*> axes;
  for (const IdcChannel& ch : file.Channels) {
    const QString unit = UnitText(ch.Unit);
    auto* series = new QLineSeries();
    series->setName(QStringLiteral("%1 %2%3")
                        .arg(Text(kTextChannel))
                        .arg(ch.Number)
                        .arg(unit.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(unit)));
    QPen pen(ChannelColour(static_cast<int>(out.Channels.size())));
    pen.setWidthF(1.5);
    series->setPen(pen);
    out.Channels.push_back(series);
    if (!axes.count(unit)) {
      auto* axis = new QValueAxis();
      axis->setTitleText(unit.isEmpty() ? Text(kTextChannel) : unit);
      chart->addAxis(axis, axes.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
      axes[unit] = axis;
    }
  }
  const std::vector<QList<QPointF>>& points = data.Channels;
  // Curves with far more points than the picture has columns are drawn through a few
  // points per column of the time span in view, chosen again at every zoom.
  const bool wide = data.TimeOrdered && std::any_of(points.begin(), points.end(), [](const QList<QPointF>& c) {
                      return c.size() > 4 * kDrawColumns;
                    });
  const QList<QPointF>& events = data.Events;
  const QList<QPointF>& markers = data.Markers;
  double tMin = data.FirstMs, tMax = data.LastMs;

  std::map<QValueAxis*, std::pair<double, double>> ranges;
  for (std::size_t i = 0; i < out.Channels.size(); ++i) {
    QLineSeries* series = out.Channels[i];
    series->replace(wide ? QList<QPointF>() : points[i]);
    chart->addSeries(series);
    series->attachAxis(time);
    QValueAxis* axis = axes[UnitText(file.Channels[i].Unit)];
    series->attachAxis(axis);
    auto& [lo, hi] = ranges.try_emplace(axis, std::numeric_limits<double>::max(),
                                        std::numeric_limits<double>::lowest())
                         .first->second;
    for (const QPointF& p : points[i]) {
      lo = std::min(lo, p.y());
      hi = std::max(hi, p.y());
    }
  }
  for (auto& [axis, range] : ranges) {
    auto [lo, hi] = range;
    if (lo > hi) {
      lo = 0;
      hi = 1;
    }
    const double pad = hi > lo ? (hi - lo) * 0.05 : 0.5;
    axis->setRange(lo - pad, hi + pad);
    axis->applyNiceNumbers();
  }

  // Events and markers on an axis of their own that is not drawn.
  auto* level = new QValueAxis();
  level->setRange(0.0, 1.0);
  level->setVisible(false);
  chart->addAxis(level, Qt::AlignRight);
  out.Events = new QScatterSeries();
  out.Events->setName(Text(kTextEvents));
  out.Events->setMarkerShape(QScatterSeries::MarkerShapeCircle);
  out.Events->setMarkerSize(7);
  out.Events->setColor(QColor(0x33, 0x33, 0x33));
  out.Events->replace(events);
  out.Markers = new QScatterSeries();
  out.Markers->setName(Text(kTextTimeMarkers));
  out.Markers->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  out.Markers->setMarkerSize(6);
  out.Markers->setColor(QColor(0xbc, 0xbd, 0x22));
  out.Markers->replace(markers);
  for (QScatterSeries* s : {out.Events, out.Markers}) {
    chart->addSeries(s);
    s->attachAxis(time);
    s->attachAxis(level);
  }

  if (tMin > tMax) {
    const QDateTime now = QDateTime::currentDateTime();
    time->setRange(now.addSecs(-3600), now);
  } else {
    if (tMax - tMin < 60000.0) tMax = tMin + 60000.0;
    time->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(tMin)),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(tMax)));
  }
  if (wide) {
    auto shared = std::make_shared<const std::vector<QList<QPointF>>>(points);
    const std::vector<QLineSeries*> series = out.Channels;
    const auto draw = [shared, series](const QDateTime& from, const QDateTime& to) {
      for (std::size_t i = 0; i < series.size(); ++i) {
        series[i]->replace(PointsToDraw((*shared)[i], static_cast<double>(from.toMSecsSinceEpoch()),
                                        static_cast<double>(to.toMSecsSinceEpoch()), kDrawColumns));
      }
    };
    draw(time->min(), time->max());
    QObject::connect(time, &QDateTimeAxis::rangeChanged, chart, draw);
  }
  return out;
}

}  // namespace varnel
