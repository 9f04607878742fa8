// Bad Init, Reference and New files and bad separators through the real window.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>
#include <csignal>

#include "bad_input_window.h"

using corvane::test::BadInputWindow;
using corvane::test::ranAsUnprivilegedUser;

namespace {

const QByteArray kInit = "RST;VOLT 1;\r\nsecond line\r\n";
const QByteArray kReference = "RST;VOLT 2;OUTP ON\r\nsecond line\r\n";
const QByteArray kEarlier = "EARLIER;\r\n";
constexpr qint64 kGibibyte = qint64(1) << 30;

enum class Input { Missing, Folder, Unreadable, Bytes, GibibyteWithoutCr };
enum class NewFile { FolderMissing, IsFolder, ReadOnlyFile, SizeLimit, Wildcards, HardLink };

QString question(const QString& path) {
    return QStringLiteral("File Error [question] ") + path +
           QStringLiteral(" already exists !\n\nDo want to overwrite it ?");
}

QString report(const QString& text) {
    return text.isEmpty() ? text : QStringLiteral("Corvane [critical] ") + text;
}

// Bytes this process has read from files so far.
qint64 bytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
    const QByteArray text = io.open(QIODevice::ReadOnly) ? io.readAll() : QByteArray();
    const qsizetype at = text.indexOf("rchar:");
    return at < 0 ? -1 : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().toLongLong();
}

// A file-size limit with its signal ignored, so that a write past it fails like a full disk.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited{bytes, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
        std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
    rlimit saved{};
};

}  // namespace

Q_DECLARE_METATYPE(Input)
Q_DECLARE_METATYPE(NewFile)

class TestBadInputFiles : public QObject {
    Q_OBJECT

private slots:
    void inputFile_data();
    void inputFile();
    void newFile_data();
    void newFile();
    void separator_data();
    void separator();
};

void TestBadInputFiles::inputFile_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<Input>("input");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("asUser");
    QTest::addColumn<QString>("report");  // %1 is the bad file's path
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("a missing Init file is reported by name")
        << 0 << Input::Missing << QByteArray() << false
        << QStringLiteral("Could not open the Init file \"%1\": No such file or directory.")
        << QByteArray();
    QTest::newRow("a Reference path naming a folder is reported")
        << 1 << Input::Folder << QByteArray() << false
        << QStringLiteral("Could not open the Reference file \"%1\": it is a folder, not a file.")
        << QByteArray();
    QTest::newRow("an unreadable Init file is reported")
        << 0 << Input::Unreadable << kInit << true
        << QStringLiteral("Could not open the Init file \"%1\": Permission denied.")
        << QByteArray();
    QTest::newRow("an empty Reference file has no first line")
        << 1 << Input::Bytes << QByteArray("") << false
        << QStringLiteral(
               "Could not read the Reference file \"%1\": it is empty and has no first line.")
        << QByteArray();
    QTest::newRow("NUL and high bytes of the Reference line reach the New file unchanged")
        << 1 << Input::Bytes << QByteArray("\0RST;VOLT\0 3;\xff\xfe\x80\r\nmore", 22) << false
        << QString() << QByteArray("\0RST;VOLT\0 3;\xff\xfe\x80\r\n", 18);
    QTest::newRow("an Init file of 1 GiB without a CR is searched to its end")
        << 0 << Input::GibibyteWithoutCr << QByteArray("RST;VOLT 2;") << false << QString()
        << QByteArray("OUTP ON\r\n");
    QTest::newRow("a Reference file of 1 GiB without a CR is refused as too long")
        << 1 << Input::GibibyteWithoutCr << QByteArray("RST;") << false
        << QStringLiteral(
               "The Reference command list is too long: at least <n> characters "
               "with a separator of 1, where at most 32767 fit together.")
        << QByteArray();
    const QByteArray commands = QByteArray("CURR 2;").repeated(5000);
    QTest::newRow("a Reference line of 32,766 characters with ';' is compared")
        << 1 << Input::Bytes << commands.left(32766) + "\r\n"
        << false << QString() << commands.left(32766) + "\r\n";
    QTest::newRow("a Reference line of 32,767 characters with ';' is refused")
        << 1 << Input::Bytes << commands.left(32767) + "\r\n"
        << false
        << QStringLiteral(
               "The Reference command list is too long: 32767 characters with a "
               "separator of 1, where at most 32767 fit together.")
        << QByteArray();
}

