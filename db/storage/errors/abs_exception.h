// The database engine's one exception type. Every failure inside the engine is
// raised as an EABSException: a message text followed by " - Native error: "
// and a native code that identifies the raising place (see native_errors.h).
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvorin {

struct TABSNativeError;

// One argument of a formatted message. Arguments are typed: an integer only
// fills %d (or %u, %x), a text only fills %s, a double only a float
// placeholder, so a name taken from SQL text is never read as a format.
class TABSFormatArg {
 public:
  enum class Kind { kSigned, kUnsigned, kDouble, kText };

  template <std::signed_integral T>
  TABSFormatArg(T value) : kind_(Kind::kSigned), signed_(value) {}  // NOLINT
  template <std::unsigned_integral T>
  TABSFormatArg(T value) : kind_(Kind::kUnsigned), unsigned_(value) {}  // NOLINT
  TABSFormatArg(bool value) : kind_(Kind::kSigned), signed_(value ? 1 : 0) {}  // NOLINT
  TABSFormatArg(double value) : kind_(Kind::kDouble), double_(value) {}  // NOLINT
  TABSFormatArg(const char* text)  // NOLINT
      : kind_(Kind::kText), text_(text != nullptr ? text : "") {}
  TABSFormatArg(const std::string& text) : kind_(Kind::kText), text_(text) {}  // NOLINT
  TABSFormatArg(std::string_view text) : kind_(Kind::kText), text_(text) {}  // NOLINT

  Kind kind() const { return kind_; }
  int64_t AsSigned() const { return signed_; }
  uint64_t AsUnsigned() const { return unsigned_; }
  double AsDouble() const { return double_; }
  std::string_view AsText() const { return text_; }

 private:
  Kind kind_;
  int64_t signed_ = 0;
  uint64_t unsigned_ = 0;
  double double_ = 0;
  std::string_view text_;
};

// Substitutes the arguments into a printf-like format in one pass. Supported
// placeholders: %d %u %x (integers), %s (texts), %f %g %e (doubles), with
// optional '-' flag, width and precision, and %% for a percent sign. Extra
// arguments are ignored. Returns false when an argument does not fit its
// placeholder, an argument is missing or the format is malformed.
bool FormatMessageText(std::string_view format, std::initializer_list<TABSFormatArg> args,
                       std::string* out);

class EABSException : public std::runtime_error {
 public:
  // Message: text + " - Native error: " + code padded with zeros to 5 digits.
  EABSException(int32_t native_code, std::string_view text);
  // Message: the formatted text (or the format followed by " Arguments are
  // invalid!" when the arguments do not fit) + " - Native error: " + code
  // padded with blanks to 5 characters.
  EABSException(int32_t native_code, std::string_view format,
                std::initializer_list<TABSFormatArg> args);
  // The same from a catalogue entry.
  explicit EABSException(const TABSNativeError& error);
  EABSException(const TABSNativeError& error, std::initializer_list<TABSFormatArg> args);

  int32_t NativeError() const noexcept { return native_code_; }

 private:
  int32_t native_code_;
};

// A range error that is not an engine error (for example the result of
// small-integer arithmetic that does not fit its type).
class ERangeError : public std::range_error {
 public:
  ERangeError() : std::range_error("Range check error") {}
};

}  // namespace kelvorin
