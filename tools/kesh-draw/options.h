// kesh-draw's command line and the shape of its input text.
#pragma once

#include <string>
#include <string_view>

namespace kesh_draw {

inline constexpr char kUsage[] =
    "usage: kesh-draw [--byes N] [--twos] [--missing-as-zero] [FILE | --database FILE]";

struct Options {
  std::string byes = "0";
  bool twos = false;
  bool missing_as_zero = false;
  std::string file;  // empty: standard input
  // A tournament database to draw the next round of, instead of a history.
  std::string database;
};

// False with `error` set for an unknown option, a missing value, a second
// file, or a history file beside --database.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// The history as the grid import reads it: a lone LF ends a row like CR, and
// a last row without a line end still counts.
std::string HistoryText(std::string_view input);

}  // namespace kesh_draw
