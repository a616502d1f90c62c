#pragma once
#include <cstdint>

namespace varnel::sim {

// A small seeded generator (SplitMix64). Every value the simulator derives from it is
// computed here from the raw 64-bit output, so a seed gives the same logger memory with
// every compiler and standard library (the std distributions do not promise that).
class Prng {
 public:
  explicit Prng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next();
  // Uniform in 0 .. n-1 (0 when n is 0), without modulo bias.
  std::uint32_t Below(std::uint32_t n);
  // Uniform in lo .. hi, both included (lo when hi < lo).
  std::int64_t Between(std::int64_t lo, std::int64_t hi);
  // Uniform in [0, 1), 53 bits.
  double Unit();
  // True with probability num/den.
  bool Chance(std::uint32_t num, std::uint32_t den);

 private:
  std::uint64_t state_;
};

// A stateless mix of a few numbers, for values that must not depend on the order in which
// they are asked for (the live channel readings).
std::uint64_t Mix64(std::uint64_t a, std::uint64_t b = 0, std::uint64_t c = 0);

}  // namespace varnel::sim
