// kesh-draw's option parsing and input line ends.
#include "tools/kesh-draw/options.h"

#include "pairing/text_lines.h"

namespace kesh_draw {

bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  bool files_only = false;
  bool history_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (!files_only && arg == "--") {
      files_only = true;
    } else if (!files_only && arg == "--byes") {
      if (i + 1 >= argc) {
        error = "--byes needs a number";
        return false;
      }
      options.byes = argv[++i];
    } else if (!files_only && arg.starts_with("--byes=")) {
      options.byes = std::string(arg.substr(7));
    } else if (!files_only && arg == "--database") {
      if (i + 1 >= argc) {
        error = "--database needs a file";
        return false;
      }
      options.database = argv[++i];
    } else if (!files_only && arg.starts_with("--database=")) {
      options.database = std::string(arg.substr(11));
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
