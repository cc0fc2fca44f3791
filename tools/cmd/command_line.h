// What cmd makes of the words after "/c": the program words, and the files
// its standard streams are redirected to.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cmd {

struct Redirection {
  std::optional<std::string> input;   // < FILE
  std::optional<std::string> output;  // > FILE or >> FILE
  bool append = false;                // >>
};

struct ParsedCommand {
  std::vector<std::string> words;
  Redirection redirection;
  std::string error;  // non-empty when the redirection is incomplete
};

// Splits redirections off the words: "<", ">" and ">>" either as words of
// their own followed by the file, or joined to the file ("wm.in>wm.out" too).
ParsedCommand ParseCommand(const std::vector<std::string>& words);

}  // namespace cmd
