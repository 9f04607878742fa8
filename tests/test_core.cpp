// The cutting by hand-written cases, the reading of large files, the New file's replacement and
// the path rules. The fuzz targets hold every search form, and what it finds, against the oracle.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>

#include "core/command_files.h"
#include "core/command_list.h"
#include "core/paths.h"
#include "core/retry.h"
#include "tests/support.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#endif

using namespace Qt::StringLiterals;
using namespace corvane;

// What is in the New file's place.
enum class Target { File, LongName, LockedFolder, Fifo, DeviceLink, Dangling };

class TestCore : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // Writes bytes padded with zero bytes to size and gives its path.
    QString write(const QString& name, const QByteArray& bytes, qint64 size = 0) {
        QFile file(dir_.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                       file.resize(std::max(size, qint64(bytes.size())))
                   ? file.fileName()
                   : QString();
    }
    // Records what a comparison reports, and stops it after cancelAfter reports.
    struct Follower : CompareObserver {
        int cancelAfter = -1;
        std::atomic<int> reports = 0;
        qint64 done = 0, total = 0;
        bool grows = true;
        void searched(qint64 now, qint64 all) override {
            grows = grows && now >= done;
            done = now, total = all, ++reports;
        }
        bool cancelled() const override { return cancelAfter >= 0 && reports >= cancelAfter; }
    };
    // The outcome of a FileError: the file's name and the reason.
    static QString fails(const QString& file, FileReason reason) {
        return u"!%1 %2"_s.arg(file).arg(int(reason));
    }

private slots:
    void cutsAndKeepsCommands_data() {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("init");
        QTest::addColumn<QString>("kept");  // the kept commands apart by "|", or "<overflow>"
        const auto row = [](const char* name, const char* separator, const QString& reference,
                            const QString& init, const char* kept) {
            QTest::newRow(name) << QString::fromUtf8(separator) << reference << init
                                << QString::fromUtf8(kept);
        };
        row("the bare last command is found without a separator", ";", u"A;B;D"_s, u"D"_s, "A;|B;");
        row("a leading separator belongs to the first command", ";", u";A;B"_s, {}, ";A;|B");
        row("a doubled separator starts the next command", ";", u"A;;B"_s, {}, "A;|;B");
        row("a doubled separator at the end is a command of its own", ";", u"A;;"_s, {}, "A;|;");
        row("a long separator at the end leaves no empty command", ";:", u"A;:B;:"_s, {},
            "A;:|B;:");
        row("half a long separator belongs to the command", ";:", u"A;:B;"_s, {}, "A;:|B;");
        row("a separator overlapping itself cuts at its first start", ";;", u"A;;;B"_s, {},
            "A;;|;B");
        row("a separator longer than the line leaves one command", ";;;", u"AB"_s, {}, "AB");
        row("an empty Reference list gives an empty result", ";", {}, u"A;B;"_s, "");
        row("letter case counts", ";", u"rst;"_s, u"RST;"_s, "rst;");
        row("a separator outside ISO 8859-1 never matches the bytes of its UTF-8 form", "\u20ac",
            u"A\u00e2\u0082\u00acB"_s, {}, "A\u00e2\u0082\u00acB");
        // The Reference list and the separator hold at most 32,767 characters together; the
        // Init list has no limit of its own.
        const QString a(32763, u';'), z(100000, u'z');
        row("32,766 characters ending in ; fit", ";", a + u"AA;"_s, z + a + u"AA;"_s, "");
        row("32,767 characters ending in ; overflow", ";", a + u"AAA;"_s, z, "<overflow>");
        row("32,765 characters ending in ;: fit", ";:", a + u";:"_s, z + a + u";:"_s, "");
        row("32,766 characters ending in ;: overflow", ";:", a + u"A;:"_s, z, "<overflow>");
    }
    void cutsAndKeepsCommands() {
        QFETCH(QString, separator);
        QFETCH(QString, reference);
        QFETCH(QString, init);
        QFETCH(QString, kept);
        const auto got =
            test::unlessOverflow([&] { return FilterCommandList(reference, init, separator); });
        QCOMPARE(got.value_or(u"<overflow>"_s), QString(kept).remove(u'|'));
        if (got) {
            QCOMPARE(test::keptCommands(reference, init, separator).join(u'|'), kept);
        }
    }

    // One occurrence moved across every place where the search divides a long Init line into
    // blocks, walks and threads' parts (two parts of 352 KiB).
    void findsOneOccurrenceWhereverItLies() {
        const QString scpi = u"VOLT:RANG:AUTO ON,SOUR:CURR:LEV 0.125;"_s, filler(704 * 1024, u'x');
        for (const auto& [threads, command] : {std::pair(1, u"F1;"_s), {1, scpi}, {2, scpi}}) {
            const SearchOptions options{.threads = threads, .parallelFrom = 1, .directBelow = 0};
            for (qsizetype border = 4096; border < filler.size(); border += 4096) {
                for (const qsizetype at : {border - 1, border - command.size() + 1}) {
                    const QString init = QString(filler).replace(at, command.size(), command);
                    QCOMPARE(filterCommandList(command + u"ZZ"_s, init, u";"_s, options), u"ZZ"_s);
                }
            }
        }
    }

    void readsNoFurtherThanNeeded_data() {
        QTest::addColumn<QByteArray>("init");  // or a device's path
        QTest::addColumn<QByteArray>("reference");
        QTest::addColumn<QByteArray>("large");  // the file padded by zero bytes to 64 MiB
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("outcome");  // the New line, or "!" and a part of the error
        const auto row = [](const char* name, const QByteArray& init, const char* large,
                            const QString& outcome, const QByteArray& reference = "A;B;C",
                            const QString& separator = u";"_s) {
            QTest::newRow(name) << init << reference << QByteArray(large) << separator << outcome;
        };
        row("reading stops once every command is found", "A;xxxxxxxxxxB;xxxxxxxxxxC", "init",
            u""_s);
        // A cancel comes after three reports of progress.
        row("a cancel stops every searching thread at its next chunk", "xxxxxxxxxxxxxxxxxx", "init",
            u"<cancelled>"_s);
        row("an over-limit Reference line is refused after its start", "A;", "ref",
            u"!The Reference command list is too long"_s);
        row("an empty Init file is reported before an over-limit Reference, and closed", "", "ref",
            fails(u"init"_s, FileReason::Empty));
        row("a typed separator stands for its UTF-8 bytes", "RST\xc3\xa9\r\n", "",
            u"VOLT 2\u00e9OUTP ON"_s, "RST\xc3\xa9VOLT 2\xe9OUTP ON\r\n", u"\u00e9"_s);
#ifdef Q_OS_UNIX
        // Opened, it would never end.
        row("/dev/zero is refused before it is opened", "/dev/zero", "",
            fails(u"zero"_s, FileReason::NotRegular));
#endif
    }
    void readsNoFurtherThanNeeded() {
        QFETCH(QByteArray, init);
        QFETCH(QByteArray, reference);
        QFETCH(QByteArray, large);
        QFETCH(QString, separator);
        QFETCH(QString, outcome);
        const auto size = [&](const char* name) { return large == name ? qint64(64) << 20 : 0; };
        Follower follower;
        follower.cancelAfter = outcome == u"<cancelled>" ? 3 : -1;
        const auto bytesRead = [] {  // through system calls so far, where they are counted
            QFile io(u"/proc/self/io"_s);
            return io.open(QIODevice::ReadOnly) ? io.readLine().mid(7).trimmed().toLongLong() : 0;
        };
        const auto openFiles = [] { return QDir(u"/proc/self/fd"_s).count(); };
        const auto openBefore = openFiles();
        const qint64 start = bytesRead();
        QString got;
        try {
            const QString initPath = init.startsWith('/') ? QString::fromLatin1(init)
                                                          : write(u"init"_s, init, size("init"));
            got = compareCommandFileLines(initPath, write(u"ref"_s, reference, size("ref")),
                                          separatorInFiles(separator), &follower,
                                          {.chunkBytes = 8, .threads = 2, .parallelFrom = 0})
                      .value_or(u"<cancelled>"_s);
            QVERIFY(follower.grows &&
                    follower.total == (follower.reports ? QFileInfo(initPath).size() : 0));
        } catch (const FileError& error) {
            got = fails(QFileInfo(error.path()).fileName(), error.reason());
        } catch (const Error& error) {
            got = u"!"_s + error.message();
        }
        QCOMPARE(got.left(outcome.startsWith(u'!') ? outcome.size() : -1), outcome);
        QCOMPARE_LT(bytesRead() - start, 1 << 20);
        QCOMPARE(openFiles(), openBefore);
    }

#ifdef Q_OS_UNIX
    // What is in the New file's place, and who writes: a write cut short by a file-size limit,
    // or one run without administrator rights, happens in a child process.
    void replacesTheNewFileWhole_data() {
        QTest::addColumn<Target>("target");
        QTest::addColumn<std::optional<FileReason>>("reason");  // why it is not written
        const auto row = [](const char* name, Target target,
                            std::optional<FileReason> reason = {}) {
            QTest::newRow(name) << target << reason;
        };
        row("a New file is replaced by the line and CR LF, keeping mode and owner", Target::File);
        // A file-size limit cuts the write short.
        row("a write cut short keeps the earlier file as it was", Target::File,
            FileReason::WriteFailed);
        row("a New file with a name of 250 bytes is replaced", Target::LongName);
        row("a writable New file in a folder that takes no new file is rewritten",
            Target::LockedFolder);
        row("a named pipe is refused and stays", Target::Fifo, FileReason::NotRegular);
        // Run without administrator rights, so that a fault can never replace the real device.
        row("a link to a device is refused and both stay", Target::DeviceLink,
            FileReason::NotRegular);
        row("a link that leads nowhere is refused and stays", Target::Dangling,
            FileReason::Missing);
    }
    void replacesTheNewFileWhole() {
        QFETCH(Target, target);
        QFETCH(std::optional<FileReason>, reason);
        const bool written = !reason;
        const QString folder = dir_.filePath(u"s"_s);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(folder));
        const QString path = folder + u'/' +
                             (target == Target::LongName ? QString(246, u'n') : u"New"_s) +
                             u".dat"_s;
        const QByteArray at = QFile::encodeName(path);
        QVERIFY(target == Target::Fifo         ? ::mkfifo(at.constData(), 0666) == 0
                : target == Target::DeviceLink ? QFile::link(u"/dev/null"_s, path)
                : target == Target::Dangling
                    ? QFile::link(folder + u"/nowhere.dat"_s, path)
                    : !write(u"s/"_s + QFileInfo(path).fileName(), "EARLIER\r\n").isEmpty());
        // Another owner and unusual rights, which a replacement must keep.
        const bool unprivileged = target == Target::LockedFolder || target == Target::DeviceLink;
        for (const QString& entry : {dir_.path(), folder, path}) {  // for an unprivileged writer
            QVERIFY(::geteuid() != 0 ||
                    ::lchown(QFile::encodeName(entry).constData(), 65534, 65534) == 0);
        }
        if (target <= Target::LockedFolder) {
            QVERIFY(::chmod(at.constData(), 0640) == 0);
        }
        QVERIFY(::chmod(QFile::encodeName(folder).constData(),
                        target == Target::LockedFolder ? 0555 : 0755) == 0);
        const auto entry = [&] {  // a regular file's bytes, else the entry's kind and identity
            struct stat mode {};
            QFile file(path);
            return ::lstat(at.constData(), &mode) == 0 && S_ISREG(mode.st_mode) &&
                           file.open(QIODevice::ReadOnly)
                       ? file.readAll()
                       : QByteArray::number(mode.st_mode) + ' ' + QByteArray::number(mode.st_ino);
        };
        const QByteArray before = entry();
        const QFileInfo info(path);
        const QString line = u"A\n;\u00b5"_s + QString(10000, u'N');
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit size{reason == FileReason::WriteFailed ? 4096 : RLIM_INFINITY,
                              RLIM_INFINITY};
            ::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &size);
            if (unprivileged && ::geteuid() == 0 &&
                (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(2);
            }
            try {
                writeNewFile(path, line);
                ::_exit(written ? 0 : 1);
            } catch (const FileError& error) {
                ::_exit(!written && error.reason() == reason && error.path() == path ? 0 : 1);
            }
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the write went otherwise");
        QCOMPARE(entry(), written ? line.toLatin1() + "\r\n" : before);
        QCOMPARE(QFileInfo(path).permissions(), info.permissions());
        QCOMPARE(QFileInfo(path).ownerId(), info.ownerId());
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(folder).entryList(all).size(), 1);  // no temporary file is left
    }
