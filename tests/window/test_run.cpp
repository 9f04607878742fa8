// Run from the window: refusals, the overwrite question, path completion, the written file,
// the editor and the error report, all through the scripted platform.
#include <QDir>
#include <QFile>
#include <QTest>

#include "window_harness.h"

using corvane::MessageAnswer;
using corvane::MessageButtons;
using corvane::MessageIcon;
using corvane::test::FakePlatform;
using corvane::test::WindowHarness;

namespace {

const QByteArray kInit = QByteArrayLiteral("A;B\r\nnot compared\r\n");
const QByteArray kReference = QByteArrayLiteral("A;C;\xb5V;B\r\nnot copied\r\n");
const QByteArray kNewLine = QByteArrayLiteral("C;\xb5V;\r\n");

// A shown window with the Init and Reference files written and chosen, separator ";".
struct Prepared : WindowHarness {
    QString init;
    QString reference;
    bool shown = false;

    Prepared() {
        init = writeFile(QStringLiteral("init.dat"), kInit);
        reference = writeFile(QStringLiteral("ref.dat"), kReference);
        shown = show();
        label(0)->setCaption(init);
        label(1)->setCaption(reference);
        textSeparator()->setText(QStringLiteral(";"));
        openFile()->setValue(0);
    }

    void runWith(const QString& newFile) {
        textFile()->setText(newFile);
        form->Command_Run_Click();
    }
};

}  // namespace

class TestRun : public QObject {
    Q_OBJECT

private slots:
    void writesTheKeptCommands();
    void refuses_data();
    void refuses();
    void completesTheNewFilePath_data();
    void completesTheNewFilePath();
    void asksBeforeReplacing_data();
    void asksBeforeReplacing();
    void startsTheEditorUnlessUnticked_data();
    void startsTheEditorUnlessUnticked();
    void reportsFailures_data();
    void reportsFailures();
    void reportsAFailedWriteWithoutLosingTheEarlierFile();
    void goesOnAfterTheErrorReport();
};

void TestRun::writesTheKeptCommands() {
    Prepared window;
    QVERIFY(window.shown);
    const QString newFile = window.path(QStringLiteral("New_ref.dat"));
    window.runWith(newFile);
    QVERIFY(window.platform.messages.isEmpty());
    QCOMPARE(window.readFile(newFile), kNewLine);
    QCOMPARE(window.form->variables().newDir, window.dir.path());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestRun::refuses_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("initName");
    QTest::addColumn<QString>("referenceName");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("focus");

    const QString empty = QStringLiteral("Command Separator can't be empty !");
    const QString sameInputs = QStringLiteral("Init file and Ref File could not be the same !");
    const QString sameNew = QStringLiteral("New file could not be the same as any of the other !");
    const QString error = QStringLiteral("Error");
    const QString fileError = QStringLiteral("File Error");
    const QString separatorBox = QStringLiteral("Text_Separator");
    QTest::newRow("an empty separator is refused and the box gets the focus")
        << QString() << "init.dat"
        << "ref.dat"
        << "out.dat" << empty << error << separatorBox;
    QTest::newRow("one file chosen twice is refused")
        << ";"
        << "ref.dat"
        << "ref.dat"
        << "out.dat" << sameInputs << fileError << QString();
    QTest::newRow("the Init file as the New file is refused")
        << ";"
        << "init.dat"
        << "ref.dat"
        << "init.dat" << sameNew << fileError << QString();
    QTest::newRow("the Reference file as the New file is refused")
        << ";"
        << "init.dat"
        << "ref.dat"
        << "ref.dat" << sameNew << fileError << QString();
    QTest::newRow("the Reference file spelt with a doubled separator is refused")
        << ";"
        << "init.dat"
        << "ref.dat"
        << "/ref.dat" << sameNew << fileError << QString();
    QTest::newRow("the Init file reached through .. is refused")
        << ";"
        << "init.dat"
        << "ref.dat"
        << "sub/../init.dat" << sameNew << fileError << QString();
    QTest::newRow("a link to the Reference file is refused")
        << ";"
        << "init.dat"
        << "ref.dat"
        << "link.dat" << sameNew << fileError << QString();
}

