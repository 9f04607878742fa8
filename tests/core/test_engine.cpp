#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "core/command_files.h"
#include "core/command_list.h"
#include "core/command_scan.h"
#include "core/error.h"
#include "core/literal_oracle.h"

using namespace Qt::StringLiterals;

namespace {

// Restores the tuning that a test changed, whatever way the test ends.
class TuningScope {
public:
    TuningScope() : saved_(corvane::scanTuning()) {}
    ~TuningScope() { corvane::scanTuning() = saved_; }
    TuningScope(const TuningScope&) = delete;
    TuningScope& operator=(const TuningScope&) = delete;

private:
    corvane::ScanTuning saved_;
};

// Few distinct characters, so that commands share prefixes and occur by chance; the last
// ones lie outside ISO 8859-1 (a lone surrogate among them) and must match only themselves.
const QString kLatin = u"ab;: \u00e9\u00ff"_s;
const QString kWide = u"ab;: \u00e9\u00ff\u0100\u0161\xd800"_s;

QString randomText(QRandomGenerator& rng, qsizetype length, const QString& alphabet) {
    QString text;
    for (qsizetype i = 0; i < length; ++i) {
        text += alphabet[rng.bounded(int(alphabet.size()))];
    }
    return text;
}

struct Case {
    QString reference;
    QString init;
    QString separator;
};

// An Init line made of pieces of the Reference line and of noise, long enough to be cut into
// many blocks, lanes and chunks.
Case randomCase(QRandomGenerator& rng, const QString& alphabet, qsizetype initLength) {
    static const QStringList separators = {u";"_s, u";:"_s, u"a"_s, u"ab"_s, u" "_s};
    Case c;
    c.separator = separators[rng.bounded(int(separators.size()))];
    if (alphabet.size() > kLatin.size() && rng.bounded(3) == 0) {
        c.separator = randomText(rng, 1 + rng.bounded(2), alphabet);
    }
    const int commands = rng.bounded(1, 40);
    for (int i = 0; i < commands; ++i) {
        c.reference += randomText(rng, rng.bounded(0, 9), alphabet);
        c.reference += c.separator;
    }
    if (rng.bounded(2) == 0) {
        c.reference.chop(rng.bounded(int(c.separator.size()) + 1));
    }
    while (c.init.size() < initLength) {
        if (rng.bounded(2) == 0 && !c.reference.isEmpty()) {
            const int from = rng.bounded(int(c.reference.size()));
            c.init += QStringView(c.reference).mid(from, rng.bounded(1, 12));
        } else {
            c.init += randomText(rng, rng.bounded(1, 6), alphabet);
        }
    }
    return c;
}

// Commands of one length, each present at most a few times in an Init line made of them, so
// that an occurrence ending exactly where one walk hands over to the next is likely.
Case uniformCase(QRandomGenerator& rng, qsizetype initLength) {
    Case c;
    c.separator = u";"_s;
    QStringList commands;
    for (int i = 0; i < 60; ++i) {
        commands += randomText(rng, 5, u"abcdefgh"_s) + c.separator;
        c.reference += commands.last();
    }
    while (c.init.size() < initLength) {
        c.init += commands[rng.bounded(int(commands.size()))];
        c.init += randomText(rng, rng.bounded(3), u"ab"_s);
    }
    return c;
}

QString expected(const Case& c) {
    return corvane::literalFilterCommandList(c.reference, c.init, c.separator);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Bytes this process has read through system calls so far, or -1 where that is not counted.
qint64 bytesReadSoFar() {
    QFile io(u"/proc/self/io"_s);
    if (!io.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:")) {
            return line.mid(6).trimmed().toLongLong();
        }
    }
    return -1;
}

}  // namespace

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void agreesWithTheLiteralRule_data();
    void agreesWithTheLiteralRule();
    void findsOneOccurrenceWhereverItLies_data();
    void findsOneOccurrenceWhereverItLies();
    void streamedFileAgreesWithTheLiteralRule_data();
    void streamedFileAgreesWithTheLiteralRule();
    void lineEndsAtTheFirstCarriageReturn_data();
    void lineEndsAtTheFirstCarriageReturn();
    void stopsReadingOnceEveryCommandIsFound();
    void refusesAnOverlongReferenceWithoutReadingItWhole();
    void reportsTheInitFileBeforeTheReferenceFile_data();
    void reportsTheInitFileBeforeTheReferenceFile();
};

