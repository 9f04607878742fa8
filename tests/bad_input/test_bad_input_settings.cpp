// Damaged, unreadable and hand-edited settings, and programs that cannot run, through the window.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QTest>

#include "bad_input_window.h"
#include "window/controls.h"

using corvane::Form1;
using corvane::SettingsStore;
using corvane::TriStateCheckBox;
using corvane::test::BadInputWindow;
using corvane::test::ranAsUnprivilegedUser;
namespace keys = corvane::keys;

namespace {

// The settings a fresh store reads, "key=value"; from a copy, as QSettings caches by file name.
QStringList storedSettings(const QString& iniPath) {
    const QString copy = iniPath + QStringLiteral(".copy");
    QFile::remove(copy);
    QFile::copy(iniPath, copy);
    QSettings ini(copy, QSettings::IniFormat);
    const SettingsStore store(ini);
    QStringList stored;
    for (const QLatin1String key :
         {keys::Directory, keys::Separator, keys::OpenNewFile, keys::QuintrelPath}) {
        if (ini.contains(QStringLiteral("Settings/") + key)) {
            stored.append(key + QLatin1Char('=') + store.get(key));
        }
    }
    return stored;
}

int selectedOption(const Form1& form) {
    for (int i = 0; i < 3; ++i) {
        if (form.findChild<QRadioButton*>(QStringLiteral("Option_Separator_%1").arg(i))
                ->isChecked()) {
            return i;
        }
    }
    return -1;
}

const QString kWarning = QStringLiteral(
    "Quintrel [exclamation] Once the program has been closed and the path saved it can not be "
    "changed.\n\nTo change the path delete this key in the Registry and restart this program:\n"
    "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Corvane\\Settings\\quintrelPath");

enum class Program { Missing, NotExecutable, Folder, ShellCharacters };

}  // namespace

Q_DECLARE_METATYPE(Program)

class TestBadInputSettings : public QObject {
    Q_OBJECT

private slots:
    void settingsFile_data();
    void settingsFile();
    void directoryNamingAFile();
    void quintrel_data();
    void quintrel();
    void editorThatCannotStart();
};

void TestBadInputSettings::settingsFile_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("asUser");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("box");
    QTest::addColumn<QStringList>("stored");  // after a normal Run with ";" and closing

    QTest::newRow("a damaged line loses none of the other settings")
        << QByteArray(
               "[Settings]\nSeparator=\",\"\nOpen%20New%20File=0\n\x01\x02 no value\xff\n"
               "quintrelPath=/opt/quintrel/quintrel\n")
        << false << 2 << QStringLiteral(",") << 0
        << QStringList{QStringLiteral("Directory=%1/afterwards"), QStringLiteral("Separator=;"),
                       QStringLiteral("Open New File=0"),
                       QStringLiteral("quintrelPath=/opt/quintrel/quintrel")};
    QTest::newRow("an unreadable settings file is reported at load and at close, and kept")
        << QByteArray("[Settings]\nSeparator=\",\"\n") << true << -1 << QString() << 0
        << QStringList{QStringLiteral("Separator=,")};
    QTest::newRow("an unquoted ';' reads as empty: Other with an empty box, mended at close")
        << QByteArray("[Settings]\nSeparator=;\n") << false << 2 << QString() << 1
        << QStringList{QStringLiteral("Directory=%1/afterwards"), QStringLiteral("Separator=;")};
    QTest::newRow("an unquoted list is taken as the text it was")
        << QByteArray("[Settings]\nSeparator=a,b\nquintrelPath=/opt/q,r\n") << false << 2
        << QStringLiteral("a,b") << 1
        << QStringList{QStringLiteral("Directory=%1/afterwards"), QStringLiteral("Separator=;"),
                       QStringLiteral("quintrelPath=/opt/q,r")};
    QTest::newRow("Open New File past the 16-bit range ticks the box quietly")
        << QByteArray("[Settings]\nOpen%20New%20File=-1e999\n") << false << 0 << QStringLiteral(";")
        << 1
        << QStringList{QStringLiteral("Directory=%1/afterwards"),
                       QStringLiteral("Open New File=1")};
}

