#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void runsAsAScriptExpects_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("error");  // a part of the standard error; empty: none
        QTest::addColumn<QString>("file");   // a file to look at afterwards, and its bytes
        QTest::addColumn<QByteArray>("content");
        const auto row = [](const char* name, const QStringList& arguments, int status,
                            const QByteArray& output, const QString& error = {},
                            const QString& file = {}, const QByteArray& content = {}) {
            QTest::newRow(name) << arguments << status << output << error << file << content;
        };
        const QByteArray kept = "CURR 0.1;OUTP ON;\r\n"_ba;
        const QStringList inputs{u"init.dat"_s, u"ref.dat"_s};
        row("the New line goes to the standard output with CR LF", inputs, 0, kept);
        row("the separator is matched as the bytes typed",
            {u"-s"_s, u"é"_s, u"init8.dat"_s, u"ref8.dat"_s}, 0, "3é\r\n");
        row("--list gives one kept command a line and --count the tally",
            QStringList{u"--list"_s, u"--count"_s} + inputs, 0, "CURR 0.1\nOUTP ON\n",
            u"2 of 4 commands kept\n"_s);
        row("a New file is written through -o, and not printed",
            QStringList{u"-o"_s, u"out.dat"_s} + inputs, 0, {}, {}, u"out.dat"_s, kept);
        row("a New file that is the Init file under another name is refused",
            QStringList{u"-f"_s, u"-o"_s, u"sub/../init.dat"_s} + inputs, 3, {},
            u"could not be the same"_s);
        row("an empty separator is refused", QStringList{u"-s"_s, QString()} + inputs, 3, {},
            u"corvane-cli: Command Separator can't be empty !"_s);
        row("an input that cannot be read is named", {u"init.dat"_s, u"gone.dat"_s}, 2, {},
            u"corvane-cli: Could not open the Reference file \"gone.dat\""_s);
        row("a New file that cannot be written keeps what it held",
            QStringList{u"-f"_s, u"-o"_s, u"locked.dat"_s} + inputs, 4, {}, u"read-only"_s,
            u"locked.dat"_s, "OLD\r\n");
        // Without --force an existing New file is refused.
        row("a refused Reference does not stop the next one from being written",
            {u"--write"_s, u"init.dat"_s, u"old.dat"_s, u"ref.dat"_s}, 3, {},
            u"\"New_old.dat\" already exists"_s, u"New_ref.dat"_s, kept);
        row("one file alone is a usage error", {u"init.dat"_s}, 1, {}, u"INIT"_s);
    }
    void runsAsAScriptExpects() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, output);
        QFETCH(QString, error);
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"sub"_s));
        const std::pair<QString, QByteArray> files[] = {
            {u"init.dat"_s, "*RST;VOLT 5;\r\nCURR 0.1;"},
            {u"ref.dat"_s, "*RST;CURR 0.1;VOLT 5;OUTP ON;\r\nrest"},
            {u"init8.dat"_s, "1é2é"},
            {u"ref8.dat"_s, "1é3é2é"},
            {u"old.dat"_s, "OLD\r\n"},
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
        QVERIFY(cli.waitForFinished());
        const QString errors = QString::fromLocal8Bit(cli.readAllStandardError());
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), status);
        QCOMPARE(cli.readAllStandardOutput(), output);
        QVERIFY2(error.isEmpty() ? errors.isEmpty() : errors.contains(error), qPrintable(errors));
        QFile written(dir.filePath(file));
        QVERIFY(file.isEmpty() ||
                (written.open(QIODevice::ReadOnly) && written.readAll() == content));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