void TestBadInputFiles::inputFile() {
    QFETCH(int, row);
    QFETCH(Input, input);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, asUser);
    QFETCH(QString, report);
    QFETCH(QByteArray, written);
    QString failure;
    if (asUser && ranAsUnprivilegedUser(&failure)) {
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }

    BadInputWindow window;
    QVERIFY(window.open());
    const QString bad = window.path(QStringLiteral("bad %1.dat").arg(row));
    if (input == Input::Folder) {
        QVERIFY(QDir().mkdir(bad));
    } else if (input != Input::Missing) {
        window.write(bad, bytes);
    }
    if (input == Input::Unreadable) {
        QVERIFY(QFile::setPermissions(bad, QFileDevice::Permissions()));
    } else if (input == Input::GibibyteWithoutCr) {
        QFile sparse(bad);  // the rest is a hole of zero bytes that takes no disk
        QVERIFY(sparse.open(QIODevice::ReadWrite) && sparse.resize(kGibibyte));
    }
    window.choose(0, row == 0 ? bad : window.write(QStringLiteral("init.dat"), kInit));
    window.choose(1, row == 1 ? bad : window.write(QStringLiteral("ref.dat"), kReference));
    const QString newFile = window.write(window.textFile()->text(), kEarlier);

    QStringList expected{question(newFile)};
    if (!report.isEmpty()) {
        expected += ::report(report.replace(QStringLiteral("%1"), bad));
    }
    const qint64 readBefore = bytesRead();
    QCOMPARE(window.pressAndCheck("Command_Run", expected, newFile, written), QString());
    // The Reference is refused after its start; the Init is searched to its very end.
    const qint64 read = bytesRead() - readBefore;
    if (input == Input::GibibyteWithoutCr) {
        QVERIFY2(row == 0 ? read >= kGibibyte : read < 16 * 1024 * 1024,
                 qPrintable(QString::number(read)));
    }
}

void TestBadInputFiles::newFile_data() {
    QTest::addColumn<NewFile>("kind");
    QTest::addColumn<bool>("asUser");
    QTest::addColumn<QString>("report");  // %1 is the New file's path

    const QString notWritten = QStringLiteral("Could not write the New file \"%1\": ");
    QTest::newRow("a New file in a missing folder is reported")
        << NewFile::FolderMissing << false
        << notWritten + QStringLiteral("No such file or directory.");
    QTest::newRow("a New file path naming a folder is reported")
        << NewFile::IsFolder << false << notWritten + QStringLiteral("it is a folder.");
    QTest::newRow("a read-only New file is kept, also for the administrator")
        << NewFile::ReadOnlyFile << false << notWritten + QStringLiteral("it is read-only.");
    QTest::newRow("a read-only New file is kept for a user")
        << NewFile::ReadOnlyFile << true << notWritten + QStringLiteral("it is read-only.");
    QTest::newRow("a file-size limit reached midway keeps the earlier New file")
        << NewFile::SizeLimit << false << notWritten + QStringLiteral("File too large.");
    QTest::newRow("wildcard characters name one file and match no other")
        << NewFile::Wildcards << false << QString();
    QTest::newRow("the Init file through a hard link is refused")
        << NewFile::HardLink << false << QString();
}

