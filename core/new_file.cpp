#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/command_files.h"
#include "core/error.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace corvane {

namespace {

QString quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}

[[noreturn]] void refuse(const QString& path, const QString& reason) {
    throw FileError(
        QStringLiteral("Could not write the New file %1: %2.").arg(quoted(path), reason));
}

#ifdef Q_OS_UNIX

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Refuses a folder or a read-only file before anything is written. The mode bits are checked
// as well as the right to write, because with administrator rights every file is writable and
// the replacement would silently drop the read-only protection.
void checkTarget(const QString& path, const struct stat* existing) {
    if (existing == nullptr) {
        return;
    }
    if (S_ISDIR(existing->st_mode)) {
        refuse(path, QStringLiteral("it is a folder"));
    }
    if ((existing->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        refuse(path, QStringLiteral("it is read-only"));
    }
    if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) != 0) {
        refuse(path, systemReason(errno));
    }
}

// Gives the replacement the earlier file's owner and permission bits before it takes its
// place. A change of owner is only possible with administrator rights and is skipped otherwise.
QString keepOwnerAndMode(int handle, const struct stat& existing) {
    struct stat temporary {};
    if (::fstat(handle, &temporary) != 0) {
        return systemReason(errno);
    }
    if (temporary.st_uid != existing.st_uid || temporary.st_gid != existing.st_gid) {
        // Only administrator rights allow this; otherwise the replacement belongs to the user.
        [[maybe_unused]] const int changed = ::fchown(handle, existing.st_uid, existing.st_gid);
    }
    if (::fchmod(handle, existing.st_mode & 0777) != 0) {
        return systemReason(errno);
    }
    return {};
}

// Writes every byte straight to the file, so that a short write is seen with the system's
// reason instead of being lost in a buffer, and forces the bytes to the disk before commit.
QString writeAndSync(int handle, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(handle, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return systemReason(errno);
        }
        data += written;
        left -= written;
    }
    if (::fsync(handle) != 0 && errno != EINVAL && errno != ENOTSUP) {
        return systemReason(errno);
    }
    return {};
}

#endif

}  // namespace

void writeNewFile(const QString& path, const QString& line) {
    const QByteArray bytes = line.toLatin1() + QByteArrayLiteral("\r\n");

#ifdef Q_OS_UNIX
    struct stat existing {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &existing) == 0;
    checkTarget(path, exists ? &existing : nullptr);
#else
    const QFileInfo info(path);
    if (info.isDir()) {
        refuse(path, QStringLiteral("it is a folder"));
    }
    if (info.exists() && !info.isWritable()) {
        refuse(path, QStringLiteral("it is read-only"));
    }
#endif

    // The line goes to a temporary file beside the New file, which takes the New file's place
    // only when everything was written; a failure on the way leaves an earlier file as it was.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        refuse(path, file.errorString());
    }

#ifdef Q_OS_UNIX
    QString reason = exists ? keepOwnerAndMode(file.handle(), existing) : QString();
    if (reason.isEmpty()) {
        reason = writeAndSync(file.handle(), bytes);
    }
    if (!reason.isEmpty()) {
        file.cancelWriting();
        file.commit();
        refuse(path, reason);
    }
#else
    // commit() can report success after a write that failed on the way, so every step is
    // checked before the temporary file may replace the New file.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        file.commit();
        refuse(path, reason);
    }
#endif

    if (!file.commit()) {
        refuse(path, file.errorString());
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
