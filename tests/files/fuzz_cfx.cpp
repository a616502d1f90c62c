// libFuzzer target: the configuration file reader, full and header-only, on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "files/cfx_reader.h"
#include "files/file_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (bool headerOnly : {false, true}) {
    varnel::CfxContent content;
    int kind = -1;
    try {
      varnel::ReadConfigData(content, {data, size}, headerOnly, kind);
    } catch (const varnel::FileFormatError&) {
      // A file that ends early is a correct answer; anything else escaping is a finding.
    }
    if (content.NewIdText.size() > 64) __builtin_trap();
  }
  return 0;
}
