#include "core/paths.h"

#include "core/error.h"

namespace corvane {

namespace {

// The 1-based position of the last separator, which Run and the proposal hold as 16-bit.
qsizetype lastSeparatorPosition(const QString& path, QChar separator) {
    const qsizetype position = path.lastIndexOf(separator) + 1;
    if (position > 32767) {
        throw OverflowError(
            QStringLiteral("The path is too long: its last folder separator is at position %1, "
                           "past the limit of 32,767.")
                .arg(position));
    }
    return position;
}

}  // namespace

QChar nativeSeparator() {
#ifdef Q_OS_WIN
    return QLatin1Char('\\');
#else
    return QLatin1Char('/');
#endif
}

QString completeWithFolder(const QString& path, const QString& currentDir, QChar separator) {
    if (path.contains(separator)) {
        return path;
    }
    const QString completed = currentDir + separator + path;
    // The join doubles the separator when the current directory is a root ("C:\" or "/"). Two
    // separators that open the current directory name a network folder ("\\lab\setups") and stay.
    const QString pair(2, separator);
    const qsizetype kept = currentDir.startsWith(pair) ? 2 : 0;
    return completed.left(kept) + completed.mid(kept).replace(pair, QString(separator));
}

QString withDatExtension(const QString& path) {
    return path.contains(QLatin1String(".dat")) ? path : path + QLatin1String(".dat");
}

QString folderOf(const QString& path, QChar separator) {
    const qsizetype position = lastSeparatorPosition(path, separator);
    if (position == 0) {
        return {};
    }
    if (position == 1 && separator == QLatin1Char('/')) {
        // A file directly in "/" keeps "/" as its folder; the empty text would mean "none".
        return QString(separator);
    }
    return path.left(position - 1);
}

QString proposeNewFile(const QString& referencePath, const QString& fileName, QChar separator) {
    const qsizetype position = lastSeparatorPosition(referencePath, separator);
    return referencePath.left(position) + QStringLiteral("New_") + fileName;
}

}  // namespace corvane
