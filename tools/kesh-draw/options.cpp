// kesh-draw's option parsing and input line ends.
#include "tools/kesh-draw/options.h"

#include "pairing/text_lines.h"

namespace kesh_draw {
namespace {

// Whether argv[i] is the option `name` with a value ("--name VALUE" or
// "--name=VALUE"); a missing value sets `error`.
bool ValueOption(std::string_view name, const char* needs, int argc, const char* const* argv, int& i,
                 std::string& value, std::string& error) {
  const std::string_view arg = argv[i];
  if (arg == name) {
    if (i + 1 >= argc) {
      error = std::string(name) + " needs " + needs;
    } else {
      value = argv[++i];
    }
    return true;
  }
  if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
    value = std::string(arg.substr(name.size() + 1));
    return true;
  }
  return false;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  error.clear();
  bool files_only = false;
  bool history_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (!files_only && arg == "--") {
      files_only = true;
    } else if (!files_only && (ValueOption("--byes", "a number", argc, argv, i, options.byes, error) ||
                               ValueOption("--database", "a file", argc, argv, i, options.database, error))) {
      if (!error.empty()) return false;
    } else if (!files_only && arg == "--twos") {
      options.twos = true;
    } else if (!files_only && arg == "--missing-as-zero") {
      options.missing_as_zero = true;
    } else if (!files_only && arg.starts_with("-") && arg != "-") {
      error = "unknown option " + std::string(arg);
      return false;
    } else if (!options.file.empty()) {
      error = "only one history file can be given";
      return false;
    } else {
      options.file = arg == "-" ? std::string() : std::string(arg);
      history_given = true;
    }
  }
  if (!options.database.empty() && history_given) {
    error = "a history file cannot be given with --database";
    return false;
  }
  return true;
}

std::string HistoryText(std::string_view input) {
  std::string text = pairing::LoneLineFeedsToCarriageReturns(input);
  if (!text.empty() && text.back() != '\r' && text.back() != '\n') text.push_back('\r');
  return text;
}

}  // namespace kesh_draw
