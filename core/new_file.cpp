#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "core/command_files.h"
#include "core/error.h"
#include "core/file_kind.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#endif

#ifdef Q_OS_WIN
#include <QDir>
#include <string>

#include "core/retry.h"

#include <windows.h>
#endif

namespace corvane {

namespace {

[[noreturn]] void refuse(const QString& path, FileReason reason, const QString& detail = {}) {
    throw FileError(reason, FileRole::New, path, detail);
}

[[noreturn]] void refuse(const QString& path, const QString& detail) {
    refuse(path, FileReason::WriteFailed, detail);
}

#ifdef Q_OS_UNIX

[[noreturn]] void refuseFor(const QString& path, int error) {
    refuse(path,
           error == ENOENT                     ? FileReason::Missing
           : error == EACCES || error == EPERM ? FileReason::NoPermission
                                               : FileReason::WriteFailed,
           qt_error_string(error));
}

// Refuses a folder, anything else that is not a regular file (a named pipe, a socket, a device:
// replacing one would destroy it, writing into one could block or reach hardware) and a
// read-only file, before anything is written. The mode bits are checked as well as the right to
// write, because with administrator rights every file is writable and the replacement would
// silently drop the read-only protection.
void checkTarget(const QString& path, const struct stat* existing) {
    if (existing == nullptr) {
        return;
    }
    if (S_ISDIR(existing->st_mode)) {
        refuse(path, FileReason::Folder);
    }
    if (!S_ISREG(existing->st_mode)) {
        refuse(path, FileReason::NotRegular, entryKind(existing->st_mode));
    }
    if ((existing->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        refuse(path, FileReason::NoPermission);
    }
    if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) != 0) {
        refuseFor(path, errno);
    }
}

// Gives the replacement the earlier file's owner and permission bits before it takes its
// place. A change of owner is only possible with administrator rights and is skipped otherwise.
QString keepOwnerAndMode(int handle, const struct stat& existing) {
    struct stat temporary {};
    if (::fstat(handle, &temporary) != 0) {
        return qt_error_string(errno);
    }
    if (temporary.st_uid != existing.st_uid || temporary.st_gid != existing.st_gid) {
        // Only administrator rights allow this; otherwise the replacement belongs to the user.
        [[maybe_unused]] const int changed = ::fchown(handle, existing.st_uid, existing.st_gid);
    }
    if (::fchmod(handle, existing.st_mode & 0777) != 0) {
        return qt_error_string(errno);
    }
    return {};
}

// Writes size bytes at offset straight to the file, so that a short write is seen with the
// system's reason instead of being lost in a buffer.
QString writeAt(int handle, const char* data, qsizetype size, off_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(handle, data, size_t(size), offset);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return qt_error_string(errno);
        }
        data += written;
        size -= written;
        offset += written;
    }
    return {};
}

// Forces the bytes to the disk, where the file system can.
QString sync(int handle) {
    if (::fsync(handle) != 0 && errno != EINVAL && errno != ENOTSUP) {
        return qt_error_string(errno);
    }
    return {};
}

QString changedMeanwhile() {
    return QStringLiteral("another program changed or removed it meanwhile");
}

// True while target still names the entry that was checked (none when existing is null).
bool unchanged(const QByteArray& target, const struct stat* existing) {
    struct stat now {};
    if (::lstat(target.constData(), &now) != 0) {
        return existing == nullptr && errno == ENOENT;
    }
    return existing != nullptr && now.st_dev == existing->st_dev && now.st_ino == existing->st_ino;
}

