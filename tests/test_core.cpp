// The cutting and the search by hand-written cases, the reading of large files, the New file's
// replacement and the path rules. The fuzz targets hold every search form against the oracle.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "core/command_files.h"
#include "core/command_list.h"
#include "core/paths.h"
#include "core/retry.h"
#include "tests/support.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#endif

using namespace Qt::StringLiterals;
using namespace corvane;

class TestCore : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // Writes bytes padded with zero bytes to size (no file for null bytes) and gives its path.
    QString write(const QString& name, const QByteArray& bytes, qint64 size = 0) {
        QFile file(dir_.filePath(name));
        file.remove();
        const bool written = bytes.isNull() || (file.open(QIODevice::WriteOnly) &&
                                                file.write(bytes) == bytes.size() &&
                                                file.resize(std::max(size, qint64(bytes.size()))));
        return written ? file.fileName() : QString();
    }

private slots:
    void cleanup() { scanTuning() = {}; }

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
        row("a command at the start of Init, with its separator, is dropped", ";", u"A;B;D"_s,
            u"B;"_s, "A;|D");
        row("an empty Init list keeps every command", ";", u"A;B;D"_s, {}, "A;|B;|D");
        row("a command inside a longer Init command is present", ";", u"B;D"_s, u"AB;"_s, "D");
        row("the bare last command is found without a separator", ";", u"A;B;D"_s, u"D"_s, "A;|B;");
        row("a bare Init command is not the command with its separator", ";", u"A;B;"_s, u"B"_s,
            "A;|B;");
        row("a leading separator belongs to the first command", ";", u";A;B"_s, {}, ";A;|B");
        row("two leading separators make the first command", ";", u";;A"_s, {}, ";;|A");
        row("a doubled separator starts the next command", ";", u"A;;B"_s, {}, "A;|;B");
        row("a doubled separator at the end is a command of its own", ";", u"A;;"_s, {}, "A;|;");
        row("a long separator at the end leaves no empty command", ";:", u"A;:B;:"_s, {},
            "A;:|B;:");
        row("half a long separator belongs to the command", ";:", u"A;:B;"_s, {}, "A;:|B;");
        row("a doubled long separator starts the next command", ";:", u"A;:;:B"_s, {}, "A;:|;:B");
        row("a separator overlapping itself cuts at its first start", ";;", u"A;;;B"_s, {},
            "A;;|;B");
        row("a separator longer than the line leaves one command", ";;;", u"AB"_s, {}, "AB");
        row("an empty Reference list gives an empty result", ";", {}, u"A;B;"_s, "");
        row("a command twice is kept twice", ";", u"A;A;B;"_s, u"B;"_s, "A;|A;");
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
            scanTuning() = {.threads = threads, .parallelFrom = 1, .directBelow = 0};
            for (qsizetype border = 4096; border < filler.size(); border += 4096) {
                for (const qsizetype at : {border - 1, border - command.size() + 1}) {
                    const QString init = QString(filler).replace(at, command.size(), command);
                    QCOMPARE(FilterCommandList(command + u"ZZ"_s, init, u";"_s), u"ZZ"_s);
                }
            }
        }
    }

    void readsNoFurtherThanNeeded_data() {
        QTest::addColumn<QByteArray>("init");
        QTest::addColumn<qint64>("initSize");  // zero bytes pad the files to these sizes
        QTest::addColumn<qint64>("referenceSize");
        QTest::addColumn<QString>("outcome");  // the New line, or "!" and the error's start
        const qint64 large = qint64(64) << 20;
        QTest::newRow("reading stops once every command is found")
            << "A;xxxxxxxxxxB;xxxxxxxxxxC"_ba << large << 0ll << u""_s;
        QTest::newRow("an over-limit Reference line is refused after its start")
            << "A;"_ba << 0ll << large << u"!The Reference command list is too long"_s;
        QTest::newRow("an empty Init file is reported before an over-limit Reference, and closed")
            << ""_ba << 0ll << large << u"!Could not read the Init file"_s;
    }
    void readsNoFurtherThanNeeded() {
        QFETCH(QByteArray, init);
        QFETCH(qint64, initSize);
        QFETCH(qint64, referenceSize);
        QFETCH(QString, outcome);
        scanTuning() = {.chunkBytes = 8};
        const auto bytesRead = [] {  // through system calls so far, where they are counted
            QFile io(u"/proc/self/io"_s);
            return io.open(QIODevice::ReadOnly) ? io.readLine().mid(7).trimmed().toLongLong() : 0;
        };
        const auto openFiles = [] { return QDir(u"/proc/self/fd"_s).count(); };
        const auto openBefore = openFiles();
        const qint64 start = bytesRead();
        QString got;
        try {
            got = compareCommandFiles(write(u"init"_s, init, initSize),
                                      write(u"ref"_s, "A;B;C", referenceSize), u";"_s);
        } catch (const Error& error) {
            got = u"!"_s + error.message();
        }
        QCOMPARE(got.left(outcome.startsWith(u'!') ? outcome.size() : -1), outcome);
        QCOMPARE_LT(bytesRead() - start, 1 << 20);
        QCOMPARE(openFiles(), openBefore);
    }

