#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "core/command_files.h"
#include "core/error.h"

using namespace Qt::StringLiterals;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The file's bytes, read also when its mode forbids it to its owner; the mode is restored.
QByteArray bytesOf(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat s {};
    const bool unreadable = ::stat(name.constData(), &s) == 0 && !(s.st_mode & S_IRUSR);
    if (unreadable) {
        ::chmod(name.constData(), s.st_mode | S_IRUSR);
    }
    QFile file(path);
    const QByteArray bytes =
        file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<unreadable>");
    if (unreadable) {
        ::chmod(name.constData(), s.st_mode & 07777);
    }
    return bytes;
}

struct stat statOf(const QString& path) {
    struct stat s {};
    if (::lstat(QFile::encodeName(path).constData(), &s) != 0) {
        s.st_ino = 0;
    }
    return s;
}

void setMode(const QString& path, mode_t mode) {
    QVERIFY2(::chmod(QFile::encodeName(path).constData(), mode) == 0, std::strerror(errno));
}

// The account that the failure tests run as when this process has administrator rights,
// because those rights would let every write through.
struct Account {
    uid_t uid;
    gid_t gid;
};

std::optional<Account> unprivilegedAccount() {
    if (::geteuid() != 0) {
        return Account{::geteuid(), ::getegid()};
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        return std::nullopt;
    }
    return Account{nobody->pw_uid, nobody->pw_gid};
}

// Hands path to account; false where the system does not allow it (a container without
// other accounts), in which case the test is skipped.
bool giveTo(const QString& path, const Account& account) {
    return ::geteuid() != 0 ||
           ::lchown(QFile::encodeName(path).constData(), account.uid, account.gid) == 0;
}

constexpr char kNoAccountChange[] = "could not change the account";

// How writeNewFile ended in a child process: "ok", or the text of the error it threw.
struct Outcome {
    bool ok = false;
    QString error;
};

struct ChildLimits {
    std::optional<Account> account;  // drop to this account first
    rlim_t fileSize = RLIM_INFINITY;
};

// Runs writeNewFile in a forked child, so that lowered rights and a file-size limit never
// touch the test process itself.
Outcome writeInChild(const QString& path, const QString& line, const ChildLimits& limits) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        return {false, u"pipe failed"_s};
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return {false, u"fork failed"_s};
    }
    if (pid == 0) {
        ::close(pipeEnds[0]);
        QByteArray report;
        if (limits.account && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(limits.account->gid) != 0 ||
             ::setuid(limits.account->uid) != 0)) {
            report = kNoAccountChange;
        } else {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit size{limits.fileSize, limits.fileSize};
            ::setrlimit(RLIMIT_FSIZE, &size);
            try {
                corvane::writeNewFile(path, line);
                report = "ok";
            } catch (const corvane::FileError& error) {
                report = "E" + error.message().toUtf8();
            } catch (const std::exception& error) {
                report = QByteArray("unexpected error: ") + error.what();
            }
        }
        const char* data = report.constData();
        for (qsizetype left = report.size(); left > 0;) {
            const ssize_t written = ::write(pipeEnds[1], data, size_t(left));
            if (written <= 0) {
                break;
            }
            data += written;
            left -= written;
        }
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    QByteArray report;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, got);
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) {
        return {false, u"the child ended by signal %1"_s.arg(WTERMSIG(status))};
    }
    if (report == "ok") {
        return {true, {}};
    }
    if (report.startsWith('E')) {
        return {false, QString::fromUtf8(report.mid(1))};
    }
    return {false, u"no error report: "_s + QString::fromUtf8(report)};
}

enum class Target { ReadOnlyFile, Folder, MissingFolder, NameTooLong, FileAsFolder };

enum class Place { ReadOnlyFile, ReadOnlyFolder, ExistingFileInReadOnlyFolder, OtherUsersFile };

}  // namespace

Q_DECLARE_METATYPE(Target)
Q_DECLARE_METATYPE(Place)

class TestNewFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writesTheLineAndCarriageReturnLineFeed_data();
    void writesTheLineAndCarriageReturnLineFeed();
    void refusesWhatCannotBeWritten_data();
    void refusesWhatCannotBeWritten();
    void refusesWhatAnUnprivilegedUserMayNotWrite_data();
    void refusesWhatAnUnprivilegedUserMayNotWrite();
    void replacedFileKeepsItsPermissions_data();
    void replacedFileKeepsItsPermissions();
    void replacedFileKeepsItsOwner();
    void newFileGetsTheUsualMode();
    void failedWriteLeavesTheEarlierFile_data();
    void failedWriteLeavesTheEarlierFile();
    void symbolicLinkIsFollowedAndKept();
    void sameFileUnderAnotherSpelling_data();
    void sameFileUnderAnotherSpelling();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestNewFile::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestNewFile::cleanup() {
    // Read-only folders left by a test would keep the temporary folder from being removed.
    QDirIterator folders(dir_->path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
    while (folders.hasNext()) {
        ::chmod(QFile::encodeName(folders.next()).constData(), 0700);
    }
    dir_.reset();
}

void TestNewFile::writesTheLineAndCarriageReturnLineFeed_data() {
    QTest::addColumn<QByteArray>("earlier");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("a line ends with a carriage return and a line feed")
        << QByteArray() << u"A;D"_s << "A;D\r\n"_ba;
    QTest::newRow("an empty line is only a carriage return and a line feed")
        << QByteArray() << QString() << "\r\n"_ba;
    QTest::newRow("line feeds inside the line stay single")
        << QByteArray() << u"A\n;C\n"_s << "A\n;C\n\r\n"_ba;
    QTest::newRow("ISO 8859-1 characters are one byte each")
        << QByteArray() << u"\u00b5V;90\u00b0;\u00ff"_s << "\xb5V;90\xb0;\xff\r\n"_ba;
    QTest::newRow("a longer earlier file leaves nothing behind")
        << "OLD;OLD;OLD;OLD\r\nsecond\r\n"_ba << u"NEW"_s << "NEW\r\n"_ba;
    QTest::newRow("an earlier file is replaced also by an empty line")
        << "OLD\r\n"_ba << QString() << "\r\n"_ba;
}

void TestNewFile::writesTheLineAndCarriageReturnLineFeed() {
    QFETCH(QByteArray, earlier);
    QFETCH(QString, line);
    QFETCH(QByteArray, bytes);

    const QString path = dir_->filePath(u"New_ref.dat"_s);
    if (!earlier.isEmpty()) {
        writeBytes(path, earlier);
    }
    corvane::writeNewFile(path, line);

    QCOMPARE(bytesOf(path), bytes);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{u"New_ref.dat"_s});
}

void TestNewFile::refusesWhatCannotBeWritten_data() {
    QTest::addColumn<Target>("target");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("reason");

    // With administrator rights the platform would replace these files; they are refused anyway.
    QTest::newRow("a read-only New file is refused")
        << Target::ReadOnlyFile << 0444 << u"read-only"_s;
    QTest::newRow("a New file only its owner may read is refused")
        << Target::ReadOnlyFile << 0400 << u"read-only"_s;
    QTest::newRow("a New file without any permission is refused")
        << Target::ReadOnlyFile << 0 << u"read-only"_s;
    QTest::newRow("a folder in the New file's place is refused")
        << Target::Folder << 0 << u"folder"_s;
    QTest::newRow("a New file in a missing folder is refused")
        << Target::MissingFolder << 0 << QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("a New file name that is too long is refused")
        << Target::NameTooLong << 0 << QString::fromLocal8Bit(std::strerror(ENAMETOOLONG));
    QTest::newRow("a New file below a file instead of a folder is refused")
        << Target::FileAsFolder << 0 << QString::fromLocal8Bit(std::strerror(ENOTDIR));
}