#endif

    // The other path rules are held against their definition by a fuzz target, which leaves
    // this one out: two separators that open the current folder (a network folder) stay.
    void keepsANetworkFolderWhole() {
        QCOMPARE(completeWithFolder(u"new.dat"_s, u"\\\\lab\\s"_s, u'\\'),
                 u"\\\\lab\\s\\new.dat"_s);
    }

    // A commit that other programs hold up for a while, then ends as given.
    void retriesTheCommitOnlyWhileBusy_data() {
        QTest::addColumn<int>("busyTries");
        QTest::addColumn<TryResult>("thenEnds");
        QTest::addColumn<QList<int>>("expected");  // the tries made and the result
        QTest::newRow("a file held for two tries is committed on the third")
            << 2 << TryResult::Done << QList{3, int(TryResult::Done)};
        QTest::newRow("a file held for ten tries is reported after the tenth")
            << 10 << TryResult::Done << QList{10, int(TryResult::Busy)};
        QTest::newRow("a refusal that waiting cannot change is reported at once")
            << 0 << TryResult::Failed << QList{1, int(TryResult::Failed)};
    }
    void retriesTheCommitOnlyWhileBusy() {
        QFETCH(int, busyTries);
        QFETCH(TryResult, thenEnds);
        QFETCH(QList<int>, expected);
        int tries = 0;
        const TryResult result =
            retryWhileBusy([&] { return ++tries <= busyTries ? TryResult::Busy : thenEnds; }, 10,
                           std::chrono::milliseconds(1));
        QCOMPARE(QList({tries, int(result)}), expected);
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
