#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/json_reader.h"

namespace varnel::testing {

using testsupport::HexToBytes;
using testsupport::Json;

// What vtq-sim's truth file says a correct reader finds in one record.
struct TruthEntry {
  std::uint32_t Time = 0;  // device seconds
  int Kind = 0;
  std::optional<float> Value;  // absent where the logger has no value to carry yet
  std::uint32_t Extra = 0;
};

struct TruthRecord {
  int FirstPage = 0;
  int LastPage = 0;
  int Span = 0;
  std::uint32_t StartTime = 0;
  std::vector<int> Pages;  // oldest first
  std::vector<TruthEntry> Entries;
};

std::vector<TruthRecord> TruthRecords(const Json& truth);

// One request the logger received, from the frame log.
struct TruthFrame {
  int Call = 0;
  int Address = 0;
  int Function = 0;
  std::vector<unsigned char> Data;
  std::vector<unsigned char> Reply;
  std::string Note;
};

std::vector<TruthFrame> TruthFrames(const std::vector<Json>& frames);

// The function codes of the frames, in order.
std::vector<int> Functions(const std::vector<TruthFrame>& frames);

}  // namespace varnel::testing
