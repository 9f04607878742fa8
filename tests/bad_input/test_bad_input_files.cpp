// Bad Init, Reference and New files and bad separators, each through the real window: the
// exact message (or the New file written), nothing lost, and a normal Run working afterwards.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>
#include <csignal>

#include "bad_input_window.h"

using corvane::test::BadInputWindow;
using corvane::test::FileSnapshot;
using corvane::test::ranAsUnprivilegedUser;

namespace {

const QByteArray kInit = "RST;VOLT 1;\r\nsecond line\r\n";
const QByteArray kReference = "RST;VOLT 2;OUTP ON\r\nsecond line\r\n";
const QByteArray kLine = "VOLT 2;OUTP ON\r\n";
const QByteArray kEarlier = "EARLIER;\r\n";
constexpr qint64 kGibibyte = qint64(1) << 30;

enum class Input { Missing, Folder, Unreadable, ZeroBytes, Binary, GibibyteWithoutCr, Length };
enum class NewFile {
    FolderMissing,
    IsFolder,
    ReadOnlyFile,
    ReadOnlyFolder,
    ReadOnlyFolderWithEarlier,
    SizeLimit,
    Wildcards,
    OtherSpelling
};

QString question(const QString& path) {
    return QStringLiteral("File Error [question] ") + path +
           QStringLiteral(" already exists !\n\nDo want to overwrite it ?");
}

// Whether a message shown matches an expected one, where "<n>" in expected stands for a number.
bool sameMessages(const QStringList& shown, const QStringList& expected) {
    if (shown.size() != expected.size()) {
        return false;
    }
    for (qsizetype i = 0; i < shown.size(); ++i) {
        QString pattern = QRegularExpression::escape(expected[i]);
        pattern.replace(QStringLiteral("\\<n\\>"), QStringLiteral("\\d+"));
        if (!QRegularExpression(QRegularExpression::anchoredPattern(pattern))
                 .match(shown[i])
                 .hasMatch()) {
            return false;
        }
    }
    return true;
}

// Bytes this process has read from files so far.
qint64 bytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
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

// A file-size limit for this process, with the signal that would end it ignored, so that a
// write past the limit fails like a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    void lift() {
        if (active_) {
            ::setrlimit(RLIMIT_FSIZE, &saved_);
            std::signal(SIGXFSZ, previous_);
            active_ = false;
        }
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
    bool active_ = true;
};

