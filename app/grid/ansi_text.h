// The bridge between the engine's 8-bit strings (the system code page,
// Windows-1250) and the toolkit's UTF-16 text. Only the widgets convert.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace app {

QString FromAnsi(std::string_view text);

// The 8-bit form of `text`, or nothing when a character has none; then
// `missing` (when given) receives the first such character.
std::optional<std::string> ToAnsi(const QString& text, QString* missing = nullptr);

// The error text for a character the code page cannot hold.
std::string CharacterNotInCodePage(const QString& character);

}  // namespace app
