// Lexes arbitrary text. Every text is either refused with an engine error or
// gives tokens that (1) stand where a plain count of lines and columns puts
// them, for texts where the lexer's position rules are plain counting, and
// (2) lex again into the same tokens when printed back as SQL.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "db/query/lexer/lexer.h"
#include "db/storage/errors/abs_exception.h"
#include "platform/locale_profile.h"

namespace {

using kelvorin::TABSLexer;
using kelvorin::TToken;

[[noreturn]] void Fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "%s\n--- text ---\n%.*s\n", what, static_cast<int>(text.size()), text.data());
  std::abort();
}

// A token written back as SQL (strings with their closers doubled).
std::string Print(const TToken& token) {
  auto quoted = [&](char open, char close) {
    std::string out(1, open);
    for (char c : token.text) {
      out.push_back(c);
      if (c == close) out.push_back(c);
    }
    out.push_back(close);
    return out;
  };
  switch (token.token_type) {
    case kelvorin::tktQuotedString:
      return quoted('\'', '\'');
    case kelvorin::tktBracketedString:
      return quoted('[', ']');
    case kelvorin::tktParameter:
      return ":" + std::string(token.text);
    default:
      return std::string(token.text);
  }
}

std::string PrintAll(const TABSLexer& lexer) {
  std::string out;
  for (int32_t c = 0; c < lexer.NumCommands(); ++c) {
    for (const TToken& token : lexer.Command(c).tokens) out += Print(token) + " ";
    out += ";\n";
  }
  return out;
}

bool SameToken(const TToken& a, const TToken& b) {
  if (a.token_type != b.token_type || a.reserved_word != b.reserved_word || a.text != b.text) {
    return false;
  }
  switch (a.token_type) {
    case kelvorin::tktFloat:
      return a.float_value == b.float_value;
    case kelvorin::tktParameter:
      return (a.param_value == nullptr) == (b.param_value == nullptr);
    default:
      return a.int_value == b.int_value;
  }
}

// Without semicolons, comments and line breaks inside strings, a token's
// line is 1 + the line feeds before it and its column 1 + the characters
// before it on its line, carriage returns not counted.
bool PlainCounting(std::string_view text, const TABSLexer& lexer) {
  if (text.find(';') != std::string_view::npos || text.find("--") != std::string_view::npos ||
      text.find("/*") != std::string_view::npos) {
    return false;
  }
  for (int32_t c = 0; c < lexer.NumCommands(); ++c) {
    for (const TToken& token : lexer.Command(c).tokens) {
      const bool string = token.token_type == kelvorin::tktQuotedString ||
                          token.token_type == kelvorin::tktBracketedString;
      if (string && token.text.find('\n') != std::string_view::npos) return false;
    }
  }
  return true;
}

void CheckPositions(std::string_view text, const TABSLexer& lexer) {
  // The offset where each line starts, found by a rescan of the text.
  std::vector<size_t> line_starts(1, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') line_starts.push_back(i + 1);
  }
  for (const TToken& token : lexer.Command(0).tokens) {
    if (token.line_num < 1 || static_cast<size_t>(token.line_num) > line_starts.size()) {
      Fail("token on a line that does not exist", text);
    }
    size_t offset = line_starts[static_cast<size_t>(token.line_num - 1)];
    for (int32_t column = 1; column < token.column_num; ++offset) {
      if (offset >= text.size() || text[offset] == '\n') Fail("column past its line", text);
      if (text[offset] != '\r') ++column;
    }
    while (offset < text.size() && text[offset] == '\r') ++offset;
    if (offset >= text.size()) Fail("token past the end", text);
    const char found = text[offset];
    const bool placed = token.token_type == kelvorin::tktQuotedString
                            ? found == '\'' || found == '"'
                            : found == Print(token)[0];
    if (!placed) Fail("token not at its position", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kelvorin::TABSSQLParams* params = [] {
    platform::SetCurrentLocale(platform::LocaleProfile::Czech());
    static kelvorin::TABSSQLParams list;
    for (const char* name : {"", "a", "p1", "x"}) {
      kelvorin::TABSSQLParam& param = list.AddParam();
      param.SetName(name);
      param.SetInteger(1);
    }
    return &list;
  }();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const TABSLexer lexer(text, params);
    if (lexer.NumCommands() == 1 && PlainCounting(text, lexer)) CheckPositions(text, lexer);
    const std::string printed = PrintAll(lexer);
    const TABSLexer again(printed, params);
    if (again.NumCommands() != lexer.NumCommands()) Fail("commands differ after printing", text);
    for (int32_t c = 0; c < lexer.NumCommands(); ++c) {
      const auto& before = lexer.Command(c).tokens;
      const auto& after = again.Command(c).tokens;
      if (before.size() != after.size()) Fail("token counts differ after printing", text);
      for (size_t i = 0; i < before.size(); ++i) {
        if (!SameToken(before[i], after[i])) Fail("tokens differ after printing", text);
      }
    }
  } catch (const kelvorin::EABSException&) {
  }
  return 0;
}
