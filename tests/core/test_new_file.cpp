#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "core/command_files.h"
#include "core/error.h"

using namespace Qt::StringLiterals;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>"_ba;
}

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Administrator rights let every write through, so the unprivileged cases run as nobody.
const passwd* const kOther = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;

void giveToOther(const QString& path) {
    if (kOther != nullptr) {
        ::lchown(QFile::encodeName(path).constData(), kOther->pw_uid, kOther->pw_gid);
    }
}

enum class Target { ReadOnly, Writable, Absent, Folder, MissingFolder };
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

    void writesTheLineAndCrLfKeepingModeAndOwner_data() {
        QTest::addColumn<int>("mode");  // of the earlier file; -1 for none
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("a new file holds the line and CR LF with the usual mode")
            << -1 << u"A;D"_s << "A;D\r\n"_ba;
        QTest::newRow("an empty line replaces a longer private file with CR LF alone")
            << 0600 << QString() << "\r\n"_ba;
        QTest::newRow("an executable file keeps its mode and line feeds stay single")
            << 0755 << u"A\n;C\n"_s << "A\n;C\n\r\n"_ba;
    }

    void writesTheLineAndCrLfKeepingModeAndOwner() {
        QFETCH(int, mode);
        QFETCH(QString, line);
        QFETCH(QByteArray, bytes);

        const QString file = dir_->filePath(u"New_ref.dat"_s);
        // A file created the ordinary way shows the usual mode.
        writeBytes(file, "OLD;OLD;OLD\r\nsecond line\r\n"_ba);
        if (mode >= 0) {
            ::chmod(QFile::encodeName(file).constData(), mode_t(mode));
            giveToOther(file);
        }
        const auto permissions = QFile::permissions(file);
        const uint owner = QFileInfo(file).ownerId();
        if (mode < 0) {
            QVERIFY(QFile::remove(file));
        }

        corvane::writeNewFile(file, line);

        QCOMPARE(bytesOf(file), bytes);
        QCOMPARE(QFile::permissions(file), permissions);
        QCOMPARE(QFileInfo(file).ownerId(), owner);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
    }

    void refusesAndKeepsTheEarlierFile_data() {
        QTest::addColumn<Target>("target");
        QTest::addColumn<bool>("lockedFolder");
        QTest::addColumn<Runner>("runner");
        QTest::addColumn<QString>("reason");

        QTest::newRow("a read-only New file is refused, also with administrator rights")
            << Target::ReadOnly << false << Runner::AsIs << u"read-only"_s;
        QTest::newRow("a read-only New file is refused to an unprivileged user")
            << Target::ReadOnly << false << Runner::Unprivileged << u"read-only"_s;
        QTest::newRow("a New file in a read-only folder is refused to an unprivileged user")
            << Target::Absent << true << Runner::Unprivileged << reason(EACCES);
        QTest::newRow("a writable New file in a read-only folder is refused and kept")
            << Target::Writable << true << Runner::Unprivileged << reason(EACCES);
        QTest::newRow("a folder in the New file's place is refused")
            << Target::Folder << false << Runner::AsIs << u"folder"_s;
        QTest::newRow("a New file in a missing folder is refused")
            << Target::MissingFolder << false << Runner::AsIs << reason(ENOENT);
        QTest::newRow("a write cut short by the file-size limit keeps the earlier file")
            << Target::Writable << false << Runner::SizeLimited << reason(EFBIG);
        QTest::newRow("a first write cut short by the file-size limit leaves no file")
            << Target::Absent << false << Runner::SizeLimited << reason(EFBIG);
    }

    void refusesAndKeepsTheEarlierFile() {
        QFETCH(Target, target);
        QFETCH(bool, lockedFolder);
        QFETCH(Runner, runner);
        QFETCH(QString, reason);

        const QString folder = dir_->filePath(u"s"_s);
        const QString path =
            folder + (target == Target::MissingFolder ? u"/gone/New.dat"_s : u"/New.dat"_s);
        QVERIFY(QDir().mkpath(target == Target::Folder ? path : folder));
        if (target == Target::ReadOnly || target == Target::Writable) {
            writeBytes(path, "EARLIER;LINE\r\n"_ba);
        }
        const bool unprivileged = runner == Runner::Unprivileged;
        for (const QString& owned : {dir_->path(), folder, path}) {
            if (unprivileged) {
                giveToOther(owned);
            }
        }
        if (target == Target::ReadOnly) {
            ::chmod(QFile::encodeName(path).constData(), 0444);
        }
        ::chmod(QFile::encodeName(folder).constData(), lockedFolder ? 0555 : 0755);
        const QByteArray before = bytesOf(path);
        const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);

        // Lowered rights and the file-size limit are set in a child and never touch this process.
        const pid_t child = ::fork();
        if (child == 0) {
            rlimit size{};
            ::getrlimit(RLIMIT_FSIZE, &size);
            size.rlim_cur = runner == Runner::SizeLimited ? 4096 : size.rlim_cur;
            ::signal(SIGXFSZ, SIG_IGN);
            if (::setrlimit(RLIMIT_FSIZE, &size) != 0 ||
                (unprivileged && kOther != nullptr &&
                 (::setgid(kOther->pw_gid) != 0 || ::setuid(kOther->pw_uid) != 0))) {
                ::_exit(2);
            }
            try {
                corvane::writeNewFile(path, QString(10000, u'N'));
            } catch (const corvane::Error& error) {
                const QString message = error.message();
                qWarning("%s", qPrintable(message));
                ::_exit(message.contains(u"New file"_s) && message.contains(path) &&
                                message.contains(reason)
                            ? 0
                            : 1);
            }
            ::_exit(1);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
            QSKIP("this process cannot lower its rights or its file-size limit");
        }
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
                 "the New file was written, or its error above lacks the file or the reason");
        QCOMPARE(bytesOf(path), before);
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
        writeBytes(at + u"ref"_s, "R"_ba);
        writeBytes(at + u"s/x"_s, "R"_ba);
        QVERIFY(QFile::link(at + u"ref"_s, at + u"link"_s));
        QCOMPARE(::link(QFile::encodeName(at + u"ref"_s), QFile::encodeName(at + u"hard"_s)), 0);

        QCOMPARE(corvane::isSameFile(at + a, at + b), same);
        QCOMPARE(corvane::isSameFile(at + b, at + a), same);
    }
};

QTEST_GUILESS_MAIN(TestNewFile)
#include "test_new_file.moc"
