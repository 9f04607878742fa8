#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "core/command_files.h"
#include "core/error.h"

using namespace Qt::StringLiterals;

class TestFirstLine : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void writesTheNewFileFromBothFirstLines_data() {
        QTest::addColumn<QByteArray>("init");  // null bytes leave the file missing
        QTest::addColumn<QByteArray>("reference");
        QTest::addColumn<QByteArray>("line");  // of the New file, or "role: reason" of the error

        const auto row = [](const char* name, const QByteArray& init, const QByteArray& reference,
                            const QByteArray& line) {
            QTest::newRow(name) << init << reference << line;
        };
        row("a carriage return ends each line and later lines count for nothing", "B;\rA;D;\r"_ba,
            "A;B;D\rX;Y\r"_ba, "A;D"_ba);
        row("a carriage return and line feed end the line", "B;\r\nA;D;\r\n"_ba,
            "A;B;D\r\nX;Y\r\n"_ba, "A;D"_ba);
        row("line feeds alone are ordinary characters kept in commands", "B\n;\n"_ba,
            "A\n;B\n;C\n"_ba, "A\n;C\n"_ba);
        row("an empty Init line keeps the whole Reference line", "\r\nB;"_ba, "A;B;D"_ba,
            "A;B;D"_ba);
        row("an empty Reference line gives an empty New line", "A;B\r\n"_ba, "\r\nA;B\r\n"_ba,
            ""_ba);
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b) {
            everyByte += b == '\r' ? QByteArray() : QByteArray(1, char(b));
        }
        row("every byte value but the carriage return reaches the New file unchanged", "\r\n"_ba,
            everyByte + "\r\nsecond line\r\n"_ba, everyByte);
        row("an Init file of zero bytes has no first line", ""_ba, "A;B\r\n"_ba,
            "Init file: empty"_ba);
        row("a Reference file of zero bytes has no first line", "A;B\r\n"_ba, ""_ba,
            "Reference file: empty"_ba);
        row("the Init file's fault is reported before the Reference file's", QByteArray(), ""_ba,
            "Init file: No such file"_ba);
#ifdef Q_OS_UNIX
        // Opened, these would block for good or never end.
        row("a named pipe without a writer is refused at once", "A;B\r\n"_ba, "<fifo>"_ba,
            "Reference file: it is a named pipe, not a regular file."_ba);
        row("a device is refused before it is opened", "/dev/zero"_ba, "A;B\r\n"_ba,
            "Init file: it is a device, not a regular file."_ba);
#endif
    }

    void writesTheNewFileFromBothFirstLines() {
        QFETCH(QByteArray, init);
        QFETCH(QByteArray, reference);
        QFETCH(QByteArray, line);
        const QString initPath =
            init.startsWith("/dev/") ? QString::fromLatin1(init) : dir_.filePath(u"my init.dat"_s);
        const QString referencePath = dir_.filePath(u"my ref.dat"_s);
        for (const auto& [path, bytes] : {std::pair(initPath, init), {referencePath, reference}}) {
            QFile file(path);
            if (bytes.startsWith("/dev/")) {
                continue;
            }
            file.remove();
#ifdef Q_OS_UNIX
            QVERIFY(bytes != "<fifo>" || ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
            QVERIFY(bytes.isNull() || bytes == "<fifo>" ||
                    (file.open(QIODevice::WriteOnly) && file.write(bytes) >= 0));
        }
        QFile newFile(dir_.filePath(u"New_ref.dat"_s));
        const auto openFiles = [] { return QDir(u"/proc/self/fd"_s).count(); };
        const auto openBefore = openFiles();

        try {
            corvane::writeNewFile(newFile.fileName(),
                                  corvane::compareCommandFiles(initPath, referencePath, u";"_s));
            QVERIFY(newFile.open(QIODevice::ReadOnly));
            QCOMPARE(newFile.readAll(), line + "\r\n"_ba);
        } catch (const corvane::FileError& error) {
            const QString message = error.message();
            const QStringList expected = QString::fromLatin1(line).split(u": "_s);
            const QString& path = expected[0] == u"Init file"_s ? initPath : referencePath;
            QVERIFY2(expected.size() == 2 && message.contains(expected[0]) &&
                         message.contains(path) && message.contains(expected[1]),
                     qPrintable(message));
        }
        // An input file that failed is closed again, so that a later Run can open it.
        newFile.close();
        QCOMPARE(openFiles(), openBefore);
    }
};

QTEST_GUILESS_MAIN(TestFirstLine)
#include "test_first_line.moc"
