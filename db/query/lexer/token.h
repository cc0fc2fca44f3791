// TToken, one token of an SQL text as the lexer hands it to the parsers.
#pragma once

#include <cstdint>
#include <string_view>

#include "db/query/lexer/reserved_words.h"
#include "db/tables/values/abs_variant.h"

namespace kelvorin {

enum TTokenType : uint8_t {
  tktNone = 0,              // no token: past the end of a command
  tktString = 1,            // a word or an operator symbol (=, <>, <=, ||, + ...)
  tktQuotedString = 2,      // '...' or "..."
  tktBracketedString = 3,   // [...]
  tktInt = 4,               // digits only
  tktFloat = 5,             // a number with a point or an exponent
  tktReservedWord = 6,      // a word of the reserved-word table
  tktParameter = 7,         // :name
  tktLeftParenthesis = 8,
  tktRightParenthesis = 9,
  tktComma = 10,
  tktDot = 11,
};

// A token is a small value: its text and parameter value are views of what
// the lexer that made it holds, so a token (and a copy of it) is valid for
// as long as that lexer lives, and a token list costs no allocation per
// token.
struct TToken {
  TTokenType token_type = tktNone;
  // The word's number for tktReservedWord, else AnyReservedWord.
  uint16_t reserved_word = AnyReservedWord;
  // 1-based position of the first character (of the opening delimiter of a
  // string). The tktNone token past the end of a command carries the
  // position of the command's last token, so that errors at the end of a
  // command can name a place; 0 only when there is no command.
  int32_t line_num = 0;
  int32_t column_num = 0;
  // Words and numbers as written (case kept); strings without their
  // delimiters, doubled closing delimiters reduced to one; parameters
  // without the colon; empty for tktNone.
  std::string_view text;
  // What only some kinds carry, one at a time (tokens stay small, as a text
  // may hold a million of them): int_value of a tktInt (the lexer refuses
  // larger ones), the finite float_value of a tktFloat, and for a
  // tktParameter the lexer's copy of the parameter's value. Other kinds
  // hold int_value 0.
  union {
    int64_t int_value = 0;
    double float_value;
    const TABSVariant* param_value;
  };
};
static_assert(sizeof(TToken) <= 40);

}  // namespace kelvorin
