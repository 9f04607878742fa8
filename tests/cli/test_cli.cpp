#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCli : public QObject {
    Q_OBJECT

    static bool put(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray bytesOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>"_ba;
    }

private slots:
    void runsAsAScriptExpects_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("error");  // a part of the standard error; empty: none
        QTest::addColumn<QString>("file");   // a file to look at afterwards
        QTest::addColumn<QByteArray>("content");

        const QByteArray kept = "CURR 0.1;OUTP ON;\r\n"_ba;
        QTest::newRow("the New line goes to the standard output with CR LF")
            << QStringList{u"init.dat"_s, u"ref.dat"_s} << 0 << kept << QString() << QString()
            << QByteArray();
        QTest::newRow("the separator is matched as the bytes typed")
            << QStringList{u"-s"_s, u"é"_s, u"init8.dat"_s, u"ref8.dat"_s} << 0
            << "3\xC3\xA9\r\n"_ba << QString() << QString() << QByteArray();
        QTest::newRow("--list gives one kept command a line and --count the tally")
            << QStringList{u"--list"_s, u"--count"_s, u"init.dat"_s, u"ref.dat"_s} << 0
            << "CURR 0.1\nOUTP ON\n"_ba << u"2 of 4 commands kept\n"_s << QString() << QByteArray();
        QTest::newRow("a New file is written through -o, and not printed")
            << QStringList{u"-o"_s, u"out.dat"_s, u"init.dat"_s, u"ref.dat"_s} << 0 << QByteArray()
            << QString() << u"out.dat"_s << kept;
        QTest::newRow("an existing New file is refused without --force and kept")
            << QStringList{u"-o"_s, u"old.dat"_s, u"init.dat"_s, u"ref.dat"_s} << 3 << QByteArray()
            << u"\"old.dat\" already exists"_s << u"old.dat"_s << "OLD\r\n"_ba;
        QTest::newRow("a New file that is the Init file under another name is refused")
            << QStringList{u"-f"_s, u"-o"_s, u"sub/../init.dat"_s, u"init.dat"_s, u"ref.dat"_s} << 3
            << QByteArray() << u"could not be the same"_s << QString() << QByteArray();
        QTest::newRow("an empty separator is refused")
            << QStringList{u"-s"_s, QString(), u"init.dat"_s, u"ref.dat"_s} << 3 << QByteArray()
            << u"corvane-cli: Command Separator can't be empty !"_s << QString() << QByteArray();
        QTest::newRow("an input that cannot be read is named")
            << QStringList{u"init.dat"_s, u"gone.dat"_s} << 2 << QByteArray()
            << u"corvane-cli: Could not open the Reference file \"gone.dat\""_s << QString()
            << QByteArray();
        QTest::newRow("a New file that cannot be written keeps what it held")
            << QStringList{u"-f"_s, u"-o"_s, u"locked.dat"_s, u"init.dat"_s, u"ref.dat"_s} << 4
            << QByteArray() << u"read-only"_s << u"locked.dat"_s << "OLD\r\n"_ba;
        QTest::newRow("a refused Reference does not stop the next one from being written")
            << QStringList{u"--write"_s, u"init.dat"_s, u"old.dat"_s, u"ref.dat"_s} << 3
            << QByteArray() << u"\"New_old.dat\" already exists"_s << u"New_ref.dat"_s << kept;
        QTest::newRow("one file alone is a usage error")
            << QStringList{u"init.dat"_s} << 1 << QByteArray() << u"INIT"_s << QString()
            << QByteArray();
    }

    void runsAsAScriptExpects() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, output);
        QFETCH(QString, error);
        QFETCH(QString, file);
        QFETCH(QByteArray, content);

        QTemporaryDir dir;
        QVERIFY(dir.isValid() && QDir(dir.path()).mkdir(u"sub"_s));
        const auto at = [&](const QString& name) { return dir.filePath(name); };
        QVERIFY(put(at(u"init.dat"_s), "*RST;VOLT 5;\r\nCURR 0.1;"));
        QVERIFY(put(at(u"ref.dat"_s), "*RST;CURR 0.1;VOLT 5;OUTP ON;\r\nrest"));
        QVERIFY(put(at(u"init8.dat"_s),
                    "1\xC3\xA9"
                    "2\xC3\xA9"));
        QVERIFY(put(at(u"ref8.dat"_s),
                    "1\xC3\xA9"
                    "3\xC3\xA9"
                    "2\xC3\xA9"));
        for (const QString& name : {u"old.dat"_s, u"New_old.dat"_s, u"locked.dat"_s}) {
            QVERIFY(put(at(name), "OLD\r\n"));
        }
        QVERIFY(QFile::setPermissions(at(u"locked.dat"_s), QFileDevice::ReadOwner));

        QProcess cli;
        cli.setWorkingDirectory(dir.path());
        cli.start(QStringLiteral(CORVANE_CLI), arguments);
        QVERIFY(cli.waitForFinished());
        const QString errors = QString::fromLocal8Bit(cli.readAllStandardError());
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), status);
        QCOMPARE(cli.readAllStandardOutput(), output);
        QVERIFY2(error.isEmpty() ? errors.isEmpty() : errors.contains(error), qPrintable(errors));
        if (!file.isEmpty()) {
            QCOMPARE(bytesOf(at(file)), content);
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
