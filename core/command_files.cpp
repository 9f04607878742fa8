#include "core/command_files.h"

#include <QFile>
#include <QFileInfo>

#include "core/command_list.h"
#include "core/error.h"

namespace corvane {

namespace {

constexpr qint64 kChunk = 64 * 1024;

QString quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// Reads every byte before the first CR. The file is closed on every way out, so a later Run
// can open it again.
QString firstLineOf(const QString& path, const QString& role) {
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        throw FileError(QStringLiteral("Could not open the %1 %2: it is a folder, not a file.")
                            .arg(role, quoted(path)));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw FileError(QStringLiteral("Could not open the %1 %2: %3.")
                            .arg(role, quoted(path), file.errorString()));
    }
    QByteArray line;
    bool any = false;
    for (;;) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError) {
                throw FileError(QStringLiteral("Could not read the %1 %2: %3.")
                                    .arg(role, quoted(path), file.errorString()));
            }
            break;
        }
        any = true;
        const qsizetype cr = chunk.indexOf('\r');
        if (cr >= 0) {
            line += chunk.left(cr);
            break;
        }
        line += chunk;
    }
    if (!any) {
        throw FileError(
            QStringLiteral("Could not read the %1 %2: it is empty and has no first line.")
                .arg(role, quoted(path)));
    }
    return QString::fromLatin1(line);
}

}  // namespace

QString readFirstLine(const QString& path) {
    return firstLineOf(path, QStringLiteral("file"));
}

QString compareCommandFiles(const QString& initPath, const QString& referencePath,
                            const QString& separator) {
    const QString init = firstLineOf(initPath, QStringLiteral("Init file"));
    const QString reference = firstLineOf(referencePath, QStringLiteral("Reference file"));
    return FilterCommandList(reference, init, separator);
}

}  // namespace corvane
