// The figure the end-to-end benchmarks report: the best of a few runs of a
// piece of work, each after its own untimed setup.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace bench {

// Seconds of the fastest of `runs` runs of `work`, `setup` running untimed
// before each.
inline double BestOf(int runs, const std::function<void()>& setup, const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    setup();
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace bench