void TestRun::refuses() {
    QFETCH(QString, separator);
    QFETCH(QString, initName);
    QFETCH(QString, referenceName);
    QFETCH(QString, newName);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(QString, focus);

    Prepared window;
    QVERIFY(window.shown);
    QVERIFY(QDir(window.dir.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::link(window.reference, window.path(QStringLiteral("link.dat"))));
    window.textSeparator()->setText(separator);
    window.label(0)->setCaption(window.path(initName));
    window.label(1)->setCaption(window.path(referenceName));
    // Joined by hand, so that doubled separators and ".." stay as spelt.
    window.runWith(window.dir.path() + QLatin1Char('/') + newName);

    QCOMPARE(window.platform.messages.size(), 1);
    const FakePlatform::Message& shown = window.platform.messages.constFirst();
    QCOMPARE(shown.text, text);
    QCOMPARE(shown.title, title);
    QCOMPARE(shown.icon, MessageIcon::Critical);
    QCOMPARE(shown.buttons, MessageButtons::Ok);
    if (!focus.isEmpty()) {
        QCOMPARE(WindowHarness::focused(), focus);
    }
    QCOMPARE(window.readFile(window.init), kInit);
    QCOMPARE(window.readFile(window.reference), kReference);
    QVERIFY(window.form->variables().newDir.isEmpty());
}

void TestRun::completesTheNewFilePath_data() {
    QTest::addColumn<QString>("currentDir");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("completed");

    // A refusal after the completion keeps the completed text and writes nothing.
    QTest::newRow("a bare name goes into the current directory") << "/work"
                                                                 << "new.dat"
                                                                 << "/work/new.dat";
    QTest::newRow("a name in the root gets one separator") << "/"
                                                           << "new.dat"
                                                           << "/new.dat";
    QTest::newRow("a name without .dat gets it appended") << "/work"
                                                          << "new"
                                                          << "/work/new.dat";
    QTest::newRow("a path with a folder keeps its doubled separators") << "/work"
                                                                       << "/a//b.dat"
                                                                       << "/a//b.dat";
    QTest::newRow("a path with a folder only gets .dat") << "/work"
                                                         << "/a/b"
                                                         << "/a/b.dat";
}

void TestRun::completesTheNewFilePath() {
    QFETCH(QString, currentDir);
    QFETCH(QString, typed);
    QFETCH(QString, completed);

    Prepared window;
    QVERIFY(window.shown);
    window.platform.currentDir = currentDir;
    window.label(0)->setCaption(window.reference);
    window.runWith(typed);
    QCOMPARE(window.textFile()->text(), completed);
    QCOMPARE(window.platform.messages.size(), 1);
    QVERIFY(!QFile::exists(completed));
}

void TestRun::asksBeforeReplacing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<MessageAnswer>("answer");
    QTest::newRow("answering No keeps the file and the remembered folder")
        << "old.dat" << MessageAnswer::No;
    QTest::newRow("answering Yes replaces the file") << "old.dat" << MessageAnswer::Yes;
}

void TestRun::asksBeforeReplacing() {
    QFETCH(QString, name);
    QFETCH(MessageAnswer, answer);

    Prepared window;
    QVERIFY(window.shown);
    const QByteArray earlier = QByteArrayLiteral("earlier\r\n");
    const QString newFile = window.writeFile(name, earlier);
    window.platform.messageAnswers.push_back(answer);
    window.runWith(newFile);

    QCOMPARE(window.platform.messages.size(), 1);
    const FakePlatform::Message& question = window.platform.messages.constFirst();
    QCOMPARE(question.text,
             newFile + QStringLiteral(" already exists !\n\nDo want to overwrite it ?"));
    QCOMPARE(question.title, QStringLiteral("File Error"));
    QCOMPARE(question.icon, MessageIcon::Question);
    QCOMPARE(question.buttons, MessageButtons::YesNo);
    if (answer == MessageAnswer::No) {
        QCOMPARE(window.readFile(newFile), earlier);
        QVERIFY(window.form->variables().newDir.isEmpty());
    } else {
        QCOMPARE(window.readFile(newFile), kNewLine);
        QCOMPARE(window.form->variables().newDir, window.dir.path());
    }
}

void TestRun::startsTheEditorUnlessUnticked_data() {
    QTest::addColumn<int>("check");
    QTest::addColumn<bool>("started");
    QTest::newRow("unticked starts nothing") << 0 << false;
    QTest::newRow("ticked starts the editor") << 1 << true;
    QTest::newRow("greyed starts the editor as ticked does") << 2 << true;
}

void TestRun::startsTheEditorUnlessUnticked() {
    QFETCH(int, check);
    QFETCH(bool, started);

    Prepared window;
    QVERIFY(window.shown);
    window.openFile()->setValue(check);
    const QString newFile = window.path(QStringLiteral("my setups; $(x) New_ref.dat"));
    window.runWith(newFile);
    QCOMPARE(window.readFile(newFile), kNewLine);
    QCOMPARE(window.platform.editorOpens, started ? QStringList{newFile} : QStringList{});
    QVERIFY(window.platform.messages.isEmpty());
}

