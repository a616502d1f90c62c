#include "sim_truth.h"

namespace varnel::testing {

std::vector<TruthRecord> TruthRecords(const Json& truth) {
  std::vector<TruthRecord> records;
  for (const Json& r : truth["records"].AsArray()) {
    TruthRecord rec;
    rec.FirstPage = static_cast<int>(r["firstPage"].AsInt());
    rec.LastPage = static_cast<int>(r["lastPage"].AsInt());
    rec.Span = static_cast<int>(r["span"].AsInt());
    rec.StartTime = static_cast<std::uint32_t>(r["startTime"].AsInt());
    for (const Json& p : r["pages"].AsArray()) rec.Pages.push_back(static_cast<int>(p.AsInt()));
    for (const Json& e : r["entries"].AsArray()) {
      TruthEntry entry;
      entry.Time = static_cast<std::uint32_t>(e["t"].AsInt());
      entry.Kind = static_cast<int>(e["kind"].AsInt());
      if (!e["value"].IsNull()) entry.Value = static_cast<float>(e["value"].AsNumber());
      entry.Extra = static_cast<std::uint32_t>(e["extra"].AsInt());
      rec.Entries.push_back(entry);
    }
    records.push_back(std::move(rec));
  }
  return records;
}

std::vector<TruthFrame> TruthFrames(const std::vector<Json>& frames) {
  std::vector<TruthFrame> out;
  for (const Json& f : frames) {
    TruthFrame frame;
    frame.Call = static_cast<int>(f["call"].AsInt());
    frame.Address = f["address"].IsNull() ? -1 : static_cast<int>(f["address"].AsInt());
    frame.Function = f["function"].IsNull() ? -1 : static_cast<int>(f["function"].AsInt());
    frame.Data = HexToBytes(f["data"].AsString());
    frame.Reply = HexToBytes(f["reply"].AsString());
    frame.Note = f["note"].AsString();
    out.push_back(std::move(frame));
  }
  return out;
}

std::vector<int> Functions(const std::vector<TruthFrame>& frames) {
  std::vector<int> out;
  for (const auto& f : frames) out.push_back(f.Function);
  return out;
}

}  // namespace varnel::testing