// Rewrites the regular file target in its place, for a folder that takes no new file. The file
// first grows to the new length, so that a full disk or a size limit stops the write while the
// earlier line is still whole; the start is then written over blocks that already exist.
void rewriteInPlace(const QString& path, const QByteArray& target, const QByteArray& bytes,
                    const struct stat& existing) {
    const int handle = ::open(target.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        refuseFor(path, errno);
    }
    struct stat opened {};
    QString reason = ::fstat(handle, &opened) != 0 ? qt_error_string(errno) : QString();
    if (reason.isEmpty() &&
        (opened.st_dev != existing.st_dev || opened.st_ino != existing.st_ino)) {
        reason = changedMeanwhile();
    }
    const qsizetype earlier = qsizetype(opened.st_size);
    const qsizetype size = bytes.size();
    if (reason.isEmpty() && size > earlier) {
        reason = writeAt(handle, bytes.constData() + earlier, size - earlier, off_t(earlier));
        if (!reason.isEmpty()) {
            [[maybe_unused]] const int cut = ::ftruncate(handle, off_t(earlier));
        }
    }
    if (reason.isEmpty()) {
        reason = writeAt(handle, bytes.constData(), std::min(size, earlier), 0);
    }
    if (reason.isEmpty() && size < earlier && ::ftruncate(handle, off_t(size)) != 0) {
        reason = qt_error_string(errno);
    }
    if (reason.isEmpty()) {
        reason = sync(handle);
    }
    if (::close(handle) != 0 && reason.isEmpty()) {
        reason = qt_error_string(errno);
    }
    if (!reason.isEmpty()) {
        refuse(path, reason);
    }
}

// Writes the bytes to a temporary file beside target, which takes target's place only when
// everything was written; a failure on the way leaves an earlier file as it was. The temporary
// name is short, so that a name up to the file system's limit can be replaced.
void replace(const QString& path, const QByteArray& target, const QByteArray& bytes,
             const struct stat* existing) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : target.left(std::max<qsizetype>(1, slash));
    QByteArray temporary;
    int handle = -1;
    for (int attempt = 0; attempt < 100 && handle < 0; ++attempt) {
        temporary = folder + "/.corvane-" +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        // 0666 lets the user's umask decide a new file's mode, as for any other new file.
        handle = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle < 0 && errno != EEXIST) {
            break;
        }
    }
    if (handle < 0) {
        const int error = errno;
        if (existing != nullptr && (error == EACCES || error == EPERM)) {
            rewriteInPlace(path, target, bytes, *existing);
            return;
        }
        refuseFor(path, error);
    }
    QString reason = existing ? keepOwnerAndMode(handle, *existing) : QString();
    if (reason.isEmpty()) {
        reason = writeAt(handle, bytes.constData(), bytes.size(), 0);
    }
    if (reason.isEmpty()) {
        reason = sync(handle);
    }
    if (::close(handle) != 0 && reason.isEmpty()) {
        reason = qt_error_string(errno);
    }
    // Looked at once more just before the rename, so that an entry that took the name after the
    // checks (a named pipe, a device) is kept instead of being replaced.
    if (reason.isEmpty() && !unchanged(target, existing)) {
        reason = changedMeanwhile();
    }
    if (reason.isEmpty() && ::rename(temporary.constData(), target.constData()) != 0) {
        reason = qt_error_string(errno);
    }
    if (!reason.isEmpty()) {
        ::unlink(temporary.constData());
        refuse(path, reason);
    }
}

// Creates or replaces path with bytes; a link is followed, and its target is what is replaced.
void writeOnUnix(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    struct stat entry {};
    if (::lstat(name.constData(), &entry) != 0) {
        if (errno != ENOENT) {
            refuseFor(path, errno);
        }
        replace(path, name, bytes, nullptr);
        return;
    }
    struct stat existing {};
    if (::stat(name.constData(), &existing) != 0) {
        errno == ENOENT ? refuse(path, FileReason::Missing) : refuseFor(path, errno);
    }
    checkTarget(path, &existing);
    QByteArray target = name;
    if (S_ISLNK(entry.st_mode)) {
        char* resolved = ::realpath(name.constData(), nullptr);
        if (resolved == nullptr) {
            refuseFor(path, errno);
        }
        target = resolved;
        std::free(resolved);
    }
    replace(path, target, bytes, &existing);
}

#endif

#ifdef Q_OS_WIN

std::wstring nativePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// The system's text for an error, without the full stop that refuse() adds itself.
QString qt_error_string(DWORD error) {
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
            refuse(path, qt_error_string(error));
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
            refuse(path, qt_error_string(error));
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
        refuse(path, qt_error_string(error));
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
        refuse(path, FileReason::Folder);
    }
    if (info.exists() && !info.isWritable()) {
        refuse(path, FileReason::NoPermission);
    }
    // The line goes to a new file beside the New file, which takes the New file's place only
    // when everything was written; a failure on the way leaves an earlier file as it was.
    commitBeside(path, writeBeside(path, bytes));
#else
    writeOnUnix(path, bytes);
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