void TestRun::reportsFailures_data() {
    QTest::addColumn<QString>("initName");
    QTest::addColumn<QByteArray>("initBytes");
    QTest::addColumn<QByteArray>("referenceBytes");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("editorStarts");
    QTest::addColumn<QString>("mentioned");

    const QByteArray longList = QByteArray(40000, 'x') + QByteArrayLiteral("\r\n");
    QTest::newRow("a missing Init file is reported")
        << "missing.dat" << QByteArray() << kReference << "out.dat" << true << "missing.dat";
    QTest::newRow("an empty Init file is reported")
        << "init.dat" << QByteArray("") << kReference << "out.dat" << true << "init.dat";
    QTest::newRow("an over-long Reference command list is reported")
        << "init.dat" << kInit << longList << "out.dat" << true << "32";
    QTest::newRow("a New file in a missing folder is reported")
        << "init.dat" << kInit << kReference << "nowhere/out.dat" << true << "nowhere/out.dat";
    QTest::newRow("an editor that cannot start is reported after the file is written")
        << "init.dat" << kInit << kReference << "out.dat" << false << "out.dat";
}

void TestRun::reportsFailures() {
    QFETCH(QString, initName);
    QFETCH(QByteArray, initBytes);
    QFETCH(QByteArray, referenceBytes);
    QFETCH(QString, newName);
    QFETCH(bool, editorStarts);
    QFETCH(QString, mentioned);

    Prepared window;
    QVERIFY(window.shown);
    if (initName != QLatin1String("missing.dat")) {
        window.writeFile(initName, initBytes);
    }
    window.writeFile(QStringLiteral("ref.dat"), referenceBytes);
    window.label(0)->setCaption(window.path(initName));
    window.openFile()->setValue(1);
    window.platform.editorSucceeds = editorStarts;
    const QString newFile = window.path(newName);
    window.textFile()->setText(newFile);
    QTest::mouseClick(window.run(), Qt::LeftButton);

    QCOMPARE(window.platform.messages.size(), 1);
    const FakePlatform::Message& report = window.platform.messages.constFirst();
    QCOMPARE(report.title, QStringLiteral("Corvane"));
    QCOMPARE(report.icon, MessageIcon::Critical);
    QCOMPARE(report.buttons, MessageButtons::Ok);
    QVERIFY2(report.text.contains(mentioned), qPrintable(report.text));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // The folder is remembered before any file is read; the window stays usable.
    QCOMPARE(window.form->variables().newDir, QFileInfo(newFile).path());
    QCOMPARE(QFile::exists(newFile), !editorStarts);
    QVERIFY(window.form->isVisible());
}

void TestRun::reportsAFailedWriteWithoutLosingTheEarlierFile() {
    Prepared window;
    QVERIFY(window.shown);
    const QByteArray earlier = QByteArrayLiteral("earlier\r\n");
    const QString newFile = window.writeFile(QStringLiteral("locked.dat"), earlier);
    QVERIFY(QFile::setPermissions(newFile, QFile::ReadOwner | QFile::ReadGroup));
    window.textFile()->setText(newFile);
    QTest::mouseClick(window.run(), Qt::LeftButton);

    QCOMPARE(window.platform.messages.size(), 2);  // the question, then the report
    QCOMPARE(window.platform.messages.at(1).title, QStringLiteral("Corvane"));
    QVERIFY(window.platform.messages.at(1).text.contains(newFile));
    QCOMPARE(window.readFile(newFile), earlier);
}

void TestRun::goesOnAfterTheErrorReport() {
    Prepared window;
    QVERIFY(window.shown);
    window.label(0)->setCaption(window.path(QStringLiteral("late.dat")));
    const QString newFile = window.path(QStringLiteral("out.dat"));
    window.textFile()->setText(newFile);
    QTest::mouseClick(window.run(), Qt::LeftButton);
    QCOMPARE(window.platform.messages.size(), 1);

    // The file that could not be read appears; the same Run now succeeds.
    window.writeFile(QStringLiteral("late.dat"), kInit);
    QTest::mouseClick(window.run(), Qt::LeftButton);
    QCOMPARE(window.platform.messages.size(), 1);
    QCOMPARE(window.readFile(newFile), kNewLine);
}

QTEST_MAIN(TestRun)
#include "test_run.moc"
