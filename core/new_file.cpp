#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/command_files.h"
#include "core/error.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace corvane {

namespace {
QString quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}
}  // namespace

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
