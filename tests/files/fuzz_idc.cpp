// libFuzzer target: the data file reader and its text forms on arbitrary bytes. Each input
// is parsed as it is and once more with a correct check sum put in its last two bytes, so
// that the block decoders are reached and not only the check sum test.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>

#include "files/file_error.h"
#include "files/idc_checksum.h"
#include "files/idc_reader.h"
#include "files/idc_text.h"

namespace {

void Parse(const std::uint8_t* data, std::size_t size) {
  try {
    const varnel::IdcFile f = varnel::ParseIdc({data, size});
    std::ostringstream out;
    varnel::WriteIdcJson(out, f);
    varnel::WriteIdcCsv(out, f);
  } catch (const varnel::FileFormatError&) {
    // A refused file is a correct answer; anything else escaping is a finding.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Parse(data, size);
  if (size >= 2) {
    std::vector<std::uint8_t> fixed(data, data + size);
    const std::uint16_t sum = varnel::IdcChecksum(fixed.data(), size - 2);
    fixed[size - 2] = static_cast<std::uint8_t>(sum);
    fixed[size - 1] = static_cast<std::uint8_t>(sum >> 8);
    Parse(fixed.data(), size);
  }
  return 0;
}
