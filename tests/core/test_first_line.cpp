#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/command_files.h"
#include "core/error.h"

using namespace Qt::StringLiterals;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArrayLiteral("<unreadable>");
    }
    return file.readAll();
}

// How many files this process holds open, so that a test can see none is left behind.
qsizetype openFileCount() {
    return QDir(u"/proc/self/fd"_s).entryList(QDir::Files | QDir::System).size();
}

enum class Input { Fine, Empty, Missing, Folder };

}  // namespace

Q_DECLARE_METATYPE(Input)

class TestFirstLine : public QObject {
    Q_OBJECT

private slots:
    void init();
    void readsEverythingBeforeTheFirstCarriageReturn_data();
    void readsEverythingBeforeTheFirstCarriageReturn();
    void comparesTheFirstLinesOfBothFiles_data();
    void comparesTheFirstLinesOfBothFiles();
    void searchesTheWholeInitLineAndNoFurther_data();
    void searchesTheWholeInitLineAndNoFurther();
    void referenceLineMustFitTheLimit_data();
    void referenceLineMustFitTheLimit();
    void reportsTheFileThatCannotBeRead_data();
    void reportsTheFileThatCannotBeRead();
    void everyByteReachesTheNewFileUnchanged();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestFirstLine::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestFirstLine::readsEverythingBeforeTheFirstCarriageReturn_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");

    QTest::newRow("a carriage return ends the line") << "A;B\rC;D\r"_ba << u"A;B"_s;
    QTest::newRow("the line feed after the carriage return is part of the line end")
        << "A;B\r\nC;D\r\n"_ba << u"A;B"_s;
    QTest::newRow("line feeds alone are ordinary characters") << "A;B\nC;D\n"_ba << u"A;B\nC;D\n"_s;
    QTest::newRow("a line feed before the first carriage return belongs to the line")
        << "A\nB\r\nC"_ba << u"A\nB"_s;
    QTest::newRow("a file without a line end is one line") << "A;B"_ba << u"A;B"_s;
    QTest::newRow("a file that begins with a carriage return has an empty line")
        << "\r\nA;B\r\n"_ba << QString();
    QTest::newRow("a file of one carriage return has an empty line") << "\r"_ba << QString();
    QTest::newRow("a NUL byte is an ordinary character")
        << QByteArray("A\0B\r\n", 5) << QString(u"A\0B"_s);
    QTest::newRow("bytes above 127 are ISO 8859-1 characters")
        << "\xb5V;90\xb0;5\xd8\r\n"_ba << u"\u00b5V;90\u00b0;5\u00d8"_s;
    QTest::newRow("a line much longer than any read buffer is read whole")
        << QByteArray(300000, 'x') + "\r\nnext"_ba << QString(300000, u'x');
    QTest::newRow("a carriage return right at a 64 KiB boundary ends the line")
        << QByteArray(65536, 'y') + "\r\n"_ba << QString(65536, u'y');
    QTest::newRow("a carriage return just before a 64 KiB boundary ends the line")
        << QByteArray(65535, 'y') + "\r\nzz"_ba << QString(65535, u'y');
    QTest::newRow("a line feed just after a 64 KiB boundary stays in the line")
        << QByteArray(65536, 'y') + "\n\r"_ba << QString(65536, u'y') + u"\n"_s;
}

void TestFirstLine::readsEverythingBeforeTheFirstCarriageReturn() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);

    const QString path = dir_->filePath(u"setup.dat"_s);
    writeBytes(path, bytes);
    const qsizetype openBefore = openFileCount();

    QCOMPARE(corvane::readFirstLine(path), line);
    QCOMPARE(openFileCount(), openBefore);
}