void makeSparse(const QString& path, const QByteArray& start, qint64 size) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(start), start.size());
    QVERIFY(file.resize(size));  // the rest is a hole of zero bytes that takes no disk
}

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
    QTest::addColumn<QString>("report");  // %1 is the bad file's path; empty when Run works
    QTest::addColumn<QByteArray>("written");

    const QString missing =
        QStringLiteral("Could not open the %2 \"%1\": No such file or directory.");
    const QString folder =
        QStringLiteral("Could not open the %2 \"%1\": it is a folder, not a file.");
    const QString denied = QStringLiteral("Could not open the %2 \"%1\": Permission denied.");
    const QString empty =
        QStringLiteral("Could not read the %2 \"%1\": it is empty and has no first line.");
    for (const int row : {0, 1}) {
        const QString role =
            row == 0 ? QStringLiteral("Init file") : QStringLiteral("Reference file");
        const QByteArray name = row == 0 ? "Init" : "Reference";
        QTest::addRow("a missing %s file is reported by name", name.constData())
            << row << Input::Missing << QByteArray() << false
            << missing.arg(QStringLiteral("%1"), role) << QByteArray();
        QTest::addRow("a %s path naming a folder is reported", name.constData())
            << row << Input::Folder << QByteArray() << false
            << folder.arg(QStringLiteral("%1"), role) << QByteArray();
        QTest::addRow("an unreadable %s file is reported", name.constData())
            << row << Input::Unreadable << (row == 0 ? kInit : kReference) << true
            << denied.arg(QStringLiteral("%1"), role) << QByteArray();
        QTest::addRow("an empty %s file has no first line", name.constData())
            << row << Input::ZeroBytes << QByteArray() << false
            << empty.arg(QStringLiteral("%1"), role) << QByteArray();
    }

    QTest::newRow("NUL and high bytes in the Init line are ordinary characters")
        << 0 << Input::Binary << QByteArray("RST;\0VOLT 2;\0\xff\r\n", 16) << false << QString()
        << QByteArray("OUTP ON\r\n");
    QTest::newRow("NUL and high bytes of the Reference line reach the New file unchanged")
        << 1 << Input::Binary << QByteArray("\0RST;VOLT\0 3;\xff\xfe\x80\r\nmore", 22) << false
        << QString() << QByteArray("\0RST;VOLT\0 3;\xff\xfe\x80\r\n", 18);
    QTest::newRow("an Init file of 1 GiB without a CR is searched to its end")
        << 0 << Input::GibibyteWithoutCr << QByteArray("RST;VOLT 2;") << false << QString()
        << QByteArray("OUTP ON\r\n");
    QTest::newRow("a Reference file of 1 GiB without a CR is refused as too long")
        << 1 << Input::GibibyteWithoutCr << QByteArray("RST;") << false
        << QStringLiteral(
               "The Reference command list is too long: at least <n> characters with a "
               "separator of 1, where at most 32767 fit together.")
        << QByteArray();

    // "CURR 2;" repeated: no command of it occurs in the Init line, so all of it is kept.
    const QByteArray commands = QByteArray("CURR 2;").repeated(5000);
    QTest::newRow("a Reference line of 32,766 characters with ';' is compared")
        << 1 << Input::Length << commands.left(32766) + "\r\n"
        << false << QString() << commands.left(32766) + "\r\n";
    QTest::newRow("a Reference line of 32,767 characters with ';' is refused")
        << 1 << Input::Length << commands.left(32767) + "\r\n"
        << false
        << QStringLiteral(
               "The Reference command list is too long: 32767 characters with a "
               "separator of 1, where at most 32767 fit together.")
        << QByteArray();
    QTest::newRow("an Init line far longer than the Reference limit is compared")
        << 0 << Input::Length << QByteArray("x;").repeated(50000) + "RST;VOLT 2;\r\n"
        << false << QString() << QByteArray("OUTP ON\r\n");
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
    const QString bad =
        window.path(row == 0 ? QStringLiteral("bad init.dat") : QStringLiteral("bad ref.dat"));
    switch (input) {
        case Input::Missing:
            break;
        case Input::Folder:
            QVERIFY(QDir().mkdir(bad));
            break;
        case Input::Unreadable:
            window.write(bad, bytes);
            QVERIFY(QFile::setPermissions(bad, QFileDevice::Permissions()));
            break;
        case Input::GibibyteWithoutCr:
            makeSparse(bad, bytes, kGibibyte);
            break;
        case Input::ZeroBytes:
        case Input::Binary:
        case Input::Length:
            window.write(bad, bytes);
            break;
    }
    window.choose(0, row == 0 ? bad : window.write(QStringLiteral("init.dat"), kInit));
    window.choose(1, row == 1 ? bad : window.write(QStringLiteral("ref.dat"), kReference));
    const QString newFile = window.textFile()->text();
    window.write(newFile, kEarlier);

    const FileSnapshot before(window.dir.path());
    const qint64 readBefore = bytesRead();
    QVERIFY(window.pressRun());
    const qint64 read = bytesRead() - readBefore;

    QStringList expected{question(newFile)};
    if (!report.isEmpty()) {
        expected += BadInputWindow::report(QString(report).replace(QStringLiteral("%1"), bad));
    }
    const QStringList shown = window.takeMessages();
    QVERIFY2(sameMessages(shown, expected), qPrintable(shown.join(QStringLiteral("\n---\n"))));
    if (report.isEmpty()) {
        QCOMPARE(BadInputWindow::read(newFile), written);
        QCOMPARE(before.differences({newFile}), QStringList());
    } else {
        QCOMPARE(before.differences(), QStringList());
    }
    // The Reference is refused after its start; the Init is searched to its very end.
    if (input == Input::GibibyteWithoutCr) {
        QVERIFY2(row == 0 ? read >= kGibibyte : read >= 0 && read < 16 * 1024 * 1024,
                 qPrintable(QString::number(read)));
    }

    QFile::setPermissions(bad, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(window.normalRunFails(), QString());
}

