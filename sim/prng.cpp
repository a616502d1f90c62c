#include "sim/prng.h"

namespace varnel::sim {

namespace {
std::uint64_t Finalize(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
}  // namespace

std::uint64_t Prng::Next() {
  state_ += 0x9E3779B97F4A7C15ull;
  return Finalize(state_);
}

std::uint32_t Prng::Below(std::uint32_t n) {
  if (n == 0) return 0;
  // Reject the top sliver of the 32-bit range that would favour small values.
  const std::uint32_t limit = static_cast<std::uint32_t>(0x100000000ull - (0x100000000ull % n));
  for (;;) {
    const std::uint32_t r = static_cast<std::uint32_t>(Next() >> 32);
    if (limit == 0 || r < limit) return r % n;
  }
}

std::int64_t Prng::Between(std::int64_t lo, std::int64_t hi) {
  if (hi <= lo) return lo;
  const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
  if (span <= 0xFFFFFFFFull) return lo + Below(static_cast<std::uint32_t>(span));
  return lo + static_cast<std::int64_t>(Next() % span);
}

double Prng::Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

bool Prng::Chance(std::uint32_t num, std::uint32_t den) { return den != 0 && Below(den) < num; }

std::uint64_t Mix64(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  std::uint64_t z = Finalize(a + 0x9E3779B97F4A7C15ull);
  z = Finalize(z ^ (b + 0x632BE59BD9B4E019ull));
  return Finalize(z ^ (c + 0x85157AF5ull));
}

}  // namespace varnel::sim
