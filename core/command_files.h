#pragma once

#include <QString>

namespace corvane {

/// The first line of the file at path (every byte before the first CR, read as ISO 8859-1);
/// throws FileError when the file cannot be opened or holds no line at all.
QString readFirstLine(const QString& path);

/// Reads the Init file's first line, then the Reference file's, and returns the New file's line.
QString compareCommandFiles(const QString& initPath, const QString& referencePath,
                            const QString& separator);

/// Creates or replaces path with line and CR LF; on failure an earlier file stays as it was.
void writeNewFile(const QString& path, const QString& line);

/// True when both paths name one existing file, however each is spelt.
bool isSameFile(const QString& a, const QString& b);

}  // namespace corvane
