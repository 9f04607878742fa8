// Damaged, unreadable and hand-edited settings, and Quintrel or the editor at paths that cannot
// run, through the real window: the exact outcome, nothing lost, and a window that still works.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "bad_input_window.h"
#include "platform/qt_platform.h"
#include "window/controls.h"

using corvane::Form1;
using corvane::SettingsStore;
using corvane::TriStateCheckBox;
using corvane::test::BadInputWindow;
using corvane::test::ranAsUnprivilegedUser;
namespace keys = corvane::keys;

namespace {

template <qsizetype N>
QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

// The four settings as a fresh store reads them from the file, "key=value" for each stored one.
// A copy is read, because settings not yet saved linger in memory for the file's own name.
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

QString focused() {
    const QWidget* widget = QApplication::focusWidget();
    return widget != nullptr ? widget->objectName() : QString();
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
    QTest::addColumn<QStringList>("atLoad");  // messages; %1 is the settings file
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("box");
    QTest::addColumn<QStringList>("atClose");
    QTest::addColumn<QStringList>("stored");  // after a normal Run with ";" and closing

    QTest::newRow("binary garbage loads the defaults and is replaced by what changed")
        << bytes("\x00\x01\xff\xfe[\x80]\n=\n\xff=\xfe\n\x7f") << false << QStringList() << 0
        << QStringLiteral(";") << 1 << QStringList()
        << QStringList{QStringLiteral("Directory=%1/afterwards")};
    QTest::newRow("a damaged line loses none of the other settings")
        << QByteArray(
               "[Settings]\nSeparator=\",\"\nOpen%20New%20File=0\n\x01\x02 no value\xff\n"
               "quintrelPath=/opt/quintrel/quintrel\n")
        << false << QStringList() << 2 << QStringLiteral(",") << 0 << QStringList()
        << QStringList{QStringLiteral("Directory=%1/afterwards"), QStringLiteral("Separator=;"),
                       QStringLiteral("Open New File=0"),
                       QStringLiteral("quintrelPath=/opt/quintrel/quintrel")};
    QTest::newRow("an unreadable settings file is reported at load and at close, and kept")
        << QByteArray("[Settings]\nSeparator=\",\"\n") << true
        << QStringList{QStringLiteral(
               "Corvane [critical] The remembered settings could not be read from %1.")}
        << -1 << QString() << 0
        << QStringList{QStringLiteral(
               "Corvane [critical] The setting \"Directory\" could not be saved in %1.")}
        << QStringList{QStringLiteral("Separator=,")};
    QTest::newRow("an unquoted ';' reads as empty: Other with an empty box, mended at close")
        << QByteArray("[Settings]\nSeparator=;\n") << false << QStringList() << 2 << QString() << 1
        << QStringList()
        << QStringList{QStringLiteral("Directory=%1/afterwards"), QStringLiteral("Separator=;")};
    QTest::newRow("an unquoted list is taken as the text it was")
        << QByteArray("[Settings]\nSeparator=a,b\nquintrelPath=/opt/q,r\n") << false
        << QStringList() << 2 << QStringLiteral("a,b") << 1 << QStringList()
        << QStringList{QStringLiteral("Directory=%1/afterwards"), QStringLiteral("Separator=;"),
                       QStringLiteral("quintrelPath=/opt/q,r")};
    QTest::newRow("Open New File 3 ticks the box and closing writes 1 over it")
        << QByteArray("[Settings]\nOpen%20New%20File=3\n") << false << QStringList() << 0
        << QStringLiteral(";") << 1 << QStringList()
        << QStringList{QStringLiteral("Directory=%1/afterwards"),
                       QStringLiteral("Open New File=1")};
    QTest::newRow("Open New File past the 16-bit range ticks the box quietly")
        << QByteArray("[Settings]\nOpen%20New%20File=-1e999\n") << false << QStringList() << 0
        << QStringLiteral(";") << 1 << QStringList()
        << QStringList{QStringLiteral("Directory=%1/afterwards"),
                       QStringLiteral("Open New File=1")};
}

void TestBadInputSettings::settingsFile() {
    QFETCH(QByteArray, ini);
    QFETCH(bool, asUser);
    QFETCH(QStringList, atLoad);
    QFETCH(int, option);
    QFETCH(QString, separator);
    QFETCH(int, box);
    QFETCH(QStringList, atClose);
    QFETCH(QStringList, stored);

    QString failure;
    if (asUser && ranAsUnprivilegedUser(&failure)) {
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }

    BadInputWindow window(ini);
    const QString iniPath = window.iniPath();
    if (asUser) {
        QVERIFY(QFile::setPermissions(iniPath, QFileDevice::Permissions()));
    }
    QVERIFY(window.open());
    QCOMPARE(window.takeMessages(), atLoad.replaceInStrings(QStringLiteral("%1"), iniPath));
    QCOMPARE(selectedOption(*window.form), option);
    QCOMPARE(window.textSeparator()->text(), separator);
    QCOMPARE(window.form->findChild<TriStateCheckBox*>(QStringLiteral("Check_OpenFile"))->value(),
             box);

    QCOMPARE(window.normalRunFails(), QString());
    window.form->close();
    QCOMPARE(window.takeMessages(), atClose.replaceInStrings(QStringLiteral("%1"), iniPath));
    if (asUser) {
        QVERIFY(QFile::setPermissions(iniPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(BadInputWindow::read(iniPath), ini);
    }
    QCOMPARE(storedSettings(iniPath),
             stored.replaceInStrings(QStringLiteral("%1"), window.dir.path()));
}

void TestBadInputSettings::directoryNamingAFile() {
    // The real platform refuses to enter a file, and the current directory stays as it was.
    const QString current = QDir::currentPath();
    BadInputWindow probe;
    const QString file = probe.write(QStringLiteral("setups.dat"), "RST;\r\n");
    QVERIFY(!corvane::QtPlatform().changeDirectory(file));
    QCOMPARE(QDir::currentPath(), current);

    BadInputWindow window("[Settings]\nDirectory=%1/setups.dat\nSeparator=\";:\"\n");
    window.write(QStringLiteral("setups.dat"), "RST;\r\n");
    window.platform.changeDirectorySucceeds = false;
    QVERIFY(window.open());
    QCOMPARE(window.takeMessages(), QStringList());
    QCOMPARE(window.platform.directoryChanges,
             QStringList{window.path(QStringLiteral("setups.dat"))});
    QCOMPARE(selectedOption(*window.form), 1);  // the rest is still restored

    // A New file named without a folder goes to the unchanged current directory.
    window.choose(0, window.write(QStringLiteral("init.dat"), "RST;:\r\n"));
    window.choose(1, window.write(QStringLiteral("ref.dat"), "RST;:VOLT 2;:\r\n"));
    window.setNewFile(QStringLiteral("bare.dat"));
    QVERIFY(window.pressRun());
    QCOMPARE(window.takeMessages(), QStringList());
    QCOMPARE(BadInputWindow::read(window.path(QStringLiteral("bare.dat"))),
             QByteArray("VOLT 2;:\r\n"));
    QCOMPARE(BadInputWindow::read(window.path(QStringLiteral("setups.dat"))),
             QByteArray("RST;\r\n"));
    QCOMPARE(window.normalRunFails(), QString());
}

void TestBadInputSettings::quintrel_data() {
    QTest::addColumn<Program>("program");
    QTest::addColumn<bool>("stored");

    for (const bool stored : {false, true}) {
        const char* how = stored ? "stored" : "chosen";
        QTest::addRow("a missing program %s as Quintrel starts nothing", how)
            << Program::Missing << stored;
        QTest::addRow("a script without execute permission %s as Quintrel starts nothing", how)
            << Program::NotExecutable << stored;
        QTest::addRow("a folder %s as Quintrel starts nothing", how) << Program::Folder << stored;
        QTest::addRow("a path with '; touch' %s as Quintrel starts nothing", how)
            << Program::ShellCharacters << stored;
    }
}

void TestBadInputSettings::quintrel() {
    QFETCH(Program, program);
    QFETCH(bool, stored);

    // A script that leaves a mark when it runs; the folder also holds a program named like
    // the part of the bad path before ";".
    const auto script = [](const QString& mark) {
        return QByteArray("#!/bin/sh\ntouch '") + QFile::encodeName(mark) + "'\n";
    };
    QTemporaryDir scratch;
    const QString folder = scratch.path();
    const QString ran = folder + QStringLiteral("/ran");
    const QString injected = folder + QStringLiteral("/injected");
    QString path;
    switch (program) {
        case Program::Missing:
            path = folder + QStringLiteral("/quintrel");
            break;
        case Program::NotExecutable:
            path = folder + QStringLiteral("/quintrel.sh");
            break;
        case Program::Folder:
            path = folder + QStringLiteral("/quintrel");
            QVERIFY(QDir().mkdir(path));
            break;
        case Program::ShellCharacters:
            path = folder + QStringLiteral("/quintrel; touch ") + injected;
            break;
    }
    const auto writeScript = [&](const QString& at, QFileDevice::Permissions mode) {
        QFile file(at);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script(ran));
        file.close();
        QVERIFY(file.setPermissions(mode));
    };
    const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                          QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const auto runnable =
        readable | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    if (program == Program::NotExecutable) {
        writeScript(path, readable);
    }
    if (program == Program::ShellCharacters) {
        writeScript(folder + QStringLiteral("/quintrel"), runnable);
    }

    // Quoted, as the program stores it: unquoted, a ";" would start a comment.
    QByteArray ini;
    if (stored) {
        ini = "[Settings]\nquintrelPath=\"" + QFile::encodeName(path) + "\"\n";
    }
    BadInputWindow window(ini);
    QVERIFY(window.open(BadInputWindow::Launches::Started));
    window.choose(0, window.write(QStringLiteral("init.dat"), "RST;\r\n"));
    window.choose(1, window.write(QStringLiteral("ref.dat"), "RST;VOLT 2;\r\n"));
    QCOMPARE(focused(), QStringLiteral("Command_Run"));
    if (!stored) {
        window.platform.planChoice(path);
    }

    QTest::mouseClick(window.button("Command_Quintrel"), Qt::LeftButton);
    QCOMPARE(window.takeMessages(), stored ? QStringList() : QStringList{kWarning});
    QCOMPARE(window.platform.launches.size(), 1);
    QCOMPARE(window.platform.launches[0].program, path);
    QCOMPARE(window.platform.launches[0].arguments, QStringList());
    QCOMPARE(focused(), QStringLiteral("Command_Quintrel"));  // a failed start moves nothing
    QVERIFY(!QFileInfo::exists(ran));
    QVERIFY(!QFileInfo::exists(injected));

    QCOMPARE(window.normalRunFails(), QString());
    if (!stored) {
        // Choosing a real program in the next press starts it.
        const QString good = folder + QStringLiteral("/good quintrel");
        writeScript(good, runnable);
        window.platform.planChoice(good);
        QTest::mouseClick(window.button("Command_Quintrel"), Qt::LeftButton);
        QTRY_VERIFY(QFileInfo::exists(ran));
        QCOMPARE(focused(), QStringLiteral("Command_Run"));
    }
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
    window.setNewFile(newFile);

    QVERIFY(window.pressRun());
    QCOMPARE(window.takeMessages(),
             BadInputWindow::report(QStringLiteral("The New file \"") + newFile +
                                    QStringLiteral("\" was written, but no text editor could be "
                                                   "started to show it.")));
    QCOMPARE(window.platform.editorOpens, QStringList{newFile});  // the path whole, as one file
    QCOMPARE(BadInputWindow::read(newFile), QByteArray("VOLT 2;\r\n"));
    QVERIFY(!QFileInfo::exists(window.path(QStringLiteral("injected"))));

    window.platform.editorSucceeds = true;
    QCOMPARE(window.normalRunFails(), QString());
}

QTEST_MAIN(TestBadInputSettings)
#include "test_bad_input_settings.moc"