void TestEngine::agreesWithTheLiteralRule_data() {
    QTest::addColumn<QString>("alphabet");
    QTest::addColumn<int>("initLength");
    QTest::addColumn<qsizetype>("tableEntriesMax");
    QTest::addColumn<int>("threads");
    QTest::addColumn<bool>("uniform");
    QTest::addColumn<bool>("rows");

    const qsizetype table = corvane::ScanTuning().tableEntriesMax;
    QTest::newRow("short Init lines stay within one walk")
        << kLatin << 40 << table << 1 << false << false;
    QTest::newRow("long Init lines are split into interleaved walks")
        << kLatin << 3000 << table << 1 << false << false;
    QTest::newRow("an occurrence across the border of two walks is found")
        << kLatin << 3000 << table << 1 << true << false;
    QTest::newRow("code units outside ISO 8859-1 match only themselves")
        << kWide << 3000 << table << 1 << false << false;
    QTest::newRow("transition lists give what the table gives")
        << kWide << 3000 << qsizetype(0) << 1 << false << false;
    QTest::newRow("two threads share a long Init line")
        << kLatin << 3000 << table << 2 << false << false;
    QTest::newRow("an occurrence across the border of two threads' parts is found")
        << kLatin << 3000 << table << 2 << true << false;
    QTest::newRow("the row table gives what the column table gives")
        << kWide << 3000 << table << 1 << false << true;
}

void TestEngine::agreesWithTheLiteralRule() {
    QFETCH(QString, alphabet);
    QFETCH(int, initLength);
    QFETCH(qsizetype, tableEntriesMax);
    QFETCH(int, threads);
    QFETCH(bool, uniform);
    QFETCH(bool, rows);
    const TuningScope scope;
    corvane::ScanTuning& tuning = corvane::scanTuning();
    tuning.rowTable = rows;
    tuning.directBelow = 0;
    tuning.tableEntriesMax = tableEntriesMax;
    tuning.threads = threads;
    tuning.parallelFrom = 1;

    QRandomGenerator rng(20261206);
    for (int round = 0; round < 400; ++round) {
        const qsizetype length = rng.bounded(initLength + 1);
        const Case c = uniform ? uniformCase(rng, length) : randomCase(rng, alphabet, length);
        const QString got = corvane::FilterCommandList(c.reference, c.init, c.separator);
        if (got != expected(c)) {
            QFAIL(qPrintable(
                u"round %1: reference \"%2\", separator \"%3\", init \"%4\""_s.arg(round).arg(
                    c.reference, c.separator, c.init)));
        }
    }
}

void TestEngine::findsOneOccurrenceWhereverItLies_data() {
    QTest::addColumn<int>("threads");
    QTest::addColumn<QString>("command");

    const QString longCommand = u"VOLT:RANG:AUTO ON,SOUR:CURR:LEV 0.125;"_s;
    QTest::newRow("a long command, one thread") << 1 << longCommand;
    QTest::newRow("a long command, two threads") << 2 << longCommand;
    QTest::newRow("a short command, one thread") << 1 << u"F1;"_s;
}

