#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "core/command_files.h"
#include "core/error.h"

using namespace Qt::StringLiterals;

namespace {

// The bytes of a regular file; of any other entry its kind and identity, never opened.
QByteArray bytesOf(const QString& path) {
    struct stat entry {};
    if (::lstat(QFile::encodeName(path).constData(), &entry) == 0 && !S_ISREG(entry.st_mode)) {
        return QByteArray::number(entry.st_mode) + ' ' + QByteArray::number(entry.st_ino);
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>"_ba;
}

enum class Target {
    Writable,
    ReadOnly,
    InReadOnlyFolder,
    LongName,
    Folder,
    MissingFolder,
    Fifo,
    Socket,
    Device,
    LinkToDevice,
    DanglingLink
};
enum class Runner { AsIs, Unprivileged, SizeLimited };

}  // namespace

Q_DECLARE_METATYPE(Target)
Q_DECLARE_METATYPE(Runner)

class TestNewFile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }
    void cleanup() { ::chmod(QFile::encodeName(dir_->filePath(u"s"_s)).constData(), 0700); }

    void replacesOrRefusesAndKeepsTheEarlierFile_data() {
        QTest::addColumn<Target>("target");
        QTest::addColumn<Runner>("runner");
        QTest::addColumn<QString>("reason");  // empty where the write goes through

        QTest::newRow("a New file is replaced by the line and CR LF, keeping mode and owner")
            << Target::Writable << Runner::AsIs << QString();
        QTest::newRow("a read-only New file is refused, also with administrator rights")
            << Target::ReadOnly << Runner::AsIs << u"read-only"_s;
        QTest::newRow("a read-only New file is refused to an unprivileged user")
            << Target::ReadOnly << Runner::Unprivileged << u"read-only"_s;
        QTest::newRow("a writable New file in a folder that takes no new file is rewritten")
            << Target::InReadOnlyFolder << Runner::Unprivileged << QString();
        QTest::newRow("a New file with a name of 250 bytes is replaced")
            << Target::LongName << Runner::AsIs << QString();
        QTest::newRow("a folder in the New file's place is refused")
            << Target::Folder << Runner::AsIs << u"folder"_s;
        QTest::newRow("a New file in a missing folder is refused")
            << Target::MissingFolder << Runner::AsIs << qt_error_string(ENOENT);
        QTest::newRow("a write cut short by the file-size limit keeps the earlier file")
            << Target::Writable << Runner::SizeLimited << qt_error_string(EFBIG);
        QTest::newRow("a named pipe is refused and stays")
            << Target::Fifo << Runner::AsIs << u"it is a named pipe, not a regular file"_s;
        QTest::newRow("a socket is refused and stays")
            << Target::Socket << Runner::AsIs << u"it is a socket, not a regular file"_s;
        QTest::newRow("a device node is refused and stays, also for administrators")
            << Target::Device << Runner::AsIs << u"it is a device, not a regular file"_s;
        // Run without administrator rights, so that a fault can never replace the real device.
        QTest::newRow("a link to a device is refused and both stay")
            << Target::LinkToDevice << Runner::Unprivileged
            << u"it is a device, not a regular file"_s;
        QTest::newRow("a link that leads nowhere is refused and stays")
            << Target::DanglingLink << Runner::AsIs
            << u"it is a link to a file that does not exist"_s;
    }

    void replacesOrRefusesAndKeepsTheEarlierFile() {
        QFETCH(Target, target);
        QFETCH(Runner, runner);
        QFETCH(QString, reason);

        const QString folder = dir_->filePath(u"s"_s);
        const QString path =
            folder + (target == Target::MissingFolder ? u"/gone/New.dat"_s
                      : target == Target::LongName    ? u'/' + QString(246, u'n') + u".dat"_s
                                                      : u"/New.dat"_s);
        QVERIFY(QDir().mkpath(target == Target::Folder ? path : folder));
        const QByteArray at = QFile::encodeName(path);
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, at.constData(), sizeof address.sun_path);
        const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool made =
            target == Target::Fifo ? ::mkfifo(at.constData(), 0666) == 0
            : target == Target::Socket
                ? ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            : target == Target::Device ? ::mknod(at.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0
            : target == Target::LinkToDevice ? QFile::link(u"/dev/null"_s, path)
            : target == Target::DanglingLink ? QFile::link(folder + u"/nowhere.dat"_s, path)
                                             : true;
        ::close(socket);
        if (!made && target == Target::Device) {
            QSKIP("only administrators can make a device node");
        }
        QVERIFY(made);
        if (target < Target::Folder) {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("EARLIER;LINE\r\n") > 0);
        }
        // Administrator rights let every write through, so the unprivileged cases run as nobody;
        // its files also show that a replacement keeps the owner.
        const passwd* other = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
        const auto giveToOther = [other](const QString& owned) {
            return other == nullptr || !QFileInfo::exists(owned) ||
                   ::lchown(QFile::encodeName(owned).constData(), other->pw_uid, other->pw_gid) ==
                       0;
        };
        QVERIFY(giveToOther(dir_->path()) && giveToOther(folder) && giveToOther(path));
        if (target < Target::Folder) {
            ::chmod(at.constData(), target == Target::ReadOnly ? 0444 : 0750);
        }
        ::chmod(QFile::encodeName(folder).constData(),
                target == Target::InReadOnlyFolder ? 0555 : 0755);
        const QByteArray before = bytesOf(path);
        const auto permissions = QFile::permissions(path);
        const uint owner = QFileInfo(path).ownerId();
        const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);

        // Lowered rights and the file-size limit are set in a child and never touch this process.
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit size{4096, RLIM_INFINITY};
            ::signal(SIGXFSZ, SIG_IGN);
            if ((runner == Runner::SizeLimited && ::setrlimit(RLIMIT_FSIZE, &size) != 0) ||
                (runner == Runner::Unprivileged && other != nullptr &&
                 (::setgid(other->pw_gid) != 0 || ::setuid(other->pw_uid) != 0))) {
                ::_exit(2);
            }
            try {
                corvane::writeNewFile(path, u"A\n;\u00b5"_s + QString(10000, u'N'));
            } catch (const corvane::Error& error) {
                const QString message = error.message();
                const bool named = !reason.isEmpty() && message.contains(u"New file"_s) &&
                                   message.contains(path) && message.contains(reason);
                if (!named) {
                    qWarning("%s", qPrintable(message));
                }
                ::_exit(named ? 0 : 1);
            }
            ::_exit(reason.isEmpty() ? 0 : 1);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
            QSKIP("this process cannot lower its rights or its file-size limit");
        }
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
                 "the write went otherwise than expected; an error it gave is above");
        QCOMPARE(bytesOf(path),
                 reason.isEmpty() ? "A\n;\xb5"_ba + QByteArray(10000, 'N') + "\r\n"_ba : before);
        QCOMPARE(QFile::permissions(path), permissions);
        QCOMPARE(QFileInfo(path).ownerId(), owner);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), entries);
    }

    void sameFileUnderAnotherSpelling_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");

        QTest::newRow("a symbolic link is its target") << u"link"_s << u"ref"_s << true;
        QTest::newRow("a hard link is the same file") << u"hard"_s << u"ref"_s << true;
        QTest::newRow("a path through .. is the same file") << u"s/../ref"_s << u"ref"_s << true;
        QTest::newRow("a doubled separator is the same file") << u"s//x"_s << u"s/x"_s << true;
        QTest::newRow("two files are different") << u"ref"_s << u"s/x"_s << false;
        QTest::newRow("a missing file is never the same") << u"gone"_s << u"gone"_s << false;
    }

    void sameFileUnderAnotherSpelling() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);

        const QString at = dir_->path() + u'/';
        QVERIFY(QDir().mkdir(at + u"s"_s));
        QVERIFY(QFile(at + u"ref"_s).open(QIODevice::WriteOnly));
        QVERIFY(QFile(at + u"s/x"_s).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(at + u"ref"_s, at + u"link"_s));
        QCOMPARE(::link(QFile::encodeName(at + u"ref"_s), QFile::encodeName(at + u"hard"_s)), 0);

        QCOMPARE(corvane::isSameFile(at + a, at + b), same);
        QCOMPARE(corvane::isSameFile(at + b, at + a), same);
    }
};

QTEST_GUILESS_MAIN(TestNewFile)
#include "test_new_file.moc"
