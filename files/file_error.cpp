#include "files/file_error.h"

#include <cerrno>
#include <system_error>

namespace varnel {

std::string LastSystemErrorText() {
  const int e = errno;
  if (e == 0) return "unknown error";
  return std::error_code(e, std::generic_category()).message();
}

}  // namespace varnel