// One occurrence in a long Init line, moved across every place where the search divides its
// work: it must be found wherever it lies, and a near miss must not be.
void TestEngine::findsOneOccurrenceWhereverItLies() {
    QFETCH(int, threads);
    QFETCH(QString, command);
    const TuningScope scope;
    corvane::ScanTuning& tuning = corvane::scanTuning();
    tuning.directBelow = 0;
    tuning.threads = threads;
    tuning.parallelFrom = 1;

    const QString reference = command + u"ZZ"_s;
    const QString nearMiss = command.chopped(1) + u"#"_s;
    const qsizetype size = 700 * 1024;
    const QString filler(size, u'x');
    QString init = filler;
    for (qsizetype border = 4096; border < size; border += 4096) {
        // Starting just before the border, or ending just after it.
        for (const qsizetype before : {qsizetype(1), command.size() - 1}) {
            const qsizetype at = border - before;
            init.replace(at, command.size(), command);
            QCOMPARE(corvane::FilterCommandList(reference, init, u";"_s), u"ZZ"_s);
            init.replace(at, command.size(), nearMiss);
            QCOMPARE(corvane::FilterCommandList(reference, init, u";"_s), reference);
            init.replace(at, command.size(), filler.left(command.size()));
        }
    }
}

void TestEngine::streamedFileAgreesWithTheLiteralRule_data() {
    QTest::addColumn<qsizetype>("chunkBytes");
    QTest::addColumn<int>("threads");

    QTest::newRow("a line in one chunk is compared in memory") << qsizetype(1 << 20) << 1;
    QTest::newRow("a line over many small chunks is streamed") << qsizetype(17) << 1;
    QTest::newRow("two threads read small chunks in turn") << qsizetype(23) << 2;
    QTest::newRow("chunks shorter than the longest command") << qsizetype(3) << 2;
}

void TestEngine::streamedFileAgreesWithTheLiteralRule() {
    QFETCH(qsizetype, chunkBytes);
    QFETCH(int, threads);
    const TuningScope scope;
    corvane::ScanTuning& tuning = corvane::scanTuning();
    tuning.chunkBytes = chunkBytes;
    tuning.threads = threads;
    tuning.parallelFrom = 1;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString initPath = dir.filePath(u"init.dat"_s);
    const QString referencePath = dir.filePath(u"ref.dat"_s);
    QRandomGenerator rng(77);
    for (int round = 0; round < 150; ++round) {
        const Case c = randomCase(rng, kLatin, rng.bounded(1, 2000));
        writeFile(initPath, c.init.toLatin1() + "\r\nVOLT 1;ab;:\r\n");
        writeFile(referencePath, c.reference.toLatin1() + "\r\n");
        const QString got = corvane::compareCommandFiles(initPath, referencePath, c.separator);
        if (got != expected(c)) {
            QFAIL(qPrintable(
                u"round %1: reference \"%2\", separator \"%3\", init \"%4\""_s.arg(round).arg(
                    c.reference, c.separator, c.init)));
        }
    }
}

void TestEngine::lineEndsAtTheFirstCarriageReturn_data() {
    QTest::addColumn<QByteArray>("initBytes");
    QTest::addColumn<QString>("result");

    // Chunks are 8 bytes and the longest command has 2, so after the first 8 bytes the file is
    // read in pieces of 9 that start at bytes 7, 15, 23 ...; B; lies past the line's end in
    // every row that has a CR.
    const QByteArray x13(13, 'x');
    QTest::newRow("a CR as the last byte of a chunk") << x13 + "A;\rB;" << u"B;C"_s;
    QTest::newRow("a CR as the first new byte of a chunk") << x13 + "xA;\rB;" << u"B;C"_s;
    QTest::newRow("a CR LF split across two chunks") << x13 + "A;\r\nB;" << u"B;C"_s;
    QTest::newRow("a command cut by the CR is not found") << x13 + "xA;B\r;C" << u"B;C"_s;
    QTest::newRow("a line feed alone does not end the line") << x13 + "A;\nB;" + x13 << u"C"_s;
    QTest::newRow("a file without a CR is one line") << x13 + x13 + "A;xxxB;" << u"C"_s;
}

