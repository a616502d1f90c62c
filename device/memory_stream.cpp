#include "device/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace varnel {

void TMemoryStream::Seek(std::size_t pos) { pos_ = std::min(pos, bytes_.size()); }

void TMemoryStream::Clear() {
  bytes_.clear();
  pos_ = 0;
}

void TMemoryStream::Write(const void* data, std::size_t n) {
  if (n == 0) return;
  if (pos_ + n > bytes_.size()) bytes_.resize(pos_ + n);
  std::memcpy(bytes_.data() + pos_, data, n);
  pos_ += n;
}

std::size_t TMemoryStream::Read(void* data, std::size_t n) {
  const std::size_t count = std::min(n, bytes_.size() - pos_);
  if (count > 0) std::memcpy(data, bytes_.data() + pos_, count);
  pos_ += count;
  return count;
}

}  // namespace varnel
