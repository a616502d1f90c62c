#include "sim/truth_file.h"

#include "sim/command_handler.h"
#include "sim/json_text.h"

namespace varnel::sim {

namespace {

std::string Num(std::uint64_t v) { return std::to_string(v); }

void AppendRecord(std::string& s, const RecordTruth& r, const std::string& indent) {
  s += indent + "  {\"firstPage\": " + Num(r.FirstPage()) + ", \"lastPage\": " + Num(r.LastPage()) +
       ", \"span\": " + Num(r.pages.size() - 1) + ", \"startTime\": " + Num(r.VisibleStartTime()) +
       ", \"runStartTime\": " + Num(r.startTime) + ", \"type\": " + Num(r.type) +
       ", \"lostPages\": " + (r.lostPages ? "true" : "false") + ",\n" + indent + "   \"pages\": [";
  for (std::size_t i = 0; i < r.pages.size(); ++i) s += (i ? ", " : "") + Num(r.pages[i].page);
  s += "],\n" + indent + "   \"entries\": [";
  const auto entries = r.DecodedEntries();
  const std::string entryIndent = indent + "     ";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const DecodedEntry& e = entries[i];
    s += (i ? ",\n" : "\n") + entryIndent;
    s += "{\"t\": " + Num(e.time) + ", \"kind\": " + Num(e.kind) +
         ", \"value\": " + (e.value ? JsonFloat(*e.value) : std::string("null")) +
         ", \"extra\": " + Num(e.extra) + "}";
  }
  s += "]}";
}

}  // namespace

std::string RecordsJson(const Logger& logger, const std::string& indent) {
  std::string s = "[\n";
  const auto& recs = logger.book().records();
  bool first = true;
  for (auto it = recs.rbegin(); it != recs.rend(); ++it) {
    if (it->pages.empty()) continue;
    if (!first) s += ",\n";
    first = false;
    AppendRecord(s, *it, indent);
  }
  return s + "\n" + indent + "]";
}

std::string TruthJson(const Logger& logger, std::uint64_t seed, std::int64_t nowMs) {
  const LoggerDevice& d = logger.device();
  const LoggerRegisters& r = d.regs;
  const MemoryLayout& m = d.memory.layout();
  std::string s = "{\n";
  s += "  \"seed\": " + Num(seed) + ",\n";
  s += "  \"address\": " + Num(d.address) + ",\n";
  s += "  \"serialNumber\": " + Num(r.serial) + ",\n";
  s += "  \"identity\": [";
  for (std::size_t i = 0; i < r.identity.size(); ++i) s += (i ? ", " : "") + Num(r.identity[i]);
  s += "],\n";
  s += "  \"identityText\": " + JsonString(d.memory.ReadText(m.IdPage(), m.IdPage())) + ",\n";
  s += "  \"commentText\": " + JsonString(d.memory.ReadText(m.CommentPage(), m.lastPage)) + ",\n";
  s += "  \"channelMask\": " + Num(r.channelMask) + ",\n";
  s += "  \"battery\": " + Num(r.battery) + ",\n";
  s += "  \"clock\": " + Num(r.Clock(nowMs)) + ",\n";
  s += "  \"state\": " + Num(r.state) + ",\n";
  s += "  \"memory\": {\"firstPage\": 0, \"lastPage\": " + Num(m.lastPage) +
       ", \"reservedPages\": " + Num(m.reservedPages) + ", \"lastRingPage\": " + Num(m.LastRingPage()) +
       ", \"idPage\": " + Num(m.IdPage()) + ", \"commentPage\": " + Num(m.CommentPage()) +
       ", \"writePointer\": " + Num(d.memory.writePointer()) +
       ", \"ringFull\": " + (d.memory.RingFull() ? "true" : "false") +
       ", \"pagesRecorded\": " + Num(logger.pagesRecorded()) + "},\n";
  s += "  \"calls\": " + Num(logger.callNumber() - 1) + ",\n";
  // The settings the host copies: configuration entries 4..9 as a read returns them, and
  // the floats 80..111.
  s += "  \"configEntries\": {";
  for (std::uint8_t e = 4; e <= 9; ++e) {
    std::uint8_t b[5];
    ReadConfigEntry(d, e, nowMs, b);
    s += (e > 4 ? ", \"" : "\"") + Num(e) + "\": [";
    for (int k = 0; k < 5; ++k) s += (k ? ", " : "") + Num(b[k]);
    s += "]";
  }
  s += "},\n  \"floats\": {";
  for (std::size_t i = 0; i < r.floats.size(); ++i)
    s += (i ? ", \"" : "\"") + Num(kFirstFloat + i) + "\": " + JsonFloat(r.floats[i]);
  s += "},\n";

  s += "  \"records\": " + RecordsJson(logger, "  ") + ",\n";

  const ReceivedLog& rx = d.received;
  s += "  \"received\": {\n    \"config\": [";
  for (std::size_t i = 0; i < rx.config.size(); ++i) {
    const auto& c = rx.config[i];
    s += (i ? ", " : "") + std::string("{\"entry\": ") + Num(c.entry) + ", \"data\": [";
    for (std::size_t k = 0; k < 5; ++k) s += (k ? ", " : "") + Num(c.data[k]);
    s += "]}";
  }
  s += "],\n    \"floats\": [";
  for (std::size_t i = 0; i < rx.floats.size(); ++i)
    s += (i ? ", " : "") + std::string("{\"index\": ") + Num(rx.floats[i].index) +
         ", \"value\": " + JsonFloat(rx.floats[i].value) + "}";
  s += "],\n    \"offsets\": [";
  for (std::size_t i = 0; i < rx.offsets.size(); ++i)
    s += (i ? ", " : "") + std::string("{\"index\": ") + Num(rx.offsets[i].index) +
         ", \"value\": " + JsonFloat(rx.offsets[i].value) + "}";
  s += "],\n    \"pageWrites\": [";
  for (std::size_t i = 0; i < rx.pages.size(); ++i)
    s += (i ? ", " : "") + std::string("{\"page\": ") + Num(rx.pages[i].page) +
         ", \"offset\": " + Num(rx.pages[i].offset) + ", \"data\": \"" + HexBytes(rx.pages[i].data) + "\"}";
  s += "],\n    \"clockSets\": [";
  for (std::size_t i = 0; i < rx.clockSets.size(); ++i) s += (i ? ", " : "") + Num(rx.clockSets[i]);
  s += "],\n    \"controls\": [";
  for (std::size_t i = 0; i < rx.controls.size(); ++i) s += (i ? ", " : "") + Num(rx.controls[i]);
  std::size_t restarts = 0;
  for (auto c : rx.controls) restarts += c == kControlRestart;
  s += "],\n    \"restarts\": " + Num(restarts) + "\n  }\n}\n";
  return s;
}

