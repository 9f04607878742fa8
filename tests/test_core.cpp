// The cutting by hand-written cases, the reading of large files and the New file's replacement.
// The fuzz targets hold every search form, and what it finds, against the oracle.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>

#include "core/command_files.h"
#include "core/command_list.h"
#include "core/paths.h"
#include "tests/support.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#endif

using namespace Qt::StringLiterals;
using namespace corvane;

// What is in the New file's place.
enum class Target { File, LockedFolder, Fifo };

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
        void searched(qint64, qint64) override { ++reports; }
        bool cancelled() const override { return cancelAfter >= 0 && reports >= cancelAfter; }
    };

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
        row("a final long separator leaves no empty command", ";:", u"A;:B;:"_s, {}, "A;:|B;:");
        row("half a long separator belongs to the command", ";:", u"A;:B;"_s, {}, "A;:|B;");
        row("a self-overlapping separator cuts where it starts", ";;", u"A;;;B"_s, {}, "A;;|;B");
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

    // The Reference line is AéBéC in UTF-8, cut by a typed é, which stands for its UTF-8 bytes.
    void readsNoFurtherThanNeeded_data() {
        QTest::addColumn<QByteArray>("init");
        QTest::addColumn<QByteArray>("large");  // the file padded by zero bytes to 64 MiB
        QTest::addColumn<QString>("outcome");   // the New line, or "!" and a part of the error
        const auto row = [](const char* name, const QByteArray& init, const char* large,
                            const QString& outcome) {
            QTest::newRow(name) << init << QByteArray(large) << outcome;
        };
        row("reading stops once every command is found", "A\xc3\xa9xxxxxxxxxxB\xc3\xa9xxxxxxxxxxC",
            "init", u""_s);
        // A cancel comes after three reports of progress.
        row("a cancel stops every searching thread at its next chunk", "xxxxxxxxxxxxxxxxxx", "init",
            u"<cancelled>"_s);
        row("an over-limit Reference line is refused after its start", "A;", "ref",
            u"!The Reference command list is too long"_s);
    }
    void readsNoFurtherThanNeeded() {
        QFETCH(QByteArray, init);
        QFETCH(QByteArray, large);
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
            got = compareCommandFileLines(write(u"init"_s, init, size("init")),
                                          write(u"ref"_s,
                                                "A\xc3\xa9"
                                                "B\xc3\xa9"
                                                "C",
                                                size("ref")),
                                          separatorInFiles(u"\u00e9"_s), &follower,
                                          {.chunkBytes = 8, .threads = 2, .parallelFrom = 0})
                      .value_or(u"<cancelled>"_s);
        } catch (const Error& error) {
            got = u"!"_s + error.message();
        }
        QCOMPARE(got.left(outcome.startsWith(u'!') ? outcome.size() : -1), outcome);
        QCOMPARE_LT(bytesRead() - start, 1 << 20);
        QCOMPARE(openFiles(), openBefore);
    }

#ifdef Q_OS_UNIX
    // What is in the New file's place. The administrator, for whom a folder's rights mean
    // nothing, writes into a locked folder as its owner.
    void replacesTheNewFileWhole_data() {
        QTest::addColumn<Target>("target");
        QTest::addColumn<std::optional<FileReason>>("reason");  // why it is not written
        QTest::newRow("a New file is replaced by the line and CR LF, keeping mode and owner")
            << Target::File << std::optional<FileReason>();
        // A file-size limit cuts the write short.
        QTest::newRow("a write cut short keeps the earlier file as it was")
            << Target::File << std::optional(FileReason::WriteFailed);
        QTest::newRow("a writable New file in a folder that takes no new file is rewritten")
            << Target::LockedFolder << std::optional<FileReason>();
        QTest::newRow("a named pipe is refused and stays")
            << Target::Fifo << std::optional(FileReason::NotRegular);
    }
    void replacesTheNewFileWhole() {
        QFETCH(Target, target);
        QFETCH(std::optional<FileReason>, reason);
        const QString folder = dir_.filePath(u"s"_s), path = folder + u"/New.dat"_s;
        const QByteArray at = QFile::encodeName(path);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(folder));
        QVERIFY(target == Target::Fifo ? ::mkfifo(at.constData(), 0666) == 0
                                       : !write(u"s/New.dat"_s, "EARLIER\r\n").isEmpty());
        // Another owner and unusual rights, which a replacement must keep.
        for (const QString& entry : {dir_.path(), folder, path}) {
            QVERIFY(::geteuid() != 0 ||
                    ::lchown(QFile::encodeName(entry).constData(), 65534, 65534) == 0);
        }
        QVERIFY(::chmod(at.constData(), 0640) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(),
                        target == Target::LockedFolder ? 0555 : 0755) == 0);
        const auto entry = [&] {  // a regular file's bytes, else whether anything is there
            QFile file(path);
            return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)
                       ? file.readAll()
                       : QByteArray::number(QFileInfo::exists(path));
        };
        const QByteArray before = entry();
        // Read now: QFileInfo looks at the file only when first asked.
        const std::pair kept{QFileInfo(path).permissions(), QFileInfo(path).ownerId()};
        const QString line = u"A\n;\u00b5"_s + QString(10000, u'N');
        const bool asOwner = target == Target::LockedFolder && ::geteuid() == 0;
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY},
            limited{reason == FileReason::WriteFailed ? 4096 : RLIM_INFINITY, RLIM_INFINITY};
        ::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0 && (!asOwner || ::seteuid(65534) == 0));
        std::optional<FileReason> got;
        try {
            writeNewFile(path, line);
        } catch (const FileError& error) {
            got = error.reason();
        }
        QVERIFY((!asOwner || ::seteuid(0) == 0) && ::setrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        QCOMPARE(got, reason);
        QCOMPARE(entry(), reason ? before : line.toLatin1() + "\r\n");
        QCOMPARE(std::pair(QFileInfo(path).permissions(), QFileInfo(path).ownerId()), kept);
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(folder).entryList(all).size(), 1);  // no temporary file is left
    }
#endif
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
