// TABSLexer: the only reader of SQL characters in the engine. It splits one
// SQL text at every ';' into commands and each command into tokens, all at
// once when it is created, so that every lexical error is raised from the
// constructor. The parsers then walk the tokens of the current command with
// a cursor they may save and restore to try one grammar alternative after
// another.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/query/lexer/reserved_words.h"
#include "db/query/lexer/sql_params.h"
#include "db/query/lexer/token.h"

namespace kelvorin {

struct TSQLCommand {
  // The command's tokens, held by the lexer.
  std::span<const TToken> tokens;
  // The cursor: the index of the current token.
  int32_t current_token = 0;

  int32_t NumTokens() const { return static_cast<int32_t>(tokens.size()); }
};

class TABSLexer {
 public:
  // Tokenizes `sql_text`. Parameters (":name") take their values from
  // `params`, which is only read here; without a list a parameter is an
  // error. Raises the engine error of the first lexical fault with its line
  // and column. Afterwards no command is current (call NextCommand first)
  // and every command's cursor is 0.
  explicit TABSLexer(std::string_view sql_text, const TABSSQLParams* params = nullptr);
  // Commands and tokens view the lexer's own text and arrays, so the lexer
  // stays where it was made.
  TABSLexer(const TABSLexer&) = delete;
  TABSLexer& operator=(const TABSLexer&) = delete;

  // The names of the parameters of a text, each once (compared as
  // FindParam compares them), in the order of their first use. Raises the
  // text's lexical errors.
  static std::vector<std::string> ParameterNames(std::string_view sql_text);

  const std::string& SQLText() const { return sql_text_; }
  const TABSSQLParams* Params() const { return params_; }

  // Commands hold at least one token each; a text of only blanks, comments
  // and semicolons has none.
  int32_t NumCommands() const { return static_cast<int32_t>(commands_.size()); }
  const TSQLCommand& Command(int32_t index) const { return commands_.at(static_cast<size_t>(index)); }
  // -1 before the first NextCommand.
  int32_t CurrentCommand() const { return current_command_; }
  // Moves to the next command; false when there is none.
  bool NextCommand();

  // The token at the cursor; false (and tktNone) at or past the end.
  bool GetCurrentToken(TToken* token) const;
  // LookNextToken, then the cursor moves on by one even at the end.
  bool GetNextToken(TToken* token);
  // The token after the cursor, without moving; false (and tktNone) at the end.
  bool LookNextToken(TToken* token) const;
  int32_t GetCurrentTokenNo() const;
  // Sets the cursor and returns GetCurrentToken (token may be nullptr).
  bool SetCurrentTokenNo(int32_t token_no, TToken* token = nullptr);

  // The same tokens without copying. Past the end of a command they are a
  // tktNone token at the position of the command's last token (line 0 when
  // no command is current), so that errors at the end can name a place.
  // References to tokens stay valid as long as the lexer; the one past the
  // end changes with the current command.
  const TToken& CurrentToken() const { return TokenAt(GetCurrentTokenNo()); }
  const TToken& NextToken() const { return TokenAt(GetCurrentTokenNo() + 1); }
  // The last token of the current command (tktNone when no command is current).
  const TToken& LastToken() const;

  // True when the token is the reserved word `word`, or any reserved word
  // when `word` is AnyReservedWord.
  static bool IsReservedWord(const TToken& token, uint16_t word) {
    return token.token_type == tktReservedWord &&
           (word == AnyReservedWord || token.reserved_word == word);
  }

 private:
  const TSQLCommand* Current() const;
  const TToken& TokenAt(int64_t index) const;

  std::string sql_text_;
  const TABSSQLParams* params_;
  // What tokens view besides sql_text_: texts that are no slice of it
  // (strings with doubled delimiters, words joined across a comment) and
  // the copies of parameter values. Deques keep their elements in place.
  std::deque<std::string> own_texts_;
  std::deque<TABSVariant> param_values_;
  // The tokens of all commands in text order; commands are spans of it.
  std::vector<TToken> tokens_;
  std::vector<TSQLCommand> commands_;
  int32_t current_command_ = -1;
  TToken end_token_;
};

}  // namespace kelvorin
