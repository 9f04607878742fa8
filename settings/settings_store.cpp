#include "settings/settings_store.h"

#include <QSettings>

namespace corvane {

namespace {
const QString kSection = QStringLiteral("Settings");

QString address(QLatin1String key) {
    return kSection + QLatin1Char('/') + key;
}
}  // namespace

SettingsStore::SettingsStore(QSettings& settings) : settings_(settings) {}

QString SettingsStore::get(QLatin1String key, const QString& defaultValue) const {
    const QVariant value = settings_.value(address(key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::save(QLatin1String key, const QString& text) {
    settings_.setValue(address(key), text);
}

std::unique_ptr<QSettings> SettingsStore::openUserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Corvane"), QStringLiteral("Corvane"));
}

}  // namespace corvane
