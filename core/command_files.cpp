#include "core/command_files.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>

#include "core/command_list.h"
#include "core/command_scan.h"
#include "core/file_kind.h"
#include "core/run_on_threads.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace corvane {

namespace {

// Qt's reason for a failure of file, or the system's where Qt has none of its own.
QString reasonOf(const QFile& file, int error) {
    const QString reason = file.errorString();
    if (!reason.isEmpty() && reason != QLatin1String("Unknown error")) {
        return reason;
    }
    return error != 0 ? qt_error_string(error) : QStringLiteral("the system gave no reason");
}

FileReason openReason(int error) {
    return error == ENOENT                     ? FileReason::Missing
           : error == EACCES || error == EPERM ? FileReason::NoPermission
                                               : FileReason::NotOpened;
}

// An input file opened for reading at any position from any thread, without a shared file
// position: every read says where it reads.
class InputFile {
public:
    InputFile(const QString& path, FileRole role) : file_(path), path_(path), role_(role) {
        if (QFileInfo(path).isDir()) {
            fail(FileReason::Folder);
        }
#ifdef Q_OS_UNIX
        // Only a regular file is read: a named pipe without a writer or a serial port would
        // keep open() waiting for good, and a device such as /dev/zero has no end. The entry is
        // checked before it is opened, so that no device is ever opened, and once more on the
        // handle, which is opened without waiting, in case another entry took the name in
        // between.
        const QByteArray name = QFile::encodeName(path);
        struct stat entry {};
        if (::stat(name.constData(), &entry) == 0 && !S_ISREG(entry.st_mode)) {
            fail(FileReason::NotRegular, entryKind(entry.st_mode));
        }
        const int handle = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (handle < 0) {
            const int error = errno;
            fail(openReason(error), qt_error_string(error));
        }
        struct stat opened {};
        if (::fstat(handle, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            const int error = errno;
            ::close(handle);
            opened.st_mode == 0       ? fail(FileReason::NotOpened, qt_error_string(error))
            : S_ISDIR(opened.st_mode) ? fail(FileReason::Folder)
                                      : fail(FileReason::NotRegular, entryKind(opened.st_mode));
        }
        if (!file_.open(handle, QIODevice::ReadOnly | QIODevice::Unbuffered,
                        QFileDevice::AutoCloseHandle)) {
            const QString reason = reasonOf(file_, errno);
            ::close(handle);
            fail(FileReason::NotOpened, reason);
        }
#else
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            const int error = errno;
            fail(openReason(error), reasonOf(file_, error));
        }
#endif
    }

    qint64 size() const {
        return file_.size();
    }

    // Reads up to size bytes at offset into to and gives how many it read, 0 at the end of the
    // file; throws when the system fails to read. Safe from several threads at once.
    qint64 readAt(char* to, qint64 size, qint64 offset) const {
#ifdef Q_OS_WIN
        OVERLAPPED at{};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(quint64(offset) >> 32);
        DWORD got = 0;
        if (!ReadFile(HANDLE(_get_osfhandle(file_.handle())), to, DWORD(size), &got, &at) &&
            GetLastError() != ERROR_HANDLE_EOF) {
            fail(FileReason::ReadFailed, qt_error_string(int(GetLastError())));
        }
        return qint64(got);
#else
        for (;;) {
            const ssize_t got = ::pread(file_.handle(), to, std::size_t(size), off_t(offset));
            if (got >= 0) {
                return got;
            }
            if (errno != EINTR) {
                const int error = errno;
                fail(FileReason::ReadFailed, qt_error_string(error));
            }
        }
#endif
    }

