// Code page conversion at the widgets.
#include "app/grid/ansi_text.h"

#include "platform/locale_code_page.h"

namespace app {

QString FromAnsi(std::string_view text) {
  return QString::fromStdU16String(platform::AnsiToWide(text));
}

std::optional<std::string> ToAnsi(const QString& text, QString* missing) {
  std::string ansi;
  ansi.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    char c = 0;
    if (!platform::WideCharToAnsi(text[i].unicode(), &c)) {
      if (missing != nullptr) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
        *missing = text.mid(i, pair ? 2 : 1);
      }
      return std::nullopt;
    }
    ansi.push_back(c);
  }
  return ansi;
}

std::string CharacterNotInCodePage(const QString& character) {
  return ("The character '" + character + "' cannot be stored in the Windows-1250 code page")
      .toStdString();
}

}  // namespace app
