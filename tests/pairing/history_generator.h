// A realistic tournament history for draws in tests and benchmarks: rounds of
// tables of four seated roughly by score (so that players meet again),
// results 3/2/1/0 per table with occasional shared places, the last `byes`
// players scoring nothing. Returned as the grid's clipboard text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace pairing_test {

inline std::string GenerateHistory(int players, int rounds, int byes, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<double> score(static_cast<std::size_t>(players) + 1, 0.0);
  std::vector<std::vector<std::string>> cells(static_cast<std::size_t>(players) + 1);
  for (int k = 1; k <= rounds; ++k) {
    std::vector<std::pair<double, int>> order;
    std::uniform_real_distribution<double> noise(0.0, 4.0);
    for (int p = 1; p <= players; ++p) order.emplace_back(-(score[p] + noise(random)), p);
    std::sort(order.begin(), order.end());
    const int full = players / 4 * 4;
    std::vector<int> table(static_cast<std::size_t>(players) + 1, 0);
    std::vector<double> result(static_cast<std::size_t>(players) + 1, 0.0);
    for (int g = 0; g < full; g += 4) {
      std::vector<double> points = {3, 2, 1, 0};
      std::shuffle(points.begin(), points.end(), random);
      if (random() % 5 == 0) {  // two players share a place
        points[0] = points[1] = (points[0] + points[1]) / 2;
      }
      for (int m = 0; m < 4; ++m) {
        int p = order[static_cast<std::size_t>(g + m)].second;
        table[static_cast<std::size_t>(p)] = -(g / 4 + 1);  // group id, renumbered below
        result[static_cast<std::size_t>(p)] = p > players - byes ? 0 : points[static_cast<std::size_t>(m)];
      }
    }
    // Tables numbered in the order of their lowest player number.
    std::vector<int> number(static_cast<std::size_t>(players) / 4 + 2, 0);
    int next = 1;
    for (int p = 1; p <= players; ++p) {
      int group = -table[static_cast<std::size_t>(p)];
      if (group == 0) continue;
      if (number[static_cast<std::size_t>(group)] == 0) number[static_cast<std::size_t>(group)] = next++;
      table[static_cast<std::size_t>(p)] = number[static_cast<std::size_t>(group)];
    }
    for (int p = 1; p <= players; ++p) {
      std::ostringstream res;
      res << result[static_cast<std::size_t>(p)];
      cells[static_cast<std::size_t>(p)].push_back(std::to_string(table[static_cast<std::size_t>(p)]));
      cells[static_cast<std::size_t>(p)].push_back(res.str());
      score[static_cast<std::size_t>(p)] += result[static_cast<std::size_t>(p)];
    }
  }
  std::string text;
  for (int p = 1; p <= players; ++p) {
    const auto& row = cells[static_cast<std::size_t>(p)];
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) text += '\t';
      text += row[c];
    }
    text += '\r';
  }
  return text;
}

}  // namespace pairing_test
