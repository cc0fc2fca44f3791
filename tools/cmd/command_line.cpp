// Redirection parsing of cmd.
#include "tools/cmd/command_line.h"

namespace cmd {
namespace {

enum class Pending { kNone, kInput, kOutput, kAppend };

// Splits one word at its redirection operators: "a>b" gives "a", ">", "b".
std::vector<std::string> SplitOperators(const std::string& word) {
  std::vector<std::string> parts;
  std::string current;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char ch = word[i];
    if (ch == '<' || ch == '>') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
      if (ch == '>' && i + 1 < word.size() && word[i + 1] == '>') {
        parts.emplace_back(">>");
        ++i;
      } else {
        parts.emplace_back(1, ch);
      }
    } else {
      current.push_back(ch);
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

}  // namespace

ParsedCommand ParseCommand(const std::vector<std::string>& words) {
  ParsedCommand parsed;
  Pending pending = Pending::kNone;
  for (const std::string& word : words) {
    for (std::string& part : SplitOperators(word)) {
      if (part == "<" || part == ">" || part == ">>") {
        if (pending != Pending::kNone) {
          parsed.error = "The syntax of the command is incorrect.";
          return parsed;
        }
        pending = part == "<" ? Pending::kInput : part == ">" ? Pending::kOutput : Pending::kAppend;
        continue;
      }
      switch (pending) {
        case Pending::kNone:
          parsed.words.push_back(std::move(part));
          break;
        case Pending::kInput:
          parsed.redirection.input = std::move(part);
          break;
        case Pending::kOutput:
        case Pending::kAppend:
          parsed.redirection.output = std::move(part);
          parsed.redirection.append = pending == Pending::kAppend;
          break;
      }
      pending = Pending::kNone;
    }
  }
  if (pending != Pending::kNone) parsed.error = "The syntax of the command is incorrect.";
  return parsed;
}

}  // namespace cmd