void TestBadInputSettings::settingsFile() {
    QFETCH(QByteArray, ini);
    QFETCH(bool, asUser);
    QFETCH(int, option);
    QFETCH(QString, separator);
    QFETCH(int, box);
    QFETCH(QStringList, stored);

    QString failure;
    if (asUser && ranAsUnprivilegedUser(&failure)) {
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }

    BadInputWindow window(ini);
    const QString iniPath = window.iniPath();
    const auto onlyForUser = [&](const char* text) {
        return asUser ? QStringList{QStringLiteral("Corvane [critical] ") +
                                    QString::fromUtf8(text).arg(iniPath)}
                      : QStringList();
    };
    if (asUser) {
        QVERIFY(QFile::setPermissions(iniPath, QFileDevice::Permissions()));
    }
    QVERIFY(window.open());
    QCOMPARE(window.takeMessages(),
             onlyForUser("The remembered settings could not be read from %1."));
    QCOMPARE(selectedOption(*window.form), option);
    QCOMPARE(window.textSeparator()->text(), separator);
    QCOMPARE(window.form->findChild<TriStateCheckBox*>(QStringLiteral("Check_OpenFile"))->value(),
             box);

    QCOMPARE(window.normalRunFails(), QString());
    window.form->close();
    QCOMPARE(window.takeMessages(),
             onlyForUser("The setting \"Directory\" could not be saved in %1."));
    if (asUser) {
        QVERIFY(QFile::setPermissions(iniPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(BadInputWindow::read(iniPath), ini);
    }
    QCOMPARE(storedSettings(iniPath),
             stored.replaceInStrings(QStringLiteral("%1"), window.dir.path()));
}

void TestBadInputSettings::directoryNamingAFile() {
    BadInputWindow window("[Settings]\nDirectory=%1/setups.dat\nSeparator=\";:\"\n");
    window.write(QStringLiteral("setups.dat"), "RST;\r\n");
    window.platform.changeDirectorySucceeds = false;
    QVERIFY(window.open());
    QCOMPARE(window.takeMessages(), QStringList());
    QCOMPARE(window.platform.directoryChanges,
             QStringList{window.path(QStringLiteral("setups.dat"))});
    QCOMPARE(selectedOption(*window.form), 1);  // the rest is still restored
    window.choose(0, window.write(QStringLiteral("init.dat"), "RST;:\r\n"));
    window.choose(1, window.write(QStringLiteral("ref.dat"), "RST;:VOLT 2;:\r\n"));
    window.textFile()->setText(QStringLiteral("bare.dat"));  // into the unchanged current folder
    QCOMPARE(window.pressAndCheck("Command_Run", {}, window.path(QStringLiteral("bare.dat")),
                                  "VOLT 2;:\r\n"),
             QString());
}

void TestBadInputSettings::quintrel_data() {
    QTest::addColumn<Program>("program");
    QTest::newRow("a missing program chosen as Quintrel starts nothing") << Program::Missing;
    QTest::newRow("a script without execute permission starts nothing") << Program::NotExecutable;
    QTest::newRow("a folder chosen as Quintrel starts nothing") << Program::Folder;
    QTest::newRow("a path with '; touch' starts nothing, not even its first part")
        << Program::ShellCharacters;
}

void TestBadInputSettings::quintrel() {
    QFETCH(Program, program);
    // Scripts leave a mark when they run; the folder also holds a program named like the part
    // of the bad path before ";".
    QTemporaryDir scratch;
    const QString ran = scratch.filePath(QStringLiteral("ran"));
    const QString injected = scratch.filePath(QStringLiteral("injected"));
    const auto writeScript = [&](const QString& at, int mode) {
        QFile file(at);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\ntouch '" + QFile::encodeName(ran) + "'\n");
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::Permissions::fromInt(mode)));
    };
    QString path = scratch.filePath(QStringLiteral("quintrel"));
    if (program == Program::NotExecutable) {
        writeScript(path, 0x6644);
    } else if (program == Program::Folder) {
        QVERIFY(QDir().mkdir(path));
    } else if (program == Program::ShellCharacters) {
        writeScript(path, 0x7755);
        path += QStringLiteral("; touch ") + injected;
    }

    BadInputWindow window;
    QVERIFY(window.open(BadInputWindow::Launches::Started));
    window.choose(0, window.write(QStringLiteral("init.dat"), "RST;\r\n"));
    window.choose(1, window.write(QStringLiteral("ref.dat"), "RST;VOLT 2;\r\n"));
    window.platform.planChoice(path);
    QCOMPARE(window.pressAndCheck("Command_Quintrel", {kWarning}), QString());
    QCOMPARE(window.platform.launches.value(0).program, path);
    QCOMPARE(window.platform.launches.value(0).arguments, QStringList());
    QVERIFY(!QFileInfo::exists(ran));
    QVERIFY(!QFileInfo::exists(injected));

    // A real program chosen at the next press starts, and Run takes the focus back.
    const QString good = scratch.filePath(QStringLiteral("good quintrel"));
    writeScript(good, 0x7755);
    window.platform.planChoice(good);
    QTest::mouseClick(window.button("Command_Quintrel"), Qt::LeftButton);
    QTRY_VERIFY(QFileInfo::exists(ran));
    QCOMPARE(QApplication::focusWidget(), window.button("Command_Run"));
    QVERIFY(!QFileInfo::exists(injected));
}

void TestBadInputSettings::editorThatCannotStart() {
    BadInputWindow window;
    window.platform.editorSucceeds = false;
    QVERIFY(window.open());
    window.form->findChild<TriStateCheckBox*>(QStringLiteral("Check_OpenFile"))->setValue(1);
    window.choose(0, window.write(QStringLiteral("init.dat"), "RST;\r\n"));
    window.choose(1, window.write(QStringLiteral("ref.dat"), "RST;VOLT 2;\r\n"));
    const QString newFile = window.path(QStringLiteral("New; touch injected.dat"));
    window.textFile()->setText(newFile);
    QTest::mouseClick(window.button("Command_Run"), Qt::LeftButton);
    QCOMPARE(window.takeMessages(),
             QStringList{QStringLiteral("Corvane [critical] The New file \"") + newFile +
                         QStringLiteral("\" was written, but no text editor could be started "
                                        "to show it.")});
    QCOMPARE(window.platform.editorOpens, QStringList{newFile});  // the path whole, as one file
    QCOMPARE(BadInputWindow::read(newFile), QByteArray("VOLT 2;\r\n"));
    QVERIFY(!QFileInfo::exists(window.path(QStringLiteral("injected"))));

    window.platform.editorSucceeds = true;
    QCOMPARE(window.normalRunFails(), QString());
}

QTEST_MAIN(TestBadInputSettings)
#include "test_bad_input_settings.moc"