void TestBadInputFiles::newFile() {
    QFETCH(NewFile, kind);
    QFETCH(bool, asUser);
    QFETCH(QString, report);
    QString failure;
    if (asUser && ranAsUnprivilegedUser(&failure)) {
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }

    BadInputWindow window;
    QVERIFY(window.open());
    const QString init = window.write(QStringLiteral("init.dat"), kInit);
    window.choose(0, init);
    window.choose(
        1, window.write(QStringLiteral("ref.dat"),
                        kind == NewFile::SizeLimit ? QByteArray("CURR 2;").repeated(3000) + "\r\n"
                                                   : kReference));
    QString newFile = window.textFile()->text();
    switch (kind) {
        case NewFile::FolderMissing:
            newFile = window.path(QStringLiteral("no such folder/New_ref.dat"));
            break;
        case NewFile::IsFolder:
            QVERIFY(QDir().mkdir(newFile));
            break;
        case NewFile::ReadOnlyFile:
            window.write(newFile, kEarlier);
            QVERIFY(QFile::setPermissions(newFile, QFileDevice::Permissions::fromInt(0x4044)));
            break;
        case NewFile::SizeLimit:
            window.write(newFile, kEarlier);
            break;
        case NewFile::Wildcards:
            window.write(QStringLiteral("New_ab.dat"), kEarlier);  // would match as a pattern
            newFile = window.path(QStringLiteral("New_*?.dat"));
            break;
        case NewFile::HardLink:
            newFile = window.path(QStringLiteral("hard.dat"));
            QCOMPARE(
                ::link(QFile::encodeName(init).constData(), QFile::encodeName(newFile).constData()),
                0);
            break;
    }
    window.textFile()->setText(newFile);

    QStringList expected;
    if (QFileInfo(newFile).isFile() && kind != NewFile::HardLink) {
        expected += question(newFile);
    }
    if (kind == NewFile::HardLink) {
        expected += QStringLiteral(
            "File Error [critical] New file could not be the same as any of the other !");
    }
    if (!report.isEmpty()) {
        expected += ::report(report.arg(newFile));
    }
    QString outcome;
    {
        FileSizeLimit limit(kind == NewFile::SizeLimit ? 4096 : RLIM_INFINITY);
        outcome = window.pressAndCheck(
            "Command_Run", expected, newFile,
            kind == NewFile::Wildcards ? QByteArray("VOLT 2;OUTP ON\r\n") : QByteArray());
    }
    QCOMPARE(outcome, QString());
    if (kind == NewFile::ReadOnlyFile) {
        QCOMPARE(QFileInfo(newFile).permissions() & QFileDevice::Permissions::fromInt(0x7077),
                 QFileDevice::Permissions::fromInt(0x4044));
    }
}

void TestBadInputFiles::separator_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QByteArray>("init");
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<QByteArray>("written");  // null when Run is refused with an overflow

    QTest::newRow("a separator of 40,000 characters is reported as an overflow before anything")
        << QString(40000, QLatin1Char(';')) << kInit << kReference << QByteArray();
    QTest::newRow("an escape character separator cuts at it")
        << QStringLiteral("\x1b") << QByteArray("RST\x1b\r\n") << QByteArray("RST\x1bVOLT 2\r\n")
        << QByteArray("VOLT 2\r\n");
    QTest::newRow("a typed separator stands for its UTF-8 bytes, not for one byte")
        << QStringLiteral("\u00e9") << QByteArray("RST\xc3\xa9\r\n")
        << QByteArray("RST\xc3\xa9VOLT 2\xe9OUTP ON\r\n") << QByteArray("VOLT 2\xe9OUTP ON\r\n");
    QTest::newRow("a single blank separator cuts at blanks")
        << QStringLiteral(" ") << kInit << kReference << QByteArray("2;OUTP ON\r\n");
}

void TestBadInputFiles::separator() {
    QFETCH(QString, separator);
    QFETCH(QByteArray, init);
    QFETCH(QByteArray, reference);
    QFETCH(QByteArray, written);

    BadInputWindow window;
    QVERIFY(window.open());
    window.choose(0, window.write(QStringLiteral("init.dat"), init));
    window.choose(1, window.write(QStringLiteral("ref.dat"), reference));
    const QString newFile = window.write(window.textFile()->text(), kEarlier);
    window.typeSeparator(separator);
    QCOMPARE(window.textSeparator()->text(), separator);
    const QStringList expected =
        written.isNull() ? QStringList{report(QStringLiteral(
                               "The command separator is 40000 characters long, past the "
                               "limit of 32,767."))}
                         : QStringList{question(newFile)};
    QCOMPARE(window.pressAndCheck("Command_Run", expected, newFile, written), QString());
}

QTEST_MAIN(TestBadInputFiles)
#include "test_bad_input_files.moc"
