// Turning a matching into table numbers: players into twos, pairs into fours.
#include <cstdint>
#include <string>
#include <vector>

#include "pairing/pair_table.h"
#include "pairing/pairing_engine.h"
#include "pairing/pairing_error.h"

namespace pairing {
namespace {

// Table numbers by player, held in 8 bits: a 256th table does not fit.
class TableNumbers {
 public:
  explicit TableNumbers(std::int32_t player_count)
      : numbers_(player_count >= 0 ? static_cast<std::size_t>(player_count) + 1 : 0, 0) {}

  std::uint8_t At(std::int64_t player) const { return numbers_[Index(player)]; }
  void Set(std::int64_t player, std::int64_t number) {
    std::size_t index = Index(player);
    if (number < 0 || number > 255) ThrowRangeCheck();
    numbers_[index] = static_cast<std::uint8_t>(number);
  }

 private:
  std::size_t Index(std::int64_t player) const {
    if (player < 0 || player >= static_cast<std::int64_t>(numbers_.size())) ThrowRangeCheck();
    return static_cast<std::size_t>(player);
  }

  std::vector<std::uint8_t> numbers_;
};

}  // namespace

void PairingEngine::PairIntoTwos() {
  ExchangeTwos();
  round_count_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(round_count_) + 1);
  NotifyCounters();

  TableNumbers tables(player_count_);
  std::int64_t next = 1;
  for (std::int32_t i = 1; i <= player_count_; ++i) {
    std::int32_t mate = MateOf(i);
    if (i < mate) {
      tables.Set(i, next++);
    } else {
      tables.Set(i, tables.At(mate));
    }
  }
  const int col = static_cast<int>(2 * std::int64_t{round_count_} - 1);
  for (std::int32_t r = 1; r <= player_count_; ++r) {
    grid_.SetCell(col, r, std::to_string(tables.At(r)));
  }
  NotifyGrid();
}

void PairingEngine::GroupIntoFours() {
  ExchangeFours();
  const int col = static_cast<int>(2 * std::int64_t{round_count_} - 1);
  std::vector<PairMembers> pairs = BuildPairTable(grid_, col, player_count_);
  const std::int32_t pair_count = static_cast<std::int32_t>(pairs.size()) - 1;

  TableNumbers tables(player_count_);
  std::int64_t next = 1;
  for (std::int32_t l = 1; l <= pair_count; ++l) {
    const PairMembers& pair = pairs[static_cast<std::size_t>(l)];
    std::int32_t mate = MateOf(l);
    std::int64_t number;
    if (l < mate) {
      number = next++;
    } else {
      if (mate < 0) ThrowRangeCheck();
      number = tables.At(pairs[static_cast<std::size_t>(mate)].first);
    }
    tables.Set(pair.first, number);
    tables.Set(pair.second, number);
  }
  for (std::int32_t r = 1; r <= player_count_; ++r) {
    grid_.SetCell(col, r, std::to_string(tables.At(r)));
  }
  NotifyGrid();
}

}  // namespace pairing
