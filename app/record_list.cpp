#include "app/record_list.h"

#include <QString>

#include "app/locale_text.h"

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
  for (int i = 0; i < count; ++i) {
    const TRec* rec = device.Rec(i);
    const std::string start = DeviceTimeText(rec->StartTime).toStdString();
    std::string number = PadLeft(QString::number(i + 1), 5) + "    " + start;
    out.LogText += "\t\t\t" + number;
    if (i != count - 1) out.LogText += "\r\n";
    // An empty ring layout would divide by zero; such a record shows 0.0.
    const float share =
        ringPages > 0 ? static_cast<float>(rec->Span) * 100.0f / ringPages : 0.0f;
    const QString shareText = FixedText(share, 7, 1).trimmed();
    const std::string size = PadLeft(shareText, 6) + "    ";
    out.Entries.push_back(
        {number + size, false, std::to_string(i + 1), start, shareText.toStdString()});
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
