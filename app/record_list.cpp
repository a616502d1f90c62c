#include "app/record_list.h"

#include <QString>
#include <algorithm>

#include "common/locale_text.h"

namespace varnel {

namespace {

std::string PadLeft(const QString& text, int width) {
  return text.rightJustified(width, QLatin1Char(' '), false).toStdString();
}

}  // namespace

RecordListText BuildRecordList(const TDevice& device, const std::string& heading) {
  RecordListText out;
  out.LogText = heading + ":\r\n";
  const int count = device.RecCount();
  const float ringPages = static_cast<float>(device.LastRingPage);
  // Dates differ in length ("3 Mar 2024", "20 Feb 2024"): the start times are filled to
  // the longest, so that the shares stand right-aligned in one column.
  std::vector<QString> starts;
  qsizetype startWidth = 0;
  for (int i = 0; i < count; ++i) {
    starts.push_back(DeviceTimeText(device.Rec(i)->StartTime));
    startWidth = std::max(startWidth, starts.back().size());
  }
  for (int i = 0; i < count; ++i) {
    const TRec* rec = device.Rec(i);
    const std::string number = PadLeft(QString::number(i + 1), 5) + "    ";
    out.LogText += "\t\t\t" + number + starts[i].toStdString();
    if (i != count - 1) out.LogText += "\r\n";
    // An empty ring layout would divide by zero; such a record shows 0.0.
    const float share =
        ringPages > 0 ? static_cast<float>(rec->Span) * 100.0f / ringPages : 0.0f;
    const QString shareText = FixedText(share, 7, 1).trimmed();
    const std::string size = PadLeft(shareText, 6) + "    ";
    out.Entries.push_back({number + starts[i].leftJustified(startWidth).toStdString() + size,
                           false, std::to_string(i + 1), starts[i].toStdString(),
                           shareText.toStdString()});
  }
  return out;
}

void TickByReadRule(const TDevice& device, std::vector<RecordEntry>& entries) {
  if (entries.empty()) return;
  entries[0].Ticked = true;
  if (device.ReadActualRec || entries.size() < 2) return;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    const TRec* rec = device.Rec(static_cast<int>(i));
    if (!rec) continue;
    const QDate start = DeviceDate(rec->StartTime);
    if (start.year() > device.ReadFromYear ||
        (start.year() == device.ReadFromYear && start.month() >= device.ReadFromMonth)) {
      entries[i].Ticked = true;
    }
  }
}

}  // namespace varnel