void TestBadInputFiles::newFile_data() {
    QTest::addColumn<NewFile>("kind");
    QTest::addColumn<QString>("spelling");  // for OtherSpelling: the New file's path, %1 the folder
    QTest::addColumn<bool>("asUser");
    QTest::addColumn<QString>("report");  // %1 is the New file's path; empty when Run works

    const QString notWritten = QStringLiteral("Could not write the New file \"%1\": ");
    QTest::newRow("a New file in a missing folder is reported")
        << NewFile::FolderMissing << QString() << false
        << notWritten + QStringLiteral("No such file or directory.");
    QTest::newRow("a New file path naming a folder is reported")
        << NewFile::IsFolder << QString() << false
        << notWritten + QStringLiteral("it is a folder.");
    QTest::newRow("a read-only New file is kept, also for the administrator")
        << NewFile::ReadOnlyFile << QString() << false
        << notWritten + QStringLiteral("it is read-only.");
    QTest::newRow("a read-only New file is kept for a user")
        << NewFile::ReadOnlyFile << QString() << true
        << notWritten + QStringLiteral("it is read-only.");
    QTest::newRow("a New file in a read-only folder is reported")
        << NewFile::ReadOnlyFolder << QString() << true
        << notWritten + QStringLiteral("Permission denied.");
    QTest::newRow("an earlier New file in a read-only folder is kept")
        << NewFile::ReadOnlyFolderWithEarlier << QString() << true
        << notWritten + QStringLiteral("Permission denied.");
    QTest::newRow("a file-size limit reached midway keeps the earlier New file")
        << NewFile::SizeLimit << QString() << false
        << notWritten + QStringLiteral("File too large.");
    QTest::newRow("wildcard characters name one file and match no other")
        << NewFile::Wildcards << QString() << false << QString();

    const QString same = QStringLiteral("New file could not be the same as any of the other !");
    QTest::newRow("the Reference file through ./ is refused")
        << NewFile::OtherSpelling << QStringLiteral("%1/./ref.dat") << false << same;
    QTest::newRow("the Reference file with a doubled separator is refused")
        << NewFile::OtherSpelling << QStringLiteral("%1//ref.dat") << false << same;
    QTest::newRow("the Init file through a parent folder is refused")
        << NewFile::OtherSpelling << QStringLiteral("%1/sub/../init.dat") << false << same;
    QTest::newRow("the Reference file through a symbolic link is refused")
        << NewFile::OtherSpelling << QStringLiteral("%1/link.dat") << false << same;
    QTest::newRow("the Init file through a hard link is refused")
        << NewFile::OtherSpelling << QStringLiteral("%1/hard.dat") << false << same;
}