void TestEngine::lineEndsAtTheFirstCarriageReturn() {
    QFETCH(QByteArray, initBytes);
    QFETCH(QString, result);
    const TuningScope scope;
    corvane::scanTuning().chunkBytes = 8;
    corvane::scanTuning().threads = 1;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath(u"init.dat"_s), initBytes);
    writeFile(dir.filePath(u"ref.dat"_s), "A;B;C\r\n");
    QCOMPARE(corvane::compareCommandFiles(dir.filePath(u"init.dat"_s), dir.filePath(u"ref.dat"_s),
                                          u";"_s),
             result);
}

void TestEngine::stopsReadingOnceEveryCommandIsFound() {
    const qint64 before = bytesReadSoFar();
    if (before < 0) {
        QSKIP("This system does not count the bytes a process reads.");
    }
    const TuningScope scope;
    corvane::scanTuning().chunkBytes = 64 * 1024;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const qint64 size = qint64(64) << 20;
    const QByteArray head = "VOLT 5;OUTP ON;" + QByteArray(200 * 1024, 'x') + "RST;";
    {
        QFile init(dir.filePath(u"init.dat"_s));
        QVERIFY(init.open(QIODevice::WriteOnly));
        QCOMPARE(init.write(head), head.size());
        QVERIFY(init.resize(size));  // the rest holds zero bytes and no CR
    }
    writeFile(dir.filePath(u"ref.dat"_s), "RST;VOLT 5;OUTP ON;RST;");

    const qint64 start = bytesReadSoFar();
    QCOMPARE(corvane::compareCommandFiles(dir.filePath(u"init.dat"_s), dir.filePath(u"ref.dat"_s),
                                          u";"_s),
             QString());
    QCOMPARE_LT(bytesReadSoFar() - start, size / 16);
}

void TestEngine::refusesAnOverlongReferenceWithoutReadingItWhole() {
    const qint64 before = bytesReadSoFar();
    if (before < 0) {
        QSKIP("This system does not count the bytes a process reads.");
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath(u"init.dat"_s), "RST;");
    const qint64 size = qint64(64) << 20;
    {
        QFile reference(dir.filePath(u"ref.dat"_s));
        QVERIFY(reference.open(QIODevice::WriteOnly));
        QVERIFY(reference.resize(size));
    }
    const qint64 start = bytesReadSoFar();
    QVERIFY_THROWS_EXCEPTION(corvane::OverflowError,
                             corvane::compareCommandFiles(dir.filePath(u"init.dat"_s),
                                                          dir.filePath(u"ref.dat"_s), u";"_s));
    QCOMPARE_LT(bytesReadSoFar() - start, size / 16);
}

void TestEngine::reportsTheInitFileBeforeTheReferenceFile_data() {
    QTest::addColumn<bool>("initExists");
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<QString>("message");

    QTest::newRow("a missing Init file before a missing Reference file")
        << false << QByteArray() << u"Could not open the Init file"_s;
    QTest::newRow("an empty Init file before an empty Reference file")
        << true << QByteArray("") << u"Could not read the Init file"_s;
    QTest::newRow("an empty Init file before an overlong Reference line")
        << true << QByteArray(40000, 'x') << u"Could not read the Init file"_s;
}

void TestEngine::reportsTheInitFileBeforeTheReferenceFile() {
    QFETCH(bool, initExists);
    QFETCH(QByteArray, reference);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (initExists) {
        writeFile(dir.filePath(u"init.dat"_s), {});
    }
    if (!reference.isNull()) {
        writeFile(dir.filePath(u"ref.dat"_s), reference);
    }
    try {
        corvane::compareCommandFiles(dir.filePath(u"init.dat"_s), dir.filePath(u"ref.dat"_s),
                                     u";"_s);
        QFAIL("No error was reported.");
    } catch (const corvane::FileError& e) {
        QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
