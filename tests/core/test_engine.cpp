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
using namespace corvane;

namespace {

// The last characters lie outside ISO 8859-1 (a lone surrogate among them) and must match only
// themselves.
const QString kLatin = u"ab;: \u00e9\u00ff"_s;
const QString kWide = kLatin + u"\u0100\u0161\xd800"_s;

// Where the Init line comes from: pieces of the Reference line and noise, whole commands of one
// length, or a file.
enum Source { Pieces, Uniform, File };

QString randomText(QRandomGenerator& rng, qsizetype length, QStringView alphabet) {
    QString text(length, Qt::Uninitialized);
    for (QChar& ch : text) {
        ch = alphabet[rng.bounded(int(alphabet.size()))];
    }
    return text;
}

struct Case {
    QString reference, init, separator;
};

// Few distinct characters, so that commands share prefixes and occur by chance in an Init line
// made of pieces of the Reference line and noise. Uniform cases are made of whole commands of
// one length, so that an occurrence ending just where one walk hands over to the next is likely.
Case randomCase(QRandomGenerator& rng, QStringView alphabet, qsizetype initLength, bool uniform) {
    Case c{{}, {}, uniform ? u";"_s : randomText(rng, rng.bounded(1, 3), alphabet)};
    for (int i = uniform ? 60 : rng.bounded(1, 40); i > 0; --i) {
        c.reference += randomText(rng, uniform ? 5 : rng.bounded(9), alphabet) + c.separator;
    }
    while (c.init.size() < initLength) {
        const int from = uniform ? 6 * rng.bounded(60) : rng.bounded(int(c.reference.size()));
        c.init += QStringView(c.reference).mid(from, uniform ? 6 : rng.bounded(1, 12));
        c.init += randomText(rng, rng.bounded(uniform ? 3 : 6), alphabet);
    }
    return c;
}

// Bytes this process has read through system calls so far, or -1 where that is not counted.
qint64 bytesReadSoFar() {
    QFile io(u"/proc/self/io"_s);
    return io.open(QIODevice::ReadOnly) ? io.readLine().sliced(7).trimmed().toLongLong() : -1;
}

}  // namespace

class TestEngine : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // Writes a file, padded with zero bytes to size, and gives its path; none if that failed,
    // so that the comparison reports it.
    QString write(const QString& name, const QByteArray& bytes, qint64 size = 0) {
        QFile file(dir_.filePath(name));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                             file.resize(std::max(size, qint64(bytes.size())));
        return written ? file.fileName() : QString();
    }

private slots:
    void agreesWithTheLiteralRule_data() {
        QTest::addColumn<QString>("alphabet");
        QTest::addColumn<int>("source");
        QTest::addColumn<ScanTuning>("tuning");
        const auto row = [](const char* name, const QString& alphabet, Source source,
                            ScanTuning t) {
            t.directBelow = 0;
            t.parallelFrom = 1;
            QTest::newRow(name) << alphabet << int(source) << t;
        };
        row("long Init lines are split into interleaved walks", kLatin, Pieces, {.threads = 1});
        row("an occurrence across two walks is found", u"abcdefgh"_s, Uniform, {.threads = 1});
        row("code units outside ISO 8859-1 match only themselves", kWide, Pieces, {});
        row("transition lists give what the table gives", kWide, Pieces, {.tableEntriesMax = 0});
        row("the row table gives what the column table gives", kWide, Pieces, {.rowTable = true});
        row("two threads read small chunks in turn", kLatin, File, {.chunkBytes = 23});
        row("chunks shorter than the longest command", kLatin, File, {.chunkBytes = 3});
    }

    void agreesWithTheLiteralRule() {
        QFETCH(QString, alphabet);
        QFETCH(int, source);
        QFETCH(ScanTuning, tuning);
        scanTuning() = tuning;
        QRandomGenerator rng(20261206);
        for (int round = 0; round < 300 && !QTest::currentTestFailed(); ++round) {
            const Case c = randomCase(rng, alphabet, rng.bounded(3000), source == Uniform);
            // Files hold the text in the system's encoding, and the separator stands for its bytes.
            const auto asRead = [source](const QString& text) {
                return source == File ? QString::fromLatin1(text.toLocal8Bit()) : text;
            };
            const QString got =
                source != File
                    ? FilterCommandList(c.reference, c.init, c.separator)
                    : compareCommandFiles(
                          write(u"init"_s, c.init.toLocal8Bit() + "\r\nVOLT 1;ab;:\r\n"),
                          write(u"ref"_s, c.reference.toLocal8Bit() + "\r\n"), c.separator);
            QVERIFY2(got == literalFilterCommandList(asRead(c.reference), asRead(c.init),
                                                     asRead(c.separator)),
                     qPrintable((QStringList{c.reference, c.separator, c.init}.join(u" | "_s))));
        }
    }

    // One occurrence moved across every place where the search divides a long Init line into
    // blocks, walks and threads' parts (two parts of 352 KiB).
    void findsOneOccurrenceWhereverItLies() {
        const QString scpi = u"VOLT:RANG:AUTO ON,SOUR:CURR:LEV 0.125;"_s;
        const QString filler(704 * 1024, u'x');
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

    void readsTheFilesNoFurtherThanNeeded_data() {
        QTest::addColumn<QByteArray>("init");
        QTest::addColumn<qint64>("initSize");  // zero bytes pad the file to this size
        QTest::addColumn<qint64>("referenceSize");
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char* name, const QByteArray& init, const QString& outcome,
                            qint64 initSize = 0, qint64 referenceSize = 0) {
            QTest::newRow(name) << init << initSize << referenceSize << outcome;
        };
        // Chunks of 8 bytes and a longest command of 2: after the first 8 bytes the Init file is
        // read in pieces of 9 that start at bytes 7, 15, 23 ...
        const QByteArray x13(13, 'x');
        row("a CR as the first new byte of a chunk ends the line", x13 + "xA;\rB;", u"B;C"_s);
        row("a CR LF split across two chunks ends the line", x13 + "A;\r\nB;", u"B;C"_s);
        row("a line feed alone does not end the line", x13 + "A;\nB;" + x13, u"C"_s);
        row("a file without a CR is one line", x13 + x13 + "A;xxxB;", u"C"_s);
        const qint64 large = qint64(64) << 20;
        row("reading stops once every command is found", "A;" + x13 + "B;" + x13 + "C", {}, large);
        row("an over-limit Reference is refused", "A;", u"The Reference command list"_s, 0, large);
        row("an empty Init file is reported before an over-limit Reference line", {},
            u"Could not read the Init file"_s, 0, large);
    }

    void readsTheFilesNoFurtherThanNeeded() {
        QFETCH(QByteArray, init);
        QFETCH(qint64, initSize);
        QFETCH(qint64, referenceSize);
        QFETCH(QString, outcome);
        scanTuning() = {.chunkBytes = 8};
        const qint64 start = bytesReadSoFar();  // -1 where the system does not count them
        try {
            QCOMPARE(compareCommandFiles(write(u"init.dat"_s, init, initSize),
                                         write(u"ref.dat"_s, "A;B;C", referenceSize), u";"_s),
                     outcome);
        } catch (const Error& error) {
            QVERIFY2(!outcome.isEmpty() && error.message().startsWith(outcome),
                     qPrintable(error.message()));
        }
        QCOMPARE_LT(bytesReadSoFar() - start, 1 << 20);
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
