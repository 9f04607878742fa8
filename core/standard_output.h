#pragma once

#include <QByteArray>

namespace corvane {

/// Writes bytes to standard output exactly as given (no line-end translation) and flushes them;
/// throws FileError with the system's reason when they cannot all be written.
void writeStandardOutput(const QByteArray& bytes);

}  // namespace corvane
