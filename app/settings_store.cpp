// Opening the per-user settings store and reading and writing integer texts.
#include "app/settings_store.h"

#include <QDir>
#include <QSettings>

namespace app {

namespace {

QString StatusText(QSettings::Status status, const QSettings& store) {
  switch (status) {
    case QSettings::AccessError:
      return QStringLiteral("Cannot write the settings store \"%1\"").arg(store.fileName());
    case QSettings::FormatError:
      return QStringLiteral("The settings store \"%1\" is damaged").arg(store.fileName());
    case QSettings::NoError:
      break;
  }
  return QString();
}

}  // namespace

std::unique_ptr<QSettings> OpenSettingsStore() {
#ifdef Q_OS_WIN
  return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\Corvath\\VESTRUM"),
                                     QSettings::NativeFormat);
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
  if (store->status() != QSettings::NoError)
    throw SettingsError(StatusText(store->status(), *store).toStdString());
  return ParseStoredInteger(store->value(key_));
}

void SettingsValue::Write(int value) const {
  const std::unique_ptr<QSettings> store = OpenSettingsStore();
  store->setValue(key_, QString::number(value));
  store->sync();
  if (store->status() != QSettings::NoError)
    throw SettingsError(StatusText(store->status(), *store).toStdString());
}

}  // namespace app