    [[noreturn]] void fail(FileReason reason, const QString& detail = {}) const {
        throw FileError(reason, role_, path_, detail);
    }

private:
    QFile file_;
    QString path_;  // as given: a file opened from its handle forgets its name
    FileRole role_;
};

// Hands the first line of file from byte from on to take(bytes, size, last), chunk by chunk, each
// chunk repeating the last overlap bytes of the one before, until the line's CR, the end of the
// file, take() returning false, or the observer cancelling. Several threads read and search
// chunks at once, each reading its own; a chunk goes to take() only once every chunk before it
// is known to lie within the line, in any order otherwise, so take() must allow that when
// threads > 1. Throws when the file holds no byte at all.
template <typename Take>
void forEachChunk(const InputFile& file, qint64 from, qint64 overlap, qint64 chunk, int threads,
                  CompareObserver* observer, const Take& take) {
    constexpr qint64 kEnded = std::numeric_limits<qint64>::max();
    chunk = std::max<qint64>(1, chunk);
    std::atomic<qint64> next{0};    // the next chunk to claim
    std::atomic<qint64> within{0};  // chunks known to lie within the line; kEnded past its end
    std::atomic<bool> stop{false};  // no further chunk is needed
    std::mutex reporting;           // keeps the progress growing, whichever thread reports
    qint64 reported = 0;
    const qint64 total = file.size();
    runOnThreads(threads, [&](int) {
        QByteArray buffer(chunk + overlap, Qt::Uninitialized);
        try {
            while (!stop && (observer == nullptr || !observer->cancelled())) {
                const qint64 index = next++;
                const qint64 end = from + (index + 1) * chunk;
                const qint64 begin = std::max<qint64>(0, end - chunk - overlap);
                qint64 got = file.readAt(buffer.data(), end - begin, begin);
                if (got == 0 && begin == 0) {
                    file.fail(FileReason::Empty);
                }
                const void* cr = std::memchr(buffer.constData(), '\r', std::size_t(got));
                const bool last = cr != nullptr || got < end - begin;
                got = cr ? static_cast<const char*>(cr) - buffer.constData() : got;
                for (qint64 seen = within; seen < index; seen = within) {
                    within.wait(seen);
                }
                // Fails when an earlier chunk held the end of the line, or a thread failed.
                qint64 expected = index;
                if (!within.compare_exchange_strong(expected, last ? kEnded : index + 1)) {
                    return;
                }
                within.notify_all();
                stop = last || stop;
                if (!take(buffer.constData(), got, last)) {
                    stop = true;
                }
                if (observer != nullptr) {
                    const std::lock_guard<std::mutex> lock(reporting);
                    if (begin + got > reported) {
                        reported = begin + got;
                        observer->searched(reported, total);
                    }
                }
            }
        } catch (...) {
            stop = true;
            within = kEnded;
            within.notify_all();
            throw;
        }
    });
}

struct LineStart {
    QByteArray bytes;
    bool whole = true;  // false when reading stopped because the line is over the limit
};

// Every byte of file's first line, or only its start once more than limit bytes are known to
// be in it.
LineStart lineStart(const InputFile& file, qint64 chunk, qint64 limit = -1) {
    LineStart start;
    forEachChunk(file, 0, 0, chunk, 1, nullptr, [&](const char* bytes, qint64 size, bool last) {
        start.bytes.append(bytes, size);
        start.whole = last || limit < 0 || start.bytes.size() <= limit;
        return start.whole;
    });
    return start;
}

}  // namespace

// The files are compared byte for byte, each byte read as one ISO 8859-1 character, so a typed
// separator stands for the bytes the system's 8-bit encoding gives it (UTF-8 on Linux, the ANSI
// code page on Windows). A separator that encoding cannot hold occurs in no file; it stays as
// typed and matches nothing.
QString separatorInFiles(const QString& typed) {
    const QByteArray bytes = typed.toLocal8Bit();
    return QString::fromLocal8Bit(bytes) == typed ? QString::fromLatin1(bytes) : typed;
}

QString readFirstLine(const QString& path, FileRole role) {
    return QString::fromLatin1(lineStart(InputFile(path, role), SearchOptions().chunkBytes).bytes);
}

QString compareCommandFiles(const QString& initPath, const QString& referencePath,
                            const QString& separator) {
    return *compareCommandFileLines(initPath, referencePath, separatorInFiles(separator), nullptr);
}

std::optional<QString> compareCommandFileLines(const QString& initPath,
                                               const QString& referencePath,
                                               const QString& separator,
                                               CompareObserver* observer) {
    return compareCommandFileLines(initPath, referencePath, separator, observer, {});
}

std::optional<QString> compareCommandFileLines(const QString& initPath,
                                               const QString& referencePath,
                                               const QString& separator, CompareObserver* observer,
                                               const SearchOptions& options) {
    // The Init file's start is read first, so that its faults come before the Reference
    // file's; the rest of its line is searched only once the Reference commands are known, so
    // that it never has to be held whole.
    const InputFile initFile(initPath, FileRole::Init);
    const LineStart init = lineStart(initFile, options.chunkBytes, options.chunkBytes - 1);

    const qsizetype k = separator.size();
    const LineStart referenceLine =
        lineStart(InputFile(referencePath, FileRole::Reference), options.chunkBytes,
                  std::max<qsizetype>(0, kCommandListLimit - k));
    checkCommandListLimit(referenceLine.bytes.size(), k, !referenceLine.whole);
    const QString reference = QString::fromLatin1(referenceLine.bytes);

    if (init.whole) {
        return filterCommandList(reference, QString::fromLatin1(init.bytes), separator, options);
    }
    const CommandSet set = commandSetOf(reference, separator);
    if (set.distinct.isEmpty()) {
        return QString();  // not {}: that would say the comparison was cancelled
    }
    CommandSearch search(set.distinct, options);
    search.scan(init.bytes.constData(), init.bytes.size());
    if (!search.allFound()) {
        const qint64 from = init.bytes.size();
        const int threads =
            initFile.size() - from >= options.parallelFrom ? std::max(1, options.threads) : 1;
        forEachChunk(initFile, from, search.overlap(), options.chunkBytes, threads, observer,
                     [&](const char* bytes, qint64 size, bool) {
                         search.scan(bytes, size);
                         return !search.allFound();
                     });
    }
    if (observer != nullptr && observer->cancelled()) {
        return std::nullopt;
    }
    return keptCommands(set, search);
}

}  // namespace corvane
