// The per-user store of window settings and the integer texts kept in it.
//
// Every setting is a text value holding a decimal integer, under a section
// (a key of its own). On Windows the store is the current user's registry key
// "Software\Corvath\VESTRUM"; elsewhere it is the INI file "$HOME/.VESTRUM".
// The store is opened afresh for every value and closed again, so windows that
// save one after the other never overwrite each other's values with a stale
// copy.
#pragma once

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <stdexcept>

class QSettings;

namespace app {

// Raised by the settings component with the text the user is shown.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The store as it is on this platform.
std::unique_ptr<QSettings> OpenSettingsStore();

// The integer a stored value holds, or nothing when it is missing or holds
// anything else (letters, a fraction, a number outside 32 bits, a list).
std::optional<int> ParseStoredInteger(const QVariant& stored);

// One value of the store: `key` is "Section/Name" (a section may hold a slash
// itself, as "HraciWin/HraciWin" does).
class SettingsValue {
 public:
  explicit SettingsValue(QString key) : key_(std::move(key)) {}

  // The stored integer, or nothing when it is missing or not an integer.
  // Throws SettingsError when the store cannot be read at all.
  std::optional<int> Read() const;
  // Writes the decimal text of `value` and makes sure it reached the store.
  // Throws SettingsError when it did not.
  void Write(int value) const;

 private:
  QString key_;
};

}  // namespace app