void TestBadInputFiles::newFile() {
    QFETCH(NewFile, kind);
    QFETCH(QString, spelling);
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
    QByteArray referenceBytes = kReference;
    if (kind == NewFile::SizeLimit) {
        referenceBytes = QByteArray("CURR 2;").repeated(3000) + "\r\n";
    }
    const QString reference = window.write(QStringLiteral("ref.dat"), referenceBytes);
    window.choose(0, init);
    window.choose(1, reference);

    QString newFile = window.textFile()->text();
    bool earlier = false;
    const QString locked = window.path(QStringLiteral("locked"));
    switch (kind) {
        case NewFile::FolderMissing:
            newFile = window.path(QStringLiteral("no such folder/New_ref.dat"));
            break;
        case NewFile::IsFolder:
            QVERIFY(QDir().mkdir(newFile));
            break;
        case NewFile::ReadOnlyFile:
            window.write(newFile, kEarlier);
            QVERIFY(QFile::setPermissions(
                newFile, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
            earlier = true;
            break;
        case NewFile::ReadOnlyFolderWithEarlier:
            window.write(locked + QStringLiteral("/New_ref.dat"), kEarlier);
            earlier = true;
            [[fallthrough]];
        case NewFile::ReadOnlyFolder:
            QVERIFY(QDir().mkpath(locked));
            QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            newFile = locked + QStringLiteral("/New_ref.dat");
            break;
        case NewFile::SizeLimit:
            window.write(newFile, kEarlier);
            earlier = true;
            break;
        case NewFile::Wildcards:
            // A file that the name would match as a pattern; it must be left alone.
            window.write(QStringLiteral("New_ab.dat"), kEarlier);
            newFile = window.path(QStringLiteral("New_*?.dat"));
            break;
        case NewFile::OtherSpelling:
            QVERIFY(QDir().mkpath(window.path(QStringLiteral("sub"))));
            QVERIFY(QFile::link(reference, window.path(QStringLiteral("link.dat"))));
            QCOMPARE(::link(QFile::encodeName(init).constData(),
                            QFile::encodeName(window.path(QStringLiteral("hard.dat"))).constData()),
                     0);
            newFile = spelling.arg(window.dir.path());
            break;
    }
    window.setNewFile(newFile);

    const FileSnapshot before(window.dir.path());
    FileSizeLimit limit(kind == NewFile::SizeLimit ? 4096 : RLIM_INFINITY);
    QVERIFY(window.pressRun());
    limit.lift();

    QStringList expected;
    if (earlier) {
        expected += question(newFile);
    }
    if (kind == NewFile::OtherSpelling) {
        expected += QStringLiteral("File Error [critical] ") + report;
    } else if (!report.isEmpty()) {
        expected += BadInputWindow::report(QString(report).replace(QStringLiteral("%1"), newFile));
    }
    QCOMPARE(window.takeMessages(), expected);
    if (report.isEmpty()) {
        QCOMPARE(BadInputWindow::read(newFile), kLine);
        QCOMPARE(before.differences({newFile}), QStringList());
    } else {
        QCOMPARE(before.differences(), QStringList());
    }
    if (kind == NewFile::ReadOnlyFile) {
        // Owner, group and others; the user bits tell what this user may do.
        const auto modeBits = QFileDevice::Permissions::fromInt(0x7077);
        QCOMPARE(QFileInfo(newFile).permissions() & modeBits,
                 QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    }

    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(window.normalRunFails(), QString());
}

void TestBadInputFiles::separator_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QByteArray>("init");
    QTest::addColumn<QByteArray>("reference");
    QTest::addColumn<QString>("refusal");  // the message that ends Run after the question, if any
    QTest::addColumn<bool>("asked");       // whether the overwrite question comes first
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("a separator of 40,000 characters is reported as an overflow before anything")
        << QString(40000, QLatin1Char(';')) << kInit << kReference
        << QStringLiteral(
               "Corvane [critical] The command separator is 40000 characters long, "
               "past the limit of 32,767.")
        << false << QByteArray();
    QTest::newRow("an empty separator is refused before anything else")
        << QString() << kInit << kReference
        << QStringLiteral("Error [critical] Command Separator can't be empty !") << false
        << QByteArray();
    QTest::newRow("a tab separator cuts at tabs")
        << QStringLiteral("\t") << QByteArray("RST\tVOLT 1\t\r\n")
        << QByteArray("RST\tVOLT 2\tOUTP ON\r\n") << QString() << true
        << QByteArray("VOLT 2\tOUTP ON\r\n");
    QTest::newRow("an escape character separator cuts at it")
        << QStringLiteral("\x1b") << QByteArray("RST\x1b\r\n") << QByteArray("RST\x1bVOLT 2\r\n")
        << QString() << true << QByteArray("VOLT 2\r\n");
    QTest::newRow("a line-feed separator cuts lines that end in line feeds")
        << QStringLiteral("\n") << QByteArray("RST\nVOLT 1\n")
        << QByteArray("RST\nVOLT 2\nOUTP ON\n") << QString() << true
        << QByteArray("VOLT 2\nOUTP ON\n\r\n");
    QTest::newRow("a separator outside ISO 8859-1 never matches, not even its UTF-8 bytes")
        << QString(QChar(0x20AC)) << QByteArray("RST;\r\n")
        << QByteArray("RST\xe2\x82\xacVOLT 2\x80OUTP ON\r\n") << QString() << true
        << QByteArray("RST\xe2\x82\xacVOLT 2\x80OUTP ON\r\n");
    QTest::newRow("a separator ending outside ISO 8859-1 keeps the line as one command")
        << QStringLiteral(";") + QChar(0x2603) << QByteArray("RST;VOLT 2;OUTP ON;\r\n")
        << QByteArray("RST;VOLT 2;OUTP ON\r\n") << QString() << true << QByteArray("\r\n");
    QTest::newRow("a single blank separator cuts at blanks")
        << QStringLiteral(" ") << kInit << kReference << QString() << true
        << QByteArray("2;OUTP ON\r\n");
}

void TestBadInputFiles::separator() {
    QFETCH(QString, separator);
    QFETCH(QByteArray, init);
    QFETCH(QByteArray, reference);
    QFETCH(QString, refusal);
    QFETCH(bool, asked);
    QFETCH(QByteArray, written);

    BadInputWindow window;
    QVERIFY(window.open());
    window.choose(0, window.write(QStringLiteral("init.dat"), init));
    window.choose(1, window.write(QStringLiteral("ref.dat"), reference));
    const QString newFile = window.textFile()->text();
    window.write(newFile, kEarlier);
    window.typeSeparator(separator);
    QCOMPARE(window.textSeparator()->text(), separator);

    const FileSnapshot before(window.dir.path());
    QVERIFY(window.pressRun());
    QStringList expected;
    if (asked) {
        expected += question(newFile);
    }
    if (!refusal.isEmpty()) {
        expected += refusal;
    }
    const QStringList shown = window.takeMessages();
    QVERIFY2(shown == expected, qPrintable(shown.join(QStringLiteral("\n---\n")).left(2000)));
    if (refusal.isEmpty()) {
        QCOMPARE(BadInputWindow::read(newFile), written);
        QCOMPARE(before.differences({newFile}), QStringList());
    } else {
        QCOMPARE(before.differences(), QStringList());
    }
    QCOMPARE(window.normalRunFails(), QString());
}

QTEST_MAIN(TestBadInputFiles)
#include "test_bad_input_files.moc"
