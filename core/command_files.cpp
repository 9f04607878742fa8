#include "core/command_files.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "core/command_list.h"
#include "core/command_scan.h"
#include "core/error.h"
#include "core/file_kind.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace corvane {

namespace {

constexpr qint64 kChunk = 64 * 1024;

QString quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// Qt's reason for a failure of file, or the system's where Qt has none of its own.
QString reasonOf(const QFile& file, int error) {
    const QString reason = file.errorString();
    if (!reason.isEmpty() && reason != QLatin1String("Unknown error")) {
        return reason;
    }
    return error != 0 ? qt_error_string(error) : QStringLiteral("the system gave no reason");
}

[[noreturn]] void notOpened(const QString& path, const QString& role, const QString& reason) {
    throw FileError(
        QStringLiteral("Could not open the %1 %2: %3.").arg(role, quoted(path), reason));
}

void openForReading(QFile& file, const QString& role) {
    const QString path = file.fileName();
    if (QFileInfo(path).isDir()) {
        notOpened(path, role, QStringLiteral("it is a folder, not a file"));
    }
#ifdef Q_OS_UNIX
    // Only a regular file is read: a named pipe without a writer or a serial port would keep
    // open() waiting for good, and a device such as /dev/zero has no end. The entry is checked
    // before it is opened, so that no device is ever opened, and once more on the handle, which
    // is opened without waiting, in case another entry took the name in between.
    const QByteArray name = QFile::encodeName(path);
    struct stat entry {};
    if (::stat(name.constData(), &entry) == 0 && !S_ISREG(entry.st_mode)) {
        notOpened(path, role, notRegularReason(entry.st_mode));
    }
    const int handle = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        notOpened(path, role, qt_error_string(errno));
    }
    struct stat opened {};
    if (::fstat(handle, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        const QString reason = opened.st_mode == 0 ? qt_error_string(errno)
                               : S_ISDIR(opened.st_mode)
                                   ? QStringLiteral("it is a folder, not a file")
                                   : notRegularReason(opened.st_mode);
        ::close(handle);
        notOpened(path, role, reason);
    }
    if (!file.open(handle, QIODevice::ReadOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        const QString reason = reasonOf(file, errno);
        ::close(handle);
        notOpened(path, role, reason);
    }
#else
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        notOpened(path, role, reasonOf(file, errno));
    }
#endif
}

[[noreturn]] void readFailed(const QFile& file, const QString& role) {
    const int error = errno;
    throw FileError(QStringLiteral("Could not read the %1 %2: %3.")
                        .arg(role, quoted(file.fileName()), reasonOf(file, error)));
}

[[noreturn]] void noFirstLine(const QString& path, const QString& role) {
    throw FileError(QStringLiteral("Could not read the %1 %2: it is empty and has no first line.")
                        .arg(role, quoted(path)));
}

struct FirstLine {
    QByteArray bytes;
    bool whole = true;  // false when reading stopped early because the line is over the limit
};

// Reads every byte before the first CR, or stops as soon as more than limit bytes are known
// to be in the line. The file is closed on every way out, so a later Run can open it again.
FirstLine firstLineBytes(const QString& path, const QString& role, qsizetype limit = -1) {
    QFile file(path);
    openForReading(file, role);
    FirstLine first;
    QByteArray& line = first.bytes;
    QByteArray chunk(kChunk, Qt::Uninitialized);
    bool any = false;
    for (;;) {
        const qint64 got = file.read(chunk.data(), kChunk);
        if (got < 0) {
            readFailed(file, role);
        }
        if (got == 0) {
            break;
        }
        any = true;
        const auto* cr = static_cast<const char*>(std::memchr(chunk.constData(), '\r', got));
        line.append(chunk.constData(), cr ? cr - chunk.constData() : got);
        if (cr) {
            break;
        }
        if (limit >= 0 && line.size() > limit) {
            first.whole = false;
            return first;
        }
    }
    if (!any) {
        noFirstLine(path, role);
    }
    return first;
}

// The start of the Init file, read to check that the file opens and holds a line; when the
// line ends inside it, it is the whole line.
struct InitStart {
    QByteArray bytes;
    bool wholeLine = false;
};

InitStart readInitStart(const QString& path, const QString& role) {
    QFile file(path);
    openForReading(file, role);
    // One byte more than a small file holds is enough to see its end.
    const qsizetype want = std::max<qsizetype>(
        1, std::min<qint64>(scanTuning().chunkBytes, std::max(file.size() + 1, kChunk)));
    InitStart start;
    start.bytes.resize(want);
    const qint64 got = file.read(start.bytes.data(), want);
    if (got < 0) {
        readFailed(file, role);
    }
    if (got == 0) {
        noFirstLine(path, role);
    }
    start.bytes.truncate(got);
    const qsizetype cr = start.bytes.indexOf('\r');
    if (cr >= 0) {
        start.bytes.truncate(cr);
        start.wholeLine = true;
    } else {
        start.wholeLine = got < want;
    }
    return start;
}

// Searches the Init line from byte from on, chunk by chunk, until its CR, the end of the file
// or the moment every command has been found. Large files are read by two threads in turn:
// each reads its next chunk while the other searches its own, so reading and searching
// overlap; each chunk repeats the last overlap bytes of the one before.
void searchInitRest(const QString& path, const QString& role, qint64 from, CommandSearch& search,
                    CompareObserver* observer) {
    QFile file(path);
    openForReading(file, role);
    const ScanTuning& tuning = scanTuning();
    const qint64 overlap = search.overlap();
    const qint64 want = std::max<qint64>(1, tuning.chunkBytes) + overlap;
    const int threads = file.size() - from >= tuning.parallelFrom ? std::max(1, tuning.threads) : 1;

    std::mutex reading;
    // The first chunk repeats the overlap before from, but never reaches before the file.
    qint64 next = std::max<qint64>(0, from - overlap);
    bool ended = false;
    bool failed = false;
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(threads));
    const auto work = [&](int index) {
        try {
            QByteArray buffer(want, Qt::Uninitialized);
            for (;;) {
                qint64 got = 0;
                {
                    const std::lock_guard<std::mutex> lock(reading);
                    if (ended || failed || search.allFound() ||
                        (observer != nullptr && observer->cancelled())) {
                        return;
                    }
                    if (observer != nullptr) {
                        observer->searched(next, file.size());
                    }
                    if (!file.seek(next) || (got = file.read(buffer.data(), want)) < 0) {
                        failed = true;
                        readFailed(file, role);
                    }
                    const void* cr = std::memchr(buffer.constData(), '\r', std::size_t(got));
                    if (cr) {
                        got = static_cast<const char*>(cr) - buffer.constData();
                        ended = true;
                    } else if (got < want) {
                        ended = true;  // the end of the file
                    }
                    next += got - overlap;
                }
                search.scan(buffer.constData(), got);
            }
        } catch (...) {
            failures[std::size_t(index)] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) {
        helpers.emplace_back(work, i);
    }
    work(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
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

QString readFirstLine(const QString& path) {
    return QString::fromLatin1(firstLineBytes(path, QStringLiteral("file")).bytes);
}

QString compareCommandFiles(const QString& initPath, const QString& referencePath,
                            const QString& separator) {
    return *compareCommandFileLines(initPath, referencePath, separatorInFiles(separator), nullptr);
}

std::optional<QString> compareCommandFileLines(const QString& initPath,
                                               const QString& referencePath,
                                               const QString& separator,
                                               CompareObserver* observer) {
    // The Init file is checked first and closed again; its line is searched only once the
    // Reference commands are known, so that it never has to be held whole.
    const QString initRole = QStringLiteral("Init file");
    const InitStart init = readInitStart(initPath, initRole);

    const qsizetype k = separator.size();
    const FirstLine referenceLine = firstLineBytes(referencePath, QStringLiteral("Reference file"),
                                                   std::max<qsizetype>(0, kCommandListLimit - k));
    checkCommandListLimit(referenceLine.bytes.size(), k, !referenceLine.whole);
    const QString reference = QString::fromLatin1(referenceLine.bytes);

    if (init.wholeLine) {
        return FilterCommandList(reference, QString::fromLatin1(init.bytes), separator);
    }
    const CommandSet set = commandSetOf(reference, separator);
    if (set.distinct.isEmpty()) {
        return QString();  // nothing to search for
    }
    CommandSearch search(set.distinct);
    search.scan(init.bytes.constData(), init.bytes.size());
    if (!search.allFound()) {
        searchInitRest(initPath, initRole, init.bytes.size(), search, observer);
    }
    if (observer != nullptr && observer->cancelled()) {
        return std::nullopt;
    }
    return keptCommands(set, search);
}

}  // namespace corvane