void TestFirstLine::comparesTheFirstLinesOfBothFiles_data() {
    QTest::addColumn<QByteArray>("init");
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("result");

    QTest::newRow("only the Reference file's first line is compared")
        << "B;\r\nA;D;\r\n"_ba
        << "A;B;D\r\nX;Y\r\n"_ba << u";"_s << u"A;D"_s;
    QTest::newRow("an empty Init line keeps the whole Reference line")
        << "\r\n"_ba
        << "A;B;D\r\n"_ba << u";"_s << u"A;B;D"_s;
    QTest::newRow("an empty Reference line gives an empty result")
        << "A;B\r\n"_ba
        << "\r\nA;B\r\n"_ba << u";"_s << QString();
    QTest::newRow("commands of files with line feeds alone carry their line feeds")
        << "B\n;"_ba
        << "A\n;B\n;C\n"_ba << u";"_s << u"A\n;C\n"_s;
}

void TestFirstLine::comparesTheFirstLinesOfBothFiles() {
    QFETCH(QByteArray, init);
    QFETCH(QByteArray, reference);
    QFETCH(QString, separator);
    QFETCH(QString, result);

    const QString initPath = dir_->filePath(u"init.dat"_s);
    const QString referencePath = dir_->filePath(u"ref.dat"_s);
    writeBytes(initPath, init);
    writeBytes(referencePath, reference);

    QCOMPARE(corvane::compareCommandFiles(initPath, referencePath, separator), result);
}

void TestFirstLine::searchesTheWholeInitLineAndNoFurther_data() {
    QTest::addColumn<bool>("lineEnd");

    QTest::newRow("an Init file without line end is searched to its last byte") << false;
    QTest::newRow("an Init line is searched up to its carriage return and no further") << true;
}

void TestFirstLine::searchesTheWholeInitLineAndNoFurther() {
    QFETCH(bool, lineEnd);

    // A long Init line with one command across every power-of-two boundary from 1 KiB to
    // 8 MiB, wherever a reader may cut it into pieces, and commands in its last bytes.
    QByteArray init((8 << 20) + 100, 'x');
    QString reference;
    for (int power = 10; power <= 23; ++power) {
        const QByteArray command = "K" + QByteArray::number(power) + ";";
        init.replace((qsizetype(1) << power) - command.size() / 2, command.size(), command);
        reference += QString::fromLatin1(command);
    }
    init.replace(init.size() - 4, 4, "END;");
    reference += u"END;ABSENT;SPLIT;LATE;"_s;
    init += lineEnd ? "SPL\r\nIT;LATE;"_ba : "SPLIT;LATE;"_ba;
    const QString initPath = dir_->filePath(u"init.dat"_s);
    const QString referencePath = dir_->filePath(u"ref.dat"_s);
    writeBytes(initPath, init);
    writeBytes(referencePath, reference.toLatin1() + "\r\n"_ba);

    QCOMPARE(corvane::compareCommandFiles(initPath, referencePath, u";"_s),
             lineEnd ? u"ABSENT;SPLIT;LATE;"_s : u"ABSENT;"_s);
}

void TestFirstLine::referenceLineMustFitTheLimit_data() {
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<bool>("fits");

    QTest::newRow("a Reference line of 32,766 characters fits with ;")
        << QByteArray(32765, 'A') + ";\r\nmore"_ba << true;
    QTest::newRow("a Reference line of 32,767 characters overflows")
        << QByteArray(32766, 'A') + ";\r\nmore"_ba << false;
    QTest::newRow("a Reference file of 32,766 bytes without line end fits")
        << QByteArray(32766, 'A') << true;
    QTest::newRow("a Reference file of several MiB without line end overflows")
        << QByteArray(5 << 20, 'A') << false;
}

void TestFirstLine::referenceLineMustFitTheLimit() {
    QFETCH(QByteArray, reference);
    QFETCH(bool, fits);

    const QString initPath = dir_->filePath(u"init.dat"_s);
    const QString referencePath = dir_->filePath(u"ref.dat"_s);
    writeBytes(initPath, "B;\r\n"_ba);
    writeBytes(referencePath, reference);
    const qsizetype end = reference.indexOf('\r');
    const QByteArray line = end < 0 ? reference : reference.left(end);

    if (fits) {
        QCOMPARE(corvane::compareCommandFiles(initPath, referencePath, u";"_s),
                 QString::fromLatin1(line));
    } else {
        QVERIFY_THROWS_EXCEPTION(corvane::OverflowError,
                                 corvane::compareCommandFiles(initPath, referencePath, u";"_s));
    }
}

