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

#ifdef Q_OS_WIN
#include <QDir>
#include <QRandomGenerator>
#include <string>

#include "core/retry.h"

#include <windows.h>
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

#ifdef Q_OS_WIN

std::wstring nativePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// The system's text for an error, without the full stop that refuse() adds itself.
QString systemReason(DWORD error) {
    QString reason = qt_error_string(int(error)).trimmed();
    if (reason.endsWith(QLatin1Char('.'))) {
        reason.chop(1);
    }
    return reason;
}

// Writes the bytes to a new file beside the New file and forces them to the disk, so that the
// New file is only ever replaced by a complete one. Returns the new file's name.
std::wstring writeBeside(const QString& path, const QByteArray& bytes) {
    for (int tries = 1;; ++tries) {
        const quint32 suffix = QRandomGenerator::global()->generate();
        const std::wstring name =
            nativePath(path + QStringLiteral(".%1.tmp").arg(suffix, 8, 16, QLatin1Char('0')));
        // Opened for nobody else while it is written.
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS && tries < 8) {
                continue;
            }
            refuse(path, systemReason(error));
        }
        DWORD written = 0;
        DWORD error = ERROR_SUCCESS;
        if (!WriteFile(file, bytes.constData(), DWORD(bytes.size()), &written, nullptr) ||
            !FlushFileBuffers(file)) {
            error = GetLastError();
        } else if (written != DWORD(bytes.size())) {
            error = ERROR_HANDLE_DISK_FULL;
        }
        CloseHandle(file);
        if (error != ERROR_SUCCESS) {
            DeleteFileW(name.c_str());
            refuse(path, systemReason(error));
        }
        return name;
    }
}

// Failures that another program's brief hold on the New file causes: a virus scanner, the
// search indexer or a sync client that opened it. ReplaceFileW reports them as its own codes.
bool heldByAnother(DWORD error) {
    switch (error) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_ACCESS_DENIED:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
            return true;
        default:
            return false;
    }
}

// The attributes that say how a file is to be treated and that its replacement keeps; a
// read-only New file is refused before anything is written.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Puts the written file in the New file's place, retrying while another program holds it.
void commitBeside(const QString& path, const std::wstring& written) {
    const std::wstring target = nativePath(path);
    DWORD error = ERROR_SUCCESS;
    const TryResult result = retryWhileBusy([&] {
        const DWORD attributes = GetFileAttributesW(target.c_str());
        BOOL done = FALSE;
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            done = MoveFileExW(written.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        } else {
            // An existing New file is replaced, not renamed over: ReplaceFileW keeps its
            // creation time, security and streams, and the copied attributes keep a hidden
            // New file hidden.
            const DWORD kept = attributes & kKeptAttributes;
            SetFileAttributesW(written.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
            done = ReplaceFileW(target.c_str(), written.c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                                nullptr, nullptr);
        }
        if (done) {
            return TryResult::Done;
        }
        error = GetLastError();
        return heldByAnother(error) ? TryResult::Busy : TryResult::Failed;
    });
    if (result != TryResult::Done) {
        DeleteFileW(written.c_str());
        refuse(path, systemReason(error));
    }
}

// The volume and the file's number on it, which every spelling of one file shares: 8.3 short
// names, trailing dots, a mapped drive and its network path, SUBST drives, junctions. Empty
// when the file cannot be opened.
QByteArray fileIdentity(const QString& path) {
    // No access right is asked for, so a file that another program holds open can still be
    // asked; backup semantics let a folder be opened as well.
    const HANDLE file = CreateFileW(nativePath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    QByteArray identity;
    FILE_ID_INFO id{};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id)) {
        identity = QByteArray(reinterpret_cast<const char*>(&id), sizeof id);
    } else if (GetFileInformationByHandle(file, &info)) {
        // File systems without 128-bit file numbers (FAT, some network shares) give 64 bits.
        const quint64 parts[] = {info.dwVolumeSerialNumber,
                                 (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
        identity = QByteArray(reinterpret_cast<const char*>(parts), sizeof parts);
    }
    CloseHandle(file);
    return identity;
}

#endif

}  // namespace

void writeNewFile(const QString& path, const QString& line) {
    const QByteArray bytes = line.toLatin1() + QByteArrayLiteral("\r\n");

#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (info.isDir()) {
        refuse(path, QStringLiteral("it is a folder"));
    }
    if (info.exists() && !info.isWritable()) {
        refuse(path, QStringLiteral("it is read-only"));
    }
    // The line goes to a new file beside the New file, which takes the New file's place only
    // when everything was written; a failure on the way leaves an earlier file as it was.
    commitBeside(path, writeBeside(path, bytes));
#else
    struct stat existing {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &existing) == 0;
    checkTarget(path, exists ? &existing : nullptr);

    // The line goes to a temporary file beside the New file, which takes the New file's place
    // only when everything was written; a failure on the way leaves an earlier file as it was.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        refuse(path, file.errorString());
    }

    QString reason = exists ? keepOwnerAndMode(file.handle(), existing) : QString();
    if (reason.isEmpty()) {
        reason = writeAndSync(file.handle(), bytes);
    }
    if (!reason.isEmpty()) {
        file.cancelWriting();
        file.commit();
        refuse(path, reason);
    }

    if (!file.commit()) {
        refuse(path, file.errorString());
    }
#endif
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
    const QByteArray ia = fileIdentity(a);
    const QByteArray ib = fileIdentity(b);
    if (!ia.isEmpty() && !ib.isEmpty()) {
        return ia == ib;
    }
    // A file that cannot be opened (missing, or refused) is compared by its canonical path.
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    return !ca.isEmpty() && ca.compare(cb, Qt::CaseInsensitive) == 0;
#endif
}

}  // namespace corvane
