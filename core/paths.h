#pragma once

#include <QChar>
#include <QString>

namespace corvane {

/// The separator between folders in the paths the user sees on this platform.
QChar nativeSeparator();

/// A New file name with no separator in it, placed in currentDir the way Run completes it:
/// joined by one separator, then every doubled separator collapsed. Other paths come back as is.
QString completeWithFolder(const QString& path, const QString& currentDir, QChar separator);

/// The path with ".dat" appended unless ".dat" (in that letter case) occurs anywhere in it.
QString withDatExtension(const QString& path);

/// The folder that Run remembers for a New file: everything before the last separator
/// ("C:" for "C:\new.dat", "/" for "/new.dat"); throws OverflowError past 16-bit positions.
QString folderOf(const QString& path, QChar separator);

/// The New file proposed for a Reference file: its folder with the separator, "New_", its name.
QString proposeNewFile(const QString& referencePath, const QString& fileName, QChar separator);

}  // namespace corvane
