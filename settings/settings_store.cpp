#include "settings/settings_store.h"

#include <QDir>
#include <QSettings>
#include <QStringList>

#include "core/error.h"

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
    if (settings_.status() == QSettings::AccessError) {
        throw FileError(FileReason::ReadFailed, FileRole::Settings, location());
    }
    if (!value.isValid()) {
        return defaultValue;
    }
    // A hand-edited INI value with an unquoted comma ("Separator=,") comes back as a list,
    // and a multi-string registry value as well: give back the text as it was typed.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QLatin1Char(','));
    }
    return value.toString();
}

void SettingsStore::save(QLatin1String key, const QString& text) {
    // Always a QString: a number or a list would become a DWORD or multi-string in the registry.
    settings_.setValue(address(key), text);
    settings_.sync();
    // A format error is left over from reading a damaged file; the write itself still succeeds.
    if (settings_.status() == QSettings::AccessError) {
        throw FileError(FileReason::WriteFailed, FileRole::Settings, location(), key);
    }
}

QString SettingsStore::location() const {
    return QDir::toNativeSeparators(settings_.fileName());
}

std::unique_ptr<QSettings> SettingsStore::openUserSettings() {
#ifdef Q_OS_WIN
    // Where values stored by earlier versions of the program already live.
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Corvane"),
        QSettings::NativeFormat);
#else
    // ${XDG_CONFIG_HOME:-~/.config}/Corvane/Corvane.ini
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Corvane"), QStringLiteral("Corvane"));
#endif
}

}  // namespace corvane