void TestNewFile::refusesWhatCannotBeWritten() {
    QFETCH(Target, target);
    QFETCH(int, mode);
    QFETCH(QString, reason);

    QString path = dir_->filePath(u"New_ref.dat"_s);
    const QByteArray earlier = "EARLIER;LINE\r\n"_ba;
    switch (target) {
        case Target::ReadOnlyFile:
            writeBytes(path, earlier);
            setMode(path, mode_t(mode));
            break;
        case Target::Folder:
            QVERIFY(QDir().mkdir(path));
            break;
        case Target::MissingFolder:
            path = dir_->filePath(u"missing/New_ref.dat"_s);
            break;
        case Target::NameTooLong:
            path = dir_->filePath(QString(300, u'n') + u".dat"_s);
            break;
        case Target::FileAsFolder:
            writeBytes(dir_->filePath(u"plain"_s), earlier);
            path = dir_->filePath(u"plain/New_ref.dat"_s);
            break;
    }
    const auto before = statOf(path);

    try {
        corvane::writeNewFile(path, u"NEW"_s);
        QFAIL("the New file was written");
    } catch (const corvane::FileError& error) {
        const QString message = error.message();
        QVERIFY2(
            message.contains(u"New file"_s) && message.contains(path) && message.contains(reason),
            qPrintable(message));
    }
    const auto after = statOf(path);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    if (target == Target::ReadOnlyFile) {
        QCOMPARE(bytesOf(path), earlier);
    }
}

void TestNewFile::refusesWhatAnUnprivilegedUserMayNotWrite_data() {
    QTest::addColumn<Place>("place");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a read-only New file is refused") << Place::ReadOnlyFile << u"read-only"_s;
    QTest::newRow("a New file in a read-only folder is refused")
        << Place::ReadOnlyFolder << QString::fromLocal8Bit(std::strerror(EACCES));
    QTest::newRow("an existing New file in a read-only folder is refused and kept")
        << Place::ExistingFileInReadOnlyFolder << QString::fromLocal8Bit(std::strerror(EACCES));
    QTest::newRow("another user's New file in the user's own folder is refused and kept")
        << Place::OtherUsersFile << QString::fromLocal8Bit(std::strerror(EACCES));
}

void TestNewFile::refusesWhatAnUnprivilegedUserMayNotWrite() {
    QFETCH(Place, place);
    QFETCH(QString, reason);

    const auto account = unprivilegedAccount();
    if (!account) {
        QSKIP("no unprivileged account to run as");
    }
    if (place == Place::OtherUsersFile && ::geteuid() != 0) {
        QSKIP("only an administrator can give the file to another user");
    }
    const QString folder = dir_->filePath(u"setups"_s);
    QVERIFY(QDir().mkdir(folder));
    if (!giveTo(dir_->path(), *account) || !giveTo(folder, *account)) {
        QSKIP("files cannot be given to an unprivileged account here");
    }
    const QString path = folder + u"/New_ref.dat"_s;
    const QByteArray earlier = "EARLIER;LINE\r\n"_ba;
    if (place != Place::ReadOnlyFolder) {
        writeBytes(path, earlier);
        if (place != Place::OtherUsersFile) {
            QVERIFY(giveTo(path, *account));
        }
        setMode(path, place == Place::ReadOnlyFile ? 0444 : 0644);
    }
    if (place == Place::ReadOnlyFolder || place == Place::ExistingFileInReadOnlyFolder) {
        setMode(folder, 0555);
    }
    const auto before = statOf(path);

    const Outcome outcome = writeInChild(path, u"NEW"_s, {account, RLIM_INFINITY});
    if (outcome.error.endsWith(QLatin1String(kNoAccountChange))) {
        QSKIP("this process cannot act as an unprivileged account");
    }

    QVERIFY2(!outcome.ok, "the New file was written");
    QVERIFY2(outcome.error.contains(u"New file"_s) && outcome.error.contains(path) &&
                 outcome.error.contains(reason),
             qPrintable(outcome.error));
    const auto after = statOf(path);
    QCOMPARE(after.st_ino, before.st_ino);
    if (place != Place::ReadOnlyFolder) {
        QCOMPARE(bytesOf(path), earlier);
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(),
             place == Place::ReadOnlyFolder ? 0 : 1);
}

