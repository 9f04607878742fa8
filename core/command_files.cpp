#include "core/command_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/command_list.h"
#include "core/error.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

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

void writeNewFile(const QString& path, const QString& line) {
    const QFileInfo info(path);
    if (info.isDir()) {
        throw FileError(
            QStringLiteral("Could not write the New file %1: it is a folder.").arg(quoted(path)));
    }
    // Checked by mode bits as well, because a saving file replaces even a read-only target
    // when the program runs with administrator rights.
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteUser |
                              QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (info.exists() && (!info.isWritable() || !(info.permissions() & anyWrite))) {
        throw FileError(
            QStringLiteral("Could not write the New file %1: it is read-only.").arg(quoted(path)));
    }

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        throw FileError(QStringLiteral("Could not write the New file %1: %2.")
                            .arg(quoted(path), file.errorString()));
    }
    const QByteArray bytes = line.toLatin1() + QByteArrayLiteral("\r\n");
    // A short write or failed flush must not be committed: the earlier file would be lost.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        file.commit();
        throw FileError(
            QStringLiteral("Could not write the New file %1: %2.").arg(quoted(path), reason));
    }
    if (!file.commit()) {
        throw FileError(QStringLiteral("Could not write the New file %1: %2.")
                            .arg(quoted(path), file.errorString()));
    }
}

bool isSameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) {
        return false;
    }
#ifdef Q_OS_UNIX
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0) {
        return false;
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#else
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    return !ca.isEmpty() && ca.compare(cb, Qt::CaseInsensitive) == 0;
#endif
}

}  // namespace corvane
