// Windows-1250 tables, built once from the ICU converter.
#include "platform/locale_code_page.h"

#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <array>
#include <unordered_map>

namespace platform {
namespace {

struct CodePageTables {
  std::array<char16_t, 256> to_wide{};
  std::unordered_map<char16_t, char> to_ansi;
};

CodePageTables BuildTables() {
  CodePageTables tables;
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("windows-1250", &status);
  for (int b = 0; b < 256; ++b) {
    char16_t unit = static_cast<char16_t>(b);
    if (b >= 0x80 && converter != nullptr && U_SUCCESS(status)) {
      char in = static_cast<char>(b);
      UChar out[2] = {0, 0};
      UErrorCode s = U_ZERO_ERROR;
      int32_t n = ucnv_toUChars(converter, out, 2, &in, 1, &s);
      if (U_SUCCESS(s) && n == 1 && out[0] != 0xFFFD && out[0] != 0x1A) unit = out[0];
    }
    tables.to_wide[static_cast<size_t>(b)] = unit;
    tables.to_ansi.emplace(unit, static_cast<char>(b));
  }
  if (converter != nullptr) ucnv_close(converter);
  return tables;
}

const CodePageTables& Tables() {
  static const CodePageTables tables = BuildTables();
  return tables;
}

}  // namespace

char16_t AnsiCharToWide(unsigned char c) { return Tables().to_wide[c]; }

bool WideCharToAnsi(char16_t c, char* out) {
  if (c < 0x80) {
    *out = static_cast<char>(c);
    return true;
  }
  const auto& map = Tables().to_ansi;
  auto it = map.find(c);
  if (it == map.end()) {
    *out = '?';
    return false;
  }
  *out = it->second;
  return true;
}

void AnsiToWide(std::string_view text, std::u16string* wide) {
  const CodePageTables& tables = Tables();
  wide->resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    (*wide)[i] = tables.to_wide[static_cast<unsigned char>(text[i])];
  }
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string wide;
  AnsiToWide(text, &wide);
  return wide;
}

std::string WideToAnsi(std::u16string_view text) {
  std::string ansi(text.size(), '\0');
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    // A surrogate pair is one character without an 8-bit form.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
      ansi[out++] = '?';
      continue;
    }
    WideCharToAnsi(unit, &ansi[out++]);
  }
  ansi.resize(out);
  return ansi;
}

std::string AnsiToUtf8(std::string_view text) {
  std::u16string wide = AnsiToWide(text);
  std::string utf8;
  icu::UnicodeString(wide.data(), static_cast<int32_t>(wide.size())).toUTF8String(utf8);
  return utf8;
}

std::string Utf8ToAnsi(std::string_view text) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  return WideToAnsi(std::u16string_view(u.getBuffer(), static_cast<size_t>(u.length())));
}

}  // namespace platform
