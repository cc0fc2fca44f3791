// The random source of the storage layer (password check blocks, initial
// write counters, the choice of an earlier free-space group). It is seedable
// so that a test can reproduce a file byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>

namespace kelvorin {

class TABSRandomSource {
 public:
  // Seeded on first use: most page managers (a statement's temporary
  // tables) never draw, and reading the system's entropy for each would
  // cost more than the statement.
  TABSRandomSource() = default;
  explicit TABSRandomSource(uint64_t seed) { Seed(seed); }

  void Seed(uint64_t seed) { engine_.emplace(seed); }
  // Uniform in [low, high].
  int64_t Between(int64_t low, int64_t high) {
    if (!engine_) Seed(ProcessSeed());
    return std::uniform_int_distribution<int64_t>(low, high)(*engine_);
  }
  void Fill(uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(Between(0, 255));
  }

 private:
  // A new seed from one generator of the process, seeded by the system.
  static uint64_t ProcessSeed() {
    static std::mutex mutex;
    static std::mt19937_64 seeds{std::random_device{}()};
    std::lock_guard lock(mutex);
    return seeds();
  }

  std::optional<std::mt19937_64> engine_;
};

}  // namespace kelvorin