#ifdef Q_OS_UNIX
    // A write that fails midway, made to happen by a file-size limit in a child process.
    void replacesTheNewFileWhole_data() {
        QTest::addColumn<rlim_t>("limit");
        QTest::newRow("a New file is replaced by the line and CR LF, keeping mode and owner")
            << rlim_t(RLIM_INFINITY);
        QTest::newRow("a write cut short keeps the earlier file as it was") << rlim_t(4096);
    }
    void replacesTheNewFileWhole() {
        QFETCH(rlim_t, limit);
        const QString path = write(u"New.dat"_s, "EARLIER\r\n");
        // Another owner and unusual rights, which a replacement must keep.
        QVERIFY(::geteuid() != 0 ||
                ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QFileInfo before(path);
        const QString line = u"A\n;\u00b5"_s + QString(10000, u'N');
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit size{limit, RLIM_INFINITY};
            ::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &size);
            try {
                writeNewFile(path, line);
                ::_exit(limit == RLIM_INFINITY ? 0 : 1);
            } catch (const Error& error) {
                qWarning("%s", qPrintable(error.message()));
                ::_exit(error.message() == u"Could not write the New file \"%1\": %2."_s.arg(
                                               path, qt_error_string(EFBIG))
                            ? 0
                            : 1);
            }
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the write went otherwise");
        QFile after(path);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(),
                 limit == RLIM_INFINITY ? line.toLatin1() + "\r\n" : "EARLIER\r\n");
        QCOMPARE(QFileInfo(path).permissions(), before.permissions());
        QCOMPARE(QFileInfo(path).ownerId(), before.ownerId());
        QCOMPARE(QDir(dir_.path()).entryList({u"New*"_s}, QDir::Files | QDir::Hidden).size(), 1);
    }
#endif

    void followsThePathRules_data() {
        QTest::addColumn<QString>("rule");  // "Complete in <folder>", "Folder" or "Propose <name>"
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a network folder keeps the two separators that open it")
            << u"Complete in \\\\lab\\s"_s << u"new.dat"_s << u"\\\\lab\\s\\new.dat"_s;
        QTest::newRow("a file in a drive's root gives the drive")
            << u"Folder"_s << u"C:\\new.dat"_s << u"C:"_s;
        QTest::newRow("the proposal puts New_ in the Reference folder")
            << u"Propose r.dat"_s << u"D:\\s\\r.dat"_s << u"D:\\s\\New_r.dat"_s;
    }
    void followsThePathRules() {
        QFETCH(QString, rule);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        const QString other = rule.section(u' ', -1);
        QCOMPARE(rule.startsWith(u'C')   ? completeWithFolder(path, other, u'\\')
                 : rule.startsWith(u'F') ? folderOf(path, u'\\')
                                         : proposeNewFile(path, other, u'\\'),
                 expected);
    }

    // A commit that other programs hold up for a while, then ends as given.
    void retriesTheCommitOnlyWhileBusy_data() {
        QTest::addColumn<int>("busyTries");
        QTest::addColumn<TryResult>("thenEnds");
        QTest::addColumn<int>("expectedTries");
        QTest::addColumn<TryResult>("expected");
        QTest::newRow("a file held for two tries is committed on the third")
            << 2 << TryResult::Done << 3 << TryResult::Done;
        QTest::newRow("a file held for ten tries is reported after the tenth")
            << 10 << TryResult::Done << 10 << TryResult::Busy;
        QTest::newRow("a refusal that waiting cannot change is reported at once")
            << 0 << TryResult::Failed << 1 << TryResult::Failed;
    }
    void retriesTheCommitOnlyWhileBusy() {
        QFETCH(int, busyTries);
        QFETCH(TryResult, thenEnds);
        QFETCH(int, expectedTries);
        QFETCH(TryResult, expected);
        int tries = 0;
        QCOMPARE(retryWhileBusy([&] { return ++tries <= busyTries ? TryResult::Busy : thenEnds; },
                                10, std::chrono::milliseconds(1)),
                 expected);
        QCOMPARE(tries, expectedTries);
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