void TestNewFile::replacedFileKeepsItsPermissions_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("unprivileged");

    const std::pair<const char*, int> modes[] = {
        {"private", 0600},
        {"readable by the group", 0640},
        {"writable by the group", 0664},
        {"writable by the group only", 0464},
        {"readable by everyone and executable", 0755},
        {"writable by the owner only", 0200},
    };
    for (const auto& [name, mode] : modes) {
        QTest::addRow("a file %s keeps its mode", name) << mode << false;
    }
    for (const auto& [name, mode] : modes) {
        if (mode & 0200) {
            QTest::addRow("a file %s keeps its mode for an unprivileged user", name)
                << mode << true;
        }
    }
}

void TestNewFile::replacedFileKeepsItsPermissions() {
    QFETCH(int, mode);
    QFETCH(bool, unprivileged);

    const QString path = dir_->filePath(u"New_ref.dat"_s);
    writeBytes(path, "EARLIER\r\n"_ba);
    setMode(path, mode_t(mode));

    if (unprivileged) {
        const auto account = unprivilegedAccount();
        if (!account) {
            QSKIP("no unprivileged account to run as");
        }
        if (!giveTo(dir_->path(), *account) || !giveTo(path, *account)) {
            QSKIP("files cannot be given to an unprivileged account here");
        }
        const Outcome outcome = writeInChild(path, u"NEW"_s, {account, RLIM_INFINITY});
        if (outcome.error.endsWith(QLatin1String(kNoAccountChange))) {
            QSKIP("this process cannot act as an unprivileged account");
        }
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
    } else {
        if (::geteuid() != 0 && !(mode & 0200)) {
            QSKIP("only an administrator can write a file its owner may not write");
        }
        corvane::writeNewFile(path, u"NEW"_s);
    }

    QCOMPARE(bytesOf(path), "NEW\r\n"_ba);
    QCOMPARE(statOf(path).st_mode & 07777, mode_t(mode));
}

void TestNewFile::replacedFileKeepsItsOwner() {
    if (::geteuid() != 0) {
        QSKIP("only an administrator replaces files of other users");
    }
    const auto account = unprivilegedAccount();
    if (!account) {
        QSKIP("no other account to own the file");
    }
    const QString path = dir_->filePath(u"New_ref.dat"_s);
    writeBytes(path, "EARLIER\r\n"_ba);
    setMode(path, 0640);
    if (!giveTo(path, *account)) {
        QSKIP("files cannot be given to another account here");
    }

    corvane::writeNewFile(path, u"NEW"_s);

    const auto after = statOf(path);
    QCOMPARE(bytesOf(path), "NEW\r\n"_ba);
    QCOMPARE(after.st_uid, account->uid);
    QCOMPARE(after.st_gid, account->gid);
    QCOMPARE(after.st_mode & 07777, mode_t(0640));
}

void TestNewFile::newFileGetsTheUsualMode() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    const QString path = dir_->filePath(u"New_ref.dat"_s);

    corvane::writeNewFile(path, u"NEW"_s);

    QCOMPARE(statOf(path).st_mode & 07777, mode_t(0666 & ~mask));
}

void TestNewFile::failedWriteLeavesTheEarlierFile_data() {
    QTest::addColumn<bool>("earlierFile");
    QTest::addColumn<int>("lineLength");

    QTest::newRow("a line that fits the write buffer keeps the earlier file") << true << 10000;
    QTest::newRow("a line larger than the write buffer keeps the earlier file") << true << 30000;
    QTest::newRow("a failed first write leaves no file behind") << false << 10000;
}

