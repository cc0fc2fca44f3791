// EABSEngineError: a record operation that the cursor refused (a status
// code of TABSPostCode) raised by the dataset, with the code and its text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelvorin {

class EABSEngineError : public std::runtime_error {
 public:
  // Message: "Kelvorin Engine Error # " + code + " " + text.
  EABSEngineError(int32_t code, std::string text)
      : std::runtime_error("Kelvorin Engine Error # " + std::to_string(code) + " " + text),
        code_(code),
        text_(std::move(text)) {}

  int32_t ErrorCode() const noexcept { return code_; }
  const std::string& Text() const noexcept { return text_; }
  // The text of a status code; code -8 carries the engine's own message.
  static std::string TextOf(int32_t code, const std::string& engine_message);

 private:
  int32_t code_;
  std::string text_;
};

}  // namespace kelvorin
