// The random source of the storage layer (password check blocks, initial
// write counters, the choice of an earlier free-space group). It is seedable
// so that a test can reproduce a file byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

namespace kelvorin {

class TABSRandomSource {
 public:
  TABSRandomSource() : engine_(std::random_device{}()) {}
  explicit TABSRandomSource(uint64_t seed) : engine_(seed) {}

  void Seed(uint64_t seed) { engine_.seed(seed); }
  // Uniform in [low, high].
  int64_t Between(int64_t low, int64_t high) {
    return std::uniform_int_distribution<int64_t>(low, high)(engine_);
  }
  void Fill(uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(Between(0, 255));
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace kelvorin
