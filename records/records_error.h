// The tournament records' one error type. Its what() is the text the user
// sees in the message box: the data module's refusals, the players list
// file's errors (naming the line) and the players' post checks (naming the
// id or the character). Errors of the database layer pass through unchanged.
// The text is UTF-8: it may quote a character that the code page lacks.
#pragma once

#include <stdexcept>
#include <string>

namespace records {

class RecordsError : public std::runtime_error {
 public:
  explicit RecordsError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace records
