// EDatabaseError: the refusals of the access layer's components that carry
// no native code ("Database name missing", "Cannot perform this operation
// on an open database", ...). The message is the component's name, a colon,
// a blank and the text, or the text alone for a component without a name.
// Engine errors (EABSException) pass through the layer unchanged.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvorin {

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(std::string_view text) : std::runtime_error(std::string(text)) {}
  EDatabaseError(std::string_view component_name, std::string_view text)
      : std::runtime_error(Compose(component_name, text)) {}

 private:
  static std::string Compose(std::string_view component_name, std::string_view text) {
    if (component_name.empty()) return std::string(text);
    std::string message(component_name);
    message += ": ";
    message += text;
    return message;
  }
};

}  // namespace kelvorin