void TestFirstLine::reportsTheFileThatCannotBeRead_data() {
    QTest::addColumn<Input>("init");
    QTest::addColumn<Input>("reference");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("reason");

    QTest::newRow("an empty Init file has no first line")
        << Input::Empty << Input::Fine << u"Init file"_s << u"empty"_s;
    QTest::newRow("an empty Reference file has no first line")
        << Input::Fine << Input::Empty << u"Reference file"_s << u"empty"_s;
    QTest::newRow("a missing Init file gives the system's reason")
        << Input::Missing << Input::Fine << u"Init file"_s << u"No such file or directory"_s;
    QTest::newRow("a missing Reference file gives the system's reason")
        << Input::Fine << Input::Missing << u"Reference file"_s << u"No such file or directory"_s;
    QTest::newRow("an Init file that is a folder is refused")
        << Input::Folder << Input::Fine << u"Init file"_s << u"folder"_s;
    QTest::newRow("a Reference file that is a folder is refused")
        << Input::Fine << Input::Folder << u"Reference file"_s << u"folder"_s;
    QTest::newRow("the Init file's fault is reported before the Reference file's")
        << Input::Missing << Input::Empty << u"Init file"_s << u"No such file or directory"_s;
}

void TestFirstLine::reportsTheFileThatCannotBeRead() {
    QFETCH(Input, init);
    QFETCH(Input, reference);
    QFETCH(QString, role);
    QFETCH(QString, reason);

    const auto prepare = [this](Input input, const QString& name) {
        const QString path = dir_->filePath(name);
        switch (input) {
            case Input::Fine:
                writeBytes(path, "A;B\r\n"_ba);
                break;
            case Input::Empty:
                writeBytes(path, {});
                break;
            case Input::Folder:
                QDir().mkpath(path);
                break;
            case Input::Missing:
                break;
        }
        return path;
    };
    const QString initPath = prepare(init, u"my init.dat"_s);
    const QString referencePath = prepare(reference, u"my ref.dat"_s);
    const QString failing = role == u"Init file"_s ? initPath : referencePath;
    const qsizetype openBefore = openFileCount();

    try {
        corvane::compareCommandFiles(initPath, referencePath, u";"_s);
        QFAIL("the comparison went on without its input");
    } catch (const corvane::FileError& error) {
        const QString message = error.message();
        QVERIFY2(message.contains(role) && message.contains(failing) && message.contains(reason),
                 qPrintable(message));
        const QString other = role == u"Init file"_s ? u"Reference file"_s : u"Init file"_s;
        QVERIFY2(!message.contains(other), qPrintable(message));
    }
    // The file that failed is closed again, so that a later Run can open it.
    QCOMPARE(openFileCount(), openBefore);
}

void TestFirstLine::everyByteReachesTheNewFileUnchanged() {
    // A carriage return would end the line, so every other byte value goes into it.
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r') {
            everyByte += char(b);
        }
    }
    const QString initPath = dir_->filePath(u"init.dat"_s);
    const QString referencePath = dir_->filePath(u"ref.dat"_s);
    const QString newPath = dir_->filePath(u"New_ref.dat"_s);
    writeBytes(initPath, "\r\n"_ba);
    writeBytes(referencePath, everyByte + "\r\nsecond line\r\n"_ba);

    const QString line = corvane::compareCommandFiles(initPath, referencePath, u"\u00ff"_s);
    QCOMPARE(line.size(), everyByte.size());
    corvane::writeNewFile(newPath, line);

    QCOMPARE(bytesOf(newPath), everyByte + "\r\n"_ba);
}

QTEST_GUILESS_MAIN(TestFirstLine)
#include "test_first_line.moc"
