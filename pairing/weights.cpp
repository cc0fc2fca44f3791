// The weights list: every player pair for twos, every pair of pairs for fours.
#include <algorithm>
#include <charconv>

#include "pairing/history.h"
#include "pairing/pair_table.h"
#include "pairing/pairing_engine.h"

namespace pairing {
namespace {

// "a b": the list of a large field holds a quarter of a million such lines.
std::string NumberPair(std::int64_t a, std::int64_t b) {
  char buffer[48];  // two 64-bit numbers (at most 20 characters each) and a blank
  char* end = std::to_chars(buffer, buffer + 21, a).ptr;
  *end++ = ' ';
  end = std::to_chars(end, buffer + sizeof buffer, b).ptr;
  return std::string(buffer, end);
}

// Fills `list` for the vertices 1 to n: the header "n edges U", then per vertex
// "n-1 i 0 0" and one "j weight" line for every other vertex j. Lines are added
// as they are computed, so an error leaves the lines written before it.
template <typename WeightFn>
void WriteWeightsList(LineList& list, std::int32_t n, WeightFn weight) {
  list.clear();
  std::int64_t vertices = n;
  list.reserve(vertices > 0 && vertices < 100000
                   ? static_cast<std::size_t>(vertices * vertices + 1)
                   : 1);
  list.push_back(NumberPair(vertices, vertices * (vertices - 1) / 2) + " U");
  for (std::int32_t i = 1; i <= n; ++i) {
    list.push_back(NumberPair(vertices - 1, i) + " 0 0");
    for (std::int32_t j = 1; j <= n; ++j) {
      if (j != i) list.push_back(NumberPair(j, weight(i, j)));
    }
  }
}

constexpr std::int64_t kTripleFactor = 10000;
constexpr std::int64_t kQuadFactor = 1000000;
// Keeps 10000 * S * S in the range of the score term.
constexpr std::int64_t kMaxTripleSquare = 100000000;

// Notifies the view of the weights list however the computation ends.
class WeightsChangedGuard {
 public:
  explicit WeightsChangedGuard(PairingObserver* observer) : observer_(observer) {}
  ~WeightsChangedGuard() {
    if (observer_) observer_->WeightsListChanged();
  }
  WeightsChangedGuard(const WeightsChangedGuard&) = delete;
  WeightsChangedGuard& operator=(const WeightsChangedGuard&) = delete;

 private:
  PairingObserver* observer_;
};

}  // namespace

void PairingEngine::ComputeTwoWeights() {
  missing_results_asked_ = false;
  missing_results_as_zero_ = false;
  History history(*this);
  WeightsChangedGuard notify(observer_);
  WriteWeightsList(weights_list_, player_count_,
                   [&](std::int32_t a, std::int32_t b) { return history.PairWeight(a, b); });
}

void PairingEngine::ComputeFourWeights() {
  // The round just drawn is not history: count one round less meanwhile.
  struct RoundRestore {
    std::int32_t& count;
    ~RoundRestore() { count = static_cast<std::int32_t>(static_cast<std::uint32_t>(count) + 1); }
  } restore{round_count_};
  round_count_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(round_count_) - 1);

  missing_results_asked_ = false;
  missing_results_as_zero_ = false;
  int col = static_cast<int>(2 * std::int64_t{round_count_} + 1);
  std::vector<PairMembers> pairs = BuildPairTable(grid_, col, player_count_);
  History history(*this);
  WeightsChangedGuard notify(observer_);
  auto four_weight = [&](std::int32_t i, std::int32_t j) {
    std::int32_t a = pairs[static_cast<std::size_t>(i)].first;
    std::int32_t b = pairs[static_cast<std::size_t>(i)].second;
    std::int32_t c = pairs[static_cast<std::size_t>(j)].first;
    std::int32_t d = pairs[static_cast<std::size_t>(j)].second;
    // Evaluated one by one, in this order: the first bad cell decides the error.
    std::int64_t w = history.PairWeight(a, b);
    w += history.PairWeight(a, c);
    w += history.PairWeight(a, d);
    w += history.PairWeight(b, c);
    w += history.PairWeight(b, d);
    w += history.PairWeight(c, d);
    std::int64_t s = history.TripleMeetings(a, b, c);
    s += history.TripleMeetings(a, b, d);
    s += history.TripleMeetings(a, c, d);
    s += history.TripleMeetings(b, c, d);
    w -= kTripleFactor * std::min(s * s, kMaxTripleSquare);
    w -= kQuadFactor * history.QuadMeetings(a, b, c, d);
    return w;
  };
  WriteWeightsList(weights_list_, static_cast<std::int32_t>(pairs.size()) - 1, four_weight);
}

}  // namespace pairing
