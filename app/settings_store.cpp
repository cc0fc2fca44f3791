// Opening the per-user settings store and reading and writing integer texts.
#include "app/settings_store.h"

#include <QDir>
#include <QSettings>

namespace app {

namespace {

// A damaged line of the file (a format error) only loses its own values,
// which then read as missing; the next write repairs the file. A store that
// cannot be opened at all is an error.
void CheckAccess(const QSettings& store, const char* action) {
  if (store.status() == QSettings::AccessError)
    throw SettingsError(QStringLiteral("Cannot %1 the settings store \"%2\"")
                            .arg(QLatin1String(action), store.fileName())
                            .toStdString());
}

}  // namespace

std::unique_ptr<QSettings> OpenSettingsStore() {
#ifdef Q_OS_WIN
  return std::make_unique<QSettings>(
      QStringLiteral("HKEY_CURRENT_USER\\Software\\Corvath\\VESTRUM"), QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QDir::homePath() + QStringLiteral("/.VESTRUM"),
                                     QSettings::IniFormat);
#endif
}

std::optional<int> ParseStoredInteger(const QVariant& stored) {
  if (!stored.isValid() || stored.typeId() == QMetaType::QStringList) return std::nullopt;
  bool ok = false;
  const int value = stored.toString().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

std::optional<int> SettingsValue::Read() const {
  const std::unique_ptr<QSettings> store = OpenSettingsStore();
  CheckAccess(*store, "read");
  return ParseStoredInteger(store->value(key_));
}

void SettingsValue::Write(int value) const {
  const std::unique_ptr<QSettings> store = OpenSettingsStore();
  store->setValue(key_, QString::number(value));
  store->sync();
  CheckAccess(*store, "write");
}

}  // namespace app
