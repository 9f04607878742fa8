#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/command_files.h"
#include "core/error.h"

using namespace Qt::StringLiterals;

// Writes the Init and Reference files, each left out where its bytes are null.
class TestFirstLine : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString initPath_, referencePath_;

    void writeFiles(const QByteArray& init, const QByteArray& reference) {
        dir_ = std::make_unique<QTemporaryDir>();
        initPath_ = dir_->filePath(u"my init.dat"_s);
        referencePath_ = dir_->filePath(u"my ref.dat"_s);
        for (const auto& [path, bytes] :
             {std::pair(initPath_, init), {referencePath_, reference}}) {
            QFile file(path);
            QVERIFY(bytes.isNull() || (file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0));
        }
    }

private slots:
    void comparesTheFirstLines_data() {
        QTest::addColumn<QByteArray>("init");
        QTest::addColumn<QByteArray>("reference");
        QTest::addColumn<QString>("result");

        QTest::newRow("a carriage return ends each line and later lines count for nothing")
            << "B;\rA;D;\r"_ba
            << "A;B;D\rX;Y\r"_ba << u"A;D"_s;
        QTest::newRow("a carriage return and line feed end the line")
            << "B;\r\nA;D;\r\n"_ba
            << "A;B;D\r\nX;Y\r\n"_ba << u"A;D"_s;
        QTest::newRow("line feeds alone are ordinary characters kept in commands")
            << "B\n;\n"_ba
            << "A\n;B\n;C\n"_ba << u"A\n;C\n"_s;
        QTest::newRow("an empty Init line keeps the whole Reference line")
            << "\r\nB;"_ba
            << "A;B;D"_ba << u"A;B;D"_s;
        QTest::newRow("an empty Reference line gives an empty result")
            << "A;B\r\n"_ba
            << "\r\nA;B\r\n"_ba << QString();
    }

    void comparesTheFirstLines() {
        QFETCH(QByteArray, init);
        QFETCH(QByteArray, reference);
        QFETCH(QString, result);
        writeFiles(init, reference);
        QCOMPARE(corvane::compareCommandFiles(initPath_, referencePath_, u";"_s), result);
    }

    void everyByteReachesTheNewFileUnchanged() {
        // A carriage return would end the line, so every other byte value goes into it.
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b) {
            everyByte += b == '\r' ? QByteArray() : QByteArray(1, char(b));
        }
        writeFiles("\r\n"_ba, everyByte + "\r\nsecond line\r\n"_ba);
        const QString newPath = dir_->filePath(u"New_ref.dat"_s);

        corvane::writeNewFile(newPath,
                              corvane::compareCommandFiles(initPath_, referencePath_, u"\u00ff"_s));

        QFile written(newPath);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), everyByte + "\r\n"_ba);
    }

    void reportsTheFileThatCannotBeRead_data() {
        QTest::addColumn<QByteArray>("init");
        QTest::addColumn<QByteArray>("reference");
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("reason");

        QTest::newRow("an Init file of zero bytes has no first line")
            << ""_ba
            << "A;B\r\n"_ba << u"Init file"_s << u"empty"_s;
        QTest::newRow("a Reference file of zero bytes has no first line")
            << "A;B\r\n"_ba
            << ""_ba << u"Reference file"_s << u"empty"_s;
        QTest::newRow("a missing Reference file gives the system's reason")
            << "A;B\r\n"_ba << QByteArray() << u"Reference file"_s << u"No such file"_s;
        QTest::newRow("the Init file's fault is reported before the Reference file's")
            << QByteArray() << ""_ba << u"Init file"_s << u"No such file"_s;
    }

    void reportsTheFileThatCannotBeRead() {
        QFETCH(QByteArray, init);
        QFETCH(QByteArray, reference);
        QFETCH(QString, role);
        QFETCH(QString, reason);
        writeFiles(init, reference);
        const QString path = role == u"Init file"_s ? initPath_ : referencePath_;
        const auto openFiles = [] { return QDir(u"/proc/self/fd"_s).count(); };
        const auto openBefore = openFiles();

        try {
            corvane::compareCommandFiles(initPath_, referencePath_, u";"_s);
            QFAIL("the comparison went on without its input");
        } catch (const corvane::FileError& error) {
            const QString message = error.message();
            QVERIFY2(message.contains(role) && message.contains(path) && message.contains(reason),
                     qPrintable(message));
        }
        // The file that failed is closed again, so that a later Run can open it.
        QCOMPARE(openFiles(), openBefore);
    }
};

QTEST_GUILESS_MAIN(TestFirstLine)
#include "test_first_line.moc"
