// corvane-cli through its real process: its output, its files and its exit status.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void runsAsAScriptExpects_data() {
        // The arguments apart by blanks; the exit status, the standard output, a part of the
        // standard error, then a file to look at afterwards and its bytes, apart by "|".
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("outcome");
        const auto row = [](const char* name, const char* arguments, const char* outcome) {
            QTest::newRow(name) << QString::fromUtf8(arguments).split(u' ')
                                << QString::fromUtf8(outcome).split(u'|');
        };
        row("the New line goes to the standard output with CR LF, and --count the tally",
            "--count init.dat ref.dat", "0|CURR 0.1;OUTP ON;\r\n|2 of 4 commands kept\n");
        row("the separator is matched as the bytes typed, and --list gives a command a line",
            "--list -s é init8.dat ref8.dat", "0|3\n|");
        row("a New file is written through -o, and not printed", "-o out.dat init.dat ref.dat",
            "0|||out.dat|CURR 0.1;OUTP ON;\r\n");
        row("a New file that is the Init file under another name is refused",
            "-f -o ./init.dat init.dat ref.dat", "3||could not be the same");
        // Read, it would never end.
        row("a device is refused, not read", "/dev/zero ref.dat",
            "2||\"/dev/zero\": it is a device, not a regular file.");
        row("a New file that cannot be written keeps what it held",
            "-f -o locked.dat init.dat ref.dat", "4||read-only|locked.dat|OLD\r\n");
        // Without --force an existing New file is refused.
        row("a refused Reference does not stop the next one from being written",
            "--write init.dat old.dat ref.dat",
            "3||\"New_old.dat\" already exists|New_ref.dat|CURR 0.1;OUTP ON;\r\n");
    }
    void runsAsAScriptExpects() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, outcome);
        QTemporaryDir dir;
        const std::pair<QString, QByteArray> files[] = {
            {u"init.dat"_s, "*RST;VOLT 5;\r\nCURR 0.1;"},
            {u"ref.dat"_s, "*RST;CURR 0.1;VOLT 5;OUTP ON;\r\nrest"},
            {u"init8.dat"_s, "1é2é"},
            {u"ref8.dat"_s, "1é3é2é"},
            {u"New_old.dat"_s, "OLD\r\n"},
            {u"locked.dat"_s, "OLD\r\n"}};
        for (const auto& [name, bytes] : files) {
            QFile put(dir.filePath(name));
            QVERIFY(put.open(QIODevice::WriteOnly) && put.write(bytes) == bytes.size());
        }
        QVERIFY(QFile::setPermissions(dir.filePath(u"locked.dat"_s), QFileDevice::ReadOwner));
        QProcess cli;
        cli.setWorkingDirectory(dir.path());
        cli.start(QStringLiteral(CORVANE_CLI), arguments);
        QVERIFY(cli.waitForFinished() && cli.exitStatus() == QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), outcome[0].toInt());
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), outcome[1]);
        const QString errors = QString::fromLocal8Bit(cli.readAllStandardError());
        QVERIFY2(outcome[2].isEmpty() ? errors.isEmpty() : errors.contains(outcome[2]),
                 qPrintable(errors));
        QFile file(dir.filePath(outcome.value(3)));
        QVERIFY(outcome.size() < 4 ||
                (file.open(QIODevice::ReadOnly) && file.readAll() == outcome[4].toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