std::string FleetTruthJson(const Fleet& fleet, std::uint64_t seed) {
  const auto& members = fleet.members();
  std::string s = "{\n";
  s += "  \"fleet\": " + Num(members.size()) + ",\n";
  s += "  \"seed\": " + Num(seed) + ",\n";
  s += "  \"address\": " + Num(members.front().logger->device().address) + ",\n";
  s += "  \"startMs\": " + std::to_string(fleet.startMs()) + ",\n";
  s += "  \"loggers\": [";
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Fleet::Member& m = members[i];
    const LoggerMemory& memory = m.logger->device().memory;
    const std::string text = memory.ReadText(memory.layout().IdPage(), memory.layout().IdPage());
    s += i ? ",\n" : "\n";
    s += "    {\"serialNumber\": " + Num(m.serial) + ", \"identityText\": " + JsonString(text) +
         ", \"seed\": " + Num(m.seed) + ", \"firstCallMs\": " + Num(m.firstCallMs) + ",\n";
    const Fleet::Counts& c = m.counts;
    s += "     \"counts\": {\"attempted\": " + Num(c.attempted) +
         ", \"answered\": " + Num(c.answered) + ", \"busy\": " + Num(c.busy) +
         ", \"retried\": " + Num(c.retried) + ", \"givenUp\": " + Num(c.givenUp) + "},\n";
    s += "     \"calls\": [";
    for (std::size_t k = 0; k < m.calls.size(); ++k) {
      const Fleet::CallTruth& call = m.calls[k];
      s += k ? ",\n" : "\n";
      s += "      {\"call\": " + Num(call.call) + ", \"modemCall\": " + Num(call.modemCall) +
           ", \"connectedMs\": " + std::to_string(call.connectedMs) +
           ", \"endedMs\": " + std::to_string(call.endedMs) + ",\n";
      s += "       \"records\": " + call.records + "}";
    }
    s += m.calls.empty() ? "]}" : "\n     ]}";
  }
  s += "\n  ]\n}\n";
  return s;
}

}  // namespace varnel::sim
