// Native error entries of the SQL lexer. Every one is raised while the text
// is tokenized, from the lexer's constructor.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

inline constexpr TABSNativeError kMissingRightParenthesis{
    30059, "Missing symbol ')' at line %d, column %d"};
inline constexpr TABSNativeError kUnexpectedRightParenthesis{
    30060, "Unexpected symbol ')' found at line %d, column %d"};
inline constexpr TABSNativeError kUnterminatedString{
    30061, "Unterminated string at line %d, column %d"};
inline constexpr TABSNativeError kInvalidNumericSymbol{
    30062, "Invalid numeric symbol '%s' at line %d, column %d"};
inline constexpr TABSNativeError kParameterNotFound{30358, "Value for parameter '%s' not found"};
// A number that does not convert whole (1.2.3, 1e, 1e309) or an integer
// beyond 64 bits.
inline constexpr TABSNativeError kInvalidNumber{30700, "Invalid number '%s' at line %d, column %d"};
inline constexpr TABSNativeError kUnterminatedComment{
    30701, "Unterminated comment at line %d, column %d"};
// A parameter in a text lexed without a parameter list (a filter, for
// example, where 12:30 reads as 12 and the parameter :30).
inline constexpr TABSNativeError kParameterWithoutList{
    30702, "Parameter ':%s' at line %d, column %d cannot be used here: no parameters are given"};

}  // namespace kelvorin::native
