#pragma once

#include <QLatin1String>
#include <QString>
#include <memory>

class QSettings;

namespace corvane {

/// The four remembered values, each a string under application "Corvane", section "Settings".
namespace keys {
inline constexpr QLatin1String Directory{"Directory"};
inline constexpr QLatin1String Separator{"Separator"};
inline constexpr QLatin1String OpenNewFile{"Open New File"};
inline constexpr QLatin1String QuintrelPath{"quintrelPath"};
}  // namespace keys

/// Get-with-default and save of the per-user string settings, over a QSettings it is given.
class SettingsStore {
public:
    explicit SettingsStore(QSettings& settings);

    /// The stored text under key, even an empty one; defaultValue when nothing is stored.
    /// Throws FileError when the store exists but cannot be read.
    QString get(QLatin1String key, const QString& defaultValue = {}) const;
    /// Stores text under key as a string and writes it out; throws FileError when that fails.
    void save(QLatin1String key, const QString& text);
    /// Where the values live, as the user would look for them: a file path or a registry key.
    QString location() const;

    /// The current user's store: the registry key on Windows, an INI file elsewhere.
    static std::unique_ptr<QSettings> openUserSettings();

private:
    QSettings& settings_;
};

}  // namespace corvane