void TestNewFile::failedWriteLeavesTheEarlierFile() {
    QFETCH(bool, earlierFile);
    QFETCH(int, lineLength);

    const QString path = dir_->filePath(u"New_ref.dat"_s);
    const QByteArray earlier = QByteArray(1000, 'E') + "\r\n"_ba;
    if (earlierFile) {
        writeBytes(path, earlier);
    }

    // The file-size limit makes the disk refuse the write part way through.
    const Outcome outcome =
        writeInChild(path, QString(lineLength, u'N'), {std::nullopt, rlim_t(4096)});

    QVERIFY2(!outcome.ok, "the write was reported as done");
    QVERIFY2(outcome.error.contains(u"New file"_s) && outcome.error.contains(path) &&
                 outcome.error.contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
             qPrintable(outcome.error));
    if (earlierFile) {
        QCOMPARE(bytesOf(path), earlier);
    } else {
        QVERIFY(!QFileInfo::exists(path));
    }
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden).size(), earlierFile ? 1 : 0);
}

void TestNewFile::symbolicLinkIsFollowedAndKept() {
    QVERIFY(QDir().mkdir(dir_->filePath(u"store"_s)));
    const QString target = dir_->filePath(u"store/New_ref.dat"_s);
    const QString link = dir_->filePath(u"New_ref.dat"_s);
    writeBytes(target, "EARLIER\r\n"_ba);
    setMode(target, 0640);
    QVERIFY(QFile::link(target, link));

    corvane::writeNewFile(link, u"NEW"_s);

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(bytesOf(target), "NEW\r\n"_ba);
    QCOMPARE(statOf(target).st_mode & 07777, mode_t(0640));
}

void TestNewFile::sameFileUnderAnotherSpelling_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");

    QTest::newRow("the same spelling is the same file") << u"ref.dat"_s << u"ref.dat"_s << true;
    QTest::newRow("a symbolic link is the same file as its target")
        << u"link.dat"_s << u"ref.dat"_s << true;
    QTest::newRow("a path through .. is the same file")
        << u"sub/../ref.dat"_s << u"ref.dat"_s << true;
    QTest::newRow("a doubled separator is the same file")
        << u"sub//x.dat"_s << u"sub/x.dat"_s << true;
    QTest::newRow("a hard link is the same file") << u"hard.dat"_s << u"ref.dat"_s << true;
    QTest::newRow("two files are different") << u"ref.dat"_s << u"init.dat"_s << false;
    QTest::newRow("names differing in letter case are different files here")
        << u"ref.dat"_s << u"REF.dat"_s << false;
    QTest::newRow("a missing file is never the same") << u"gone.dat"_s << u"gone.dat"_s << false;
    QTest::newRow("a missing file is not an existing one")
        << u"gone.dat"_s << u"ref.dat"_s << false;
    QTest::newRow("an empty path is no file") << QString() << QString() << false;
}

void TestNewFile::sameFileUnderAnotherSpelling() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);

    QVERIFY(QDir().mkdir(dir_->filePath(u"sub"_s)));
    for (const auto& name : {u"ref.dat"_s, u"REF.dat"_s, u"init.dat"_s, u"sub/x.dat"_s}) {
        writeBytes(dir_->filePath(name), name.toUtf8());
    }
    QVERIFY(QFile::link(dir_->filePath(u"ref.dat"_s), dir_->filePath(u"link.dat"_s)));
    QVERIFY(::link(QFile::encodeName(dir_->filePath(u"ref.dat"_s)).constData(),
                   QFile::encodeName(dir_->filePath(u"hard.dat"_s)).constData()) == 0);
    const auto full = [this](const QString& name) {
        return name.isEmpty() ? name : dir_->path() + u"/"_s + name;
    };

    QCOMPARE(corvane::isSameFile(full(a), full(b)), same);
    QCOMPARE(corvane::isSameFile(full(b), full(a)), same);
}

QTEST_GUILESS_MAIN(TestNewFile)
#include "test_new_file.moc"
