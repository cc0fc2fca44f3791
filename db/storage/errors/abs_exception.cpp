// Message building of EABSException.
#include "db/storage/errors/abs_exception.h"

#include <cstdio>

#include "db/storage/errors/native_errors.h"

namespace kelvorin {
namespace {

struct Placeholder {
  bool left_align = false;
  int width = -1;
  int precision = -1;
  char conversion = 0;
};

// Reads one placeholder after '%'; *pos is advanced past it.
bool ParsePlaceholder(std::string_view format, size_t* pos, Placeholder* ph) {
  size_t i = *pos;
  if (i < format.size() && format[i] == '-') {
    ph->left_align = true;
    ++i;
  }
  auto read_number = [&](int* value) {
    int n = 0;
    bool any = false;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      if (n > 9999) return false;
      n = n * 10 + (format[i] - '0');
      any = true;
      ++i;
    }
    if (any) *value = n;
    return true;
  };
  if (!read_number(&ph->width)) return false;
  if (i < format.size() && format[i] == '.') {
    ++i;
    ph->precision = 0;
    if (!read_number(&ph->precision)) return false;
  }
  if (i >= format.size()) return false;
  ph->conversion = format[i];
  *pos = i + 1;
  return true;
}

// The printf directive of one placeholder, with a length modifier of our
// choosing so that every integer is printed at 64 bits.
std::string BuildDirective(const Placeholder& ph, const char* length, char conversion) {
  std::string directive = "%";
  if (ph.left_align) directive += '-';
  if (ph.width >= 0) directive += std::to_string(ph.width);
  if (ph.precision >= 0) {
    directive += '.';
    directive += std::to_string(ph.precision);
  }
  directive += length;
  directive += conversion;
  return directive;
}

void AppendPadded(std::string* out, std::string_view text, const Placeholder& ph) {
  if (ph.precision >= 0 && text.size() > static_cast<size_t>(ph.precision)) {
    text = text.substr(0, static_cast<size_t>(ph.precision));
  }
  size_t pad = ph.width > 0 && text.size() < static_cast<size_t>(ph.width)
                   ? static_cast<size_t>(ph.width) - text.size()
                   : 0;
  if (!ph.left_align) out->append(pad, ' ');
  out->append(text);
  if (ph.left_align) out->append(pad, ' ');
}

template <typename T>
void AppendPrintf(std::string* out, const std::string& directive, T value) {
  char buffer[128];
  int n = std::snprintf(buffer, sizeof buffer, directive.c_str(), value);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof buffer) {
    out->append(buffer, static_cast<size_t>(n));
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), directive.c_str(), value);
  big.resize(static_cast<size_t>(n));
  out->append(big);
}

bool AppendArgument(std::string* out, const Placeholder& ph, const TABSFormatArg& arg) {
  using Kind = TABSFormatArg::Kind;
  switch (ph.conversion) {
    case 'd':
    case 'u':
    case 'x': {
      if (arg.kind() != Kind::kSigned && arg.kind() != Kind::kUnsigned) return false;
      if (arg.kind() == Kind::kSigned && ph.conversion == 'd') {
        AppendPrintf(out, BuildDirective(ph, "ll", 'd'), static_cast<long long>(arg.AsSigned()));
        return true;
      }
      unsigned long long value = arg.kind() == Kind::kSigned
                                     ? static_cast<unsigned long long>(arg.AsSigned())
                                     : static_cast<unsigned long long>(arg.AsUnsigned());
      AppendPrintf(out, BuildDirective(ph, "ll", ph.conversion == 'x' ? 'x' : 'u'), value);
      return true;
    }
    case 's':
      if (arg.kind() != Kind::kText) return false;
      AppendPadded(out, arg.AsText(), ph);
      return true;
    case 'f':
    case 'g':
    case 'e':
      if (arg.kind() != Kind::kDouble) return false;
      AppendPrintf(out, BuildDirective(ph, "", ph.conversion), arg.AsDouble());
      return true;
    default:
      return false;
  }
}

std::string WithCode(std::string text, const char* code_format, int32_t code) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, code_format, static_cast<int>(code));
  text += " - Native error: ";
  text += buffer;
  return text;
}

std::string FormattedText(std::string_view format, std::initializer_list<TABSFormatArg> args) {
  std::string text;
  if (!FormatMessageText(format, args, &text)) {
    text.assign(format);
    text += " Arguments are invalid!";
  }
  return text;
}

}  // namespace

bool FormatMessageText(std::string_view format, std::initializer_list<TABSFormatArg> args,
                       std::string* out) {
  out->clear();
  const TABSFormatArg* next = args.begin();
  size_t i = 0;
  while (i < format.size()) {
    size_t percent = format.find('%', i);
    if (percent == std::string_view::npos) {
      out->append(format.substr(i));
      break;
    }
    out->append(format.substr(i, percent - i));
    i = percent + 1;
    if (i < format.size() && format[i] == '%') {
      out->push_back('%');
      ++i;
      continue;
    }
    Placeholder ph;
    if (!ParsePlaceholder(format, &i, &ph)) return false;
    if (next == args.end()) return false;
    if (!AppendArgument(out, ph, *next)) return false;
    ++next;
  }
  return true;
}

EABSException::EABSException(int32_t native_code, std::string_view text)
    : std::runtime_error(WithCode(std::string(text), "%.5d", native_code)),
      native_code_(native_code) {}

EABSException::EABSException(int32_t native_code, std::string_view format,
                             std::initializer_list<TABSFormatArg> args)
    : std::runtime_error(WithCode(FormattedText(format, args), "%5d", native_code)),
      native_code_(native_code) {}

EABSException::EABSException(const TABSNativeError& error)
    : EABSException(error.code, error.text) {}

EABSException::EABSException(const TABSNativeError& error,
                             std::initializer_list<TABSFormatArg> args)
    : EABSException(error.code, error.text, args) {}

}  // namespace kelvorin
