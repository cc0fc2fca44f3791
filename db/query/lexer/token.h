// TToken, one token of an SQL text as the lexer hands it to the parsers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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

struct TToken {
  TTokenType token_type = tktNone;
  // The word's number for tktReservedWord, else AnyReservedWord.
  uint16_t reserved_word = AnyReservedWord;
  // Words and numbers as written (case kept); strings without their
  // delimiters, doubled closing delimiters reduced to one; parameters
  // without the colon; empty for tktNone.
  std::string text;
  // The parameter's value for tktParameter (shared by copies of the token).
  std::shared_ptr<const TABSVariant> param_value;
  // 1-based position of the first character (of the opening delimiter of a
  // string). The tktNone token past the end of a command carries the
  // position of the command's last token, so that errors at the end of a
  // command can name a place; 0 only when there is no command.
  int32_t line_num = 0;
  int32_t column_num = 0;
  // The value of a number: tktInt always fits int_value (the lexer refuses
  // larger ones); tktFloat is a finite double.
  int64_t int_value = 0;
  double float_value = 0;
};

}  // namespace kelvorin
