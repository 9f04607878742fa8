// The remembered settings restored at load and written back at close when they changed, and
// Quintrel located once and started, over an INI file in a temporary folder.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

#include "platform/fake_platform.h"
#include "platform/qt_platform.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/form1.h"

using corvane::Form1;
using corvane::SettingsStore;
using corvane::test::FakePlatform;
using namespace Qt::StringLiterals;

using Stored = QMap<QString, QString>;  // by key; a key not in the map is absent

namespace {

const QString kDirectory = u"Directory"_s, kSeparator = u"Separator"_s,
              kOpenNewFile = u"Open New File"_s, kQuintrelPath = u"quintrelPath"_s;
const QString kQuintrel = QDir::toNativeSeparators(u"/opt/quintrel/quintrel"_s);
const QString kHere = QDir::toNativeSeparators(u"/lab/setups"_s);

QString focused() {
    return QApplication::focusWidget()->objectName();
}

// One window over the scripted platform and its own INI file in a temporary folder.
struct Session {
    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<QSettings> settings;
    std::optional<SettingsStore> store;
    std::optional<Form1> form;

    QString ini() const { return dir.filePath(u"Corvane.ini"_s); }
    // Writes as another copy of the program would, past the window.
    void write(const Stored& values) const {
        QSettings other(ini(), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it) {
            other.setValue(u"Settings/"_s + it.key(), it.value());
        }
    }
    Stored read() const {
        QSettings other(ini(), QSettings::IniFormat);
        other.beginGroup(u"Settings"_s);
        Stored values;
        for (const QString& key : other.childKeys()) {
            values.insert(key, other.value(key).toString());
        }
        return values;
    }
    const Form1& open() {
        if (!settings) {
            settings = std::make_unique<QSettings>(ini(), QSettings::IniFormat);
        }
        return form.emplace(platform, store.emplace(*settings));
    }
    bool show() {
        form->show();
        return QTest::qWaitForWindowActive(&*form);
    }
    template <typename Control = QWidget>
    Control* get(const QString& name) const {
        return form->findChild<Control*>(name);
    }
    void click(const QString& name) const { QTest::mouseClick(get(name), Qt::LeftButton); }
    QLineEdit* separator() const { return get<QLineEdit>(u"Text_Separator"_s); }
    int openFile() const { return get<corvane::TriStateCheckBox>(u"Check_OpenFile"_s)->value(); }
    // Runs with an Init file in the temporary folder and a Reference file in folder within it.
    void runInto(const QString& folder) {
        QVERIFY(QDir(dir.path()).mkpath(folder));
        for (const QString& name : {u"init.dat"_s, folder + u"/reference.dat"_s}) {
            QFile file(QDir::cleanPath(dir.filePath(name)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("A;B\r\n") > 0);
            platform.planChoice(QDir::toNativeSeparators(file.fileName()));
        }
        for (const QString& button : {u"Command_File_0"_s, u"Command_File_1"_s, u"Command_Run"_s}) {
            click(button);
        }
        QVERIFY(QFile::exists(dir.filePath(folder + u"/New_reference.dat"_s)));
    }
};

using Action = std::function<void(Session&)>;

}  // namespace

Q_DECLARE_METATYPE(Action)

class TestSettingsWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startUpRestoresTheStoredValues_data();
    void startUpRestoresTheStoredValues();
    void openNewFileIsReadAsANumber_data();
    void openNewFileIsReadAsANumber();
    void closingWritesNothingUnchanged_data();
    void closingWritesNothingUnchanged();
    void valuesSurviveFromOneWindowToTheNext();
    void quintrelPresses_data();
    void quintrelPresses();
    void quintrelStartsTheFileAtThePath_data();
    void quintrelStartsTheFileAtThePath();

private:
    QTemporaryDir configHome_;
};

void TestSettingsWindow::initTestCase() {
    // The user's own store must never be read or written by a test.
    QVERIFY(configHome_.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
}

void TestSettingsWindow::startUpRestoresTheStoredValues_data() {
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<bool>("enterable");
    QTest::addColumn<QStringList>("entered");
    QTest::addColumn<int>("option");

    const QString gone = QDir::toNativeSeparators(u"/lab/gone"_s);
    QTest::newRow("nothing stored starts in place with a locked ';' and no Quintrel")
        << Stored{} << true << QStringList{} << 0;
    QTest::newRow("a stored ';:' selects Semicolon + Colon, locked")
        << Stored{{kSeparator, u";:"_s}} << true << QStringList{} << 1;
    QTest::newRow("a stored ',' selects Other and shows it")
        << Stored{{kSeparator, u","_s}} << true << QStringList{} << 2;
    QTest::newRow("an empty separator selects Other; an empty Quintrel path counts as unset")
        << Stored{{kSeparator, u""_s}, {kQuintrelPath, u""_s}} << true << QStringList{} << 2;
    QTest::newRow("a Directory equal to the current one is not entered again")
        << Stored{{kDirectory, kHere}} << true << QStringList{} << 0;
    QTest::newRow("a Directory differing only in letter case is entered")
        << Stored{{kDirectory, kHere.toUpper()}} << true << QStringList{kHere.toUpper()} << 0;
    QTest::newRow("an empty Directory enters nothing")
        << Stored{{kDirectory, u""_s}} << true << QStringList{} << 0;
    QTest::newRow("a vanished Directory is passed over and the rest is still restored")
        << Stored{{kDirectory, gone}, {kSeparator, u","_s}, {kQuintrelPath, kQuintrel}} << false
        << QStringList{gone} << 2;
}

void TestSettingsWindow::startUpRestoresTheStoredValues() {
    QFETCH(Stored, stored);
    QFETCH(bool, enterable);
    QFETCH(QStringList, entered);
    QFETCH(int, option);

    Session s;
    s.write(stored);
    s.platform.currentDir = kHere;
    s.platform.changeDirectorySucceeds = enterable;
    const corvane::WindowVariables& loaded = s.open().variables();
    QCOMPARE(loaded.startDir, stored.value(kDirectory, kHere));
    QCOMPARE(s.platform.directoryChanges, entered);
    QVERIFY(s.get<QRadioButton>(u"Option_Separator_%1"_s.arg(option))->isChecked());
    const QString shown[] = {u";"_s, u";:"_s, stored.value(kSeparator)};
    QCOMPARE(s.separator()->text(), shown[option]);
    QCOMPARE(s.separator()->isReadOnly(), option != 2);
    QCOMPARE(loaded.toolPath, stored.value(kQuintrelPath));
    QCOMPARE(loaded.toolPathUnset, stored.value(kQuintrelPath).isEmpty());
    QCOMPARE(s.platform.messages.size(), 0);
}

void TestSettingsWindow::openNewFileIsReadAsANumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    const auto row = [](const char* name, const char* text, int number) {
        QTest::newRow(name) << QString::fromUtf8(text) << number;
    };
    row("0 leaves the box unticked", "0", 0);
    row("1 ticks the box", "1", 1);
    row("1.5 goes up to the even 2, the greyed box", "1.5", 2);
    row("0.5 goes down to the even 0", "0.5", 0);
    row("2.5 goes down to the even 2", "2.5", 2);
    row("a leading blank is skipped", " 1", 1);
    row("text without a number is 0", "abc", 0);
    row("the empty text is 0", "", 0);
    row("3 is no box value, so the box is ticked and 1 written", "3", 3);
    row("-1 is no box value, so the box is ticked and 1 written", "-1", -1);
    row("40000 is past 16 bits, held as the upper bound and replaced", "40000", 32767);
    row("one below the lower bound is held as that bound, not wrapped", "-32769", -32768);
    row("anything past a half goes up, however little", "2.5000000000000000001", 3);
    row("blanks, tabs and line feeds inside the number are skipped", "\t1 \n2", 12);
    row("a carriage return ends the reading", "\r1", 0);
    row("a comma is no decimal point", "1,9", 1);
    row("a signed exponent scales the number", "15E-1", 2);
    row("an exponent letter without digits ends the number", "2e", 2);
}

void TestSettingsWindow::openNewFileIsReadAsANumber() {
    QFETCH(QString, text);
    QFETCH(int, number);

    Session s;
    s.write({{kOpenNewFile, text}});
    QCOMPARE(int(s.open().variables().savedOpenFile), number);
    const bool boxValue = number >= 0 && number <= 2;
    QCOMPARE(s.openFile(), boxValue ? number : 1);
    s.form->close();
    QCOMPARE(s.read(), (Stored{{kOpenNewFile, boxValue ? text : u"1"_s}}));
    QCOMPARE(s.platform.messages.size(), 0);
}

void TestSettingsWindow::closingWritesNothingUnchanged_data() {
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<Action>("action");

    QTest::newRow("closing right after a first start") << Stored{} << Action([](Session&) {});
    QTest::newRow("an Other separator typed again unchanged")
        << Stored{{kSeparator, u","_s}} << Action([](Session& s) {
               s.separator()->clear();
               QTest::keyClicks(s.separator(), u","_s);
           });
    QTest::newRow("a Run into the start folder, which Directory already names")
        << Stored{} << Action([](Session& s) { s.runInto(u"."_s); });
    QTest::newRow("a stored Quintrel path, started again")
        << Stored{{kQuintrelPath, kQuintrel}}
        << Action([](Session& s) { s.click(u"Command_Quintrel"_s); });
}

void TestSettingsWindow::closingWritesNothingUnchanged() {
    QFETCH(Stored, stored);
    QFETCH(Action, action);

    Session s;
    s.write(stored);
    s.platform.currentDir = QDir::toNativeSeparators(s.dir.path());
    s.open();
    QVERIFY(s.show());
    // Another copy of the program stores other values meanwhile; none may be overwritten.
    const Stored others{{kDirectory, u"x"_s},
                        {kSeparator, u"x"_s},
                        {kOpenNewFile, u"x"_s},
                        {kQuintrelPath, u"x"_s}};
    s.write(others);
    action(s);
    s.form->close();
    QCOMPARE(s.read(), others);
    QCOMPARE(s.platform.messages.size(), 0);
}

void TestSettingsWindow::valuesSurviveFromOneWindowToTheNext() {
    Session first;
    first.settings = SettingsStore::openUserSettings();
    first.open();
    QVERIFY(first.show());
    first.runInto(u"new files"_s);
    first.click(u"Option_Separator_2"_s);
    first.separator()->clear();
    first.click(u"Check_OpenFile"_s);
    first.platform.planChoice(kQuintrel);
    first.click(u"Command_Quintrel"_s);
    QCOMPARE(focused(), u"Command_Run"_s);  // enabled after the Run
    first.form->close();

    Session second;
    second.platform.currentDir = kHere;
    second.settings = SettingsStore::openUserSettings();
    const corvane::WindowVariables& loaded = second.open().variables();
    QCOMPARE(second.platform.directoryChanges,
             QStringList{QDir::toNativeSeparators(first.dir.filePath(u"new files"_s))});
    QVERIFY(second.get<QRadioButton>(u"Option_Separator_2"_s)->isChecked());
    QCOMPARE(second.separator()->text(), QString());
    QCOMPARE(second.openFile(), 0);
    QCOMPARE(loaded.toolPath, kQuintrel);
    QVERIFY(QFile::exists(configHome_.filePath(u"Corvane/Corvane.ini"_s)));
}

void TestSettingsWindow::quintrelPresses_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("choices");  // one per dialog shown; a null one cancels it
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("focus");  // after the last press
    QTest::addColumn<QString>("saved");

    const QString other = QDir::toNativeSeparators(u"/usr/local/bin/quintrel"_s);
    const QString notes = QDir::toNativeSeparators(u"/home/lab/notes.txt"_s);
    const QString none, find = u"Command_File_0"_s, button = u"Command_Quintrel"_s;
    QTest::newRow("on a first start a cancelled dialog does nothing and saves nothing")
        << none << QStringList{none} << true << button << none;
    QTest::newRow("after a cancel the next press asks again, warns and starts it")
        << none << QStringList{none, kQuintrel} << true << find << kQuintrel;
    QTest::newRow("a second press in the same run asks and warns again")
        << none << QStringList{kQuintrel, other} << true << find << other;
    QTest::newRow("a file that does not start fails silently and is still saved")
        << none << QStringList{notes} << false << button << notes;
    QTest::newRow("a stored path starts at every press without dialog or warning")
        << kQuintrel << QStringList{} << true << find << kQuintrel;
    QTest::newRow("a stored path whose program is gone does nothing visible")
        << kQuintrel << QStringList{} << false << button << kQuintrel;
}

void TestSettingsWindow::quintrelPresses() {
    QFETCH(QString, stored);
    QFETCH(QStringList, choices);
    QFETCH(bool, starts);
    QFETCH(QString, focus);
    QFETCH(QString, saved);

    Session s;
    s.write(stored.isNull() ? Stored{} : Stored{{kQuintrelPath, stored}});
    s.platform.startSucceeds = starts;
    s.open();
    QVERIFY(s.show());
    // Each chosen path is started once; a stored one at each of two presses.
    QStringList launches = stored.isNull() ? QStringList() : QStringList{stored, stored};
    for (const QString& choice : choices) {
        s.platform.openAnswers.push_back(std::nullopt);
        if (!choice.isNull()) {
            s.platform.openAnswers.back() = corvane::OpenFileResult{choice, u"quintrel"_s};
            launches << choice;
        }
    }
    for (qsizetype i = 0; i < (stored.isNull() ? choices.size() : 2); ++i) {
        s.click(u"Command_Quintrel"_s);  // which also gives the button the focus
    }

    corvane::OpenFileRequest dialog{u"Find Quintrel"_s,
                                    u"/opt/quintrel"_s,
                                    true,
                                    QString(),
                                    u"Program Files (*.exe)|*.exe|All Files (*.*)|*.*"_s,
                                    12};
#ifdef Q_OS_WIN
    dialog.initDir = u"c:\\Program Files\\Quintrel"_s;
#endif
    QCOMPARE(s.platform.openRequests, QList<corvane::OpenFileRequest>(choices.size(), dialog));
    QCOMPARE(s.platform.messages.size(), stored.isNull() ? launches.size() : 0);
    for (const FakePlatform::Message& warning : s.platform.messages) {
        QCOMPARE(warning.text,
                 u"Once the program has been closed and the path saved it can not "
                 "be changed.\n\nTo change the path delete this key in the Registry "
                 "and restart this program:\nHKEY_CURRENT_USER\\Software\\VB and "
                 "VBA Program Settings\\Corvane\\Settings\\quintrelPath"_s);
        QCOMPARE(warning.title, u"Quintrel"_s);
        QCOMPARE(warning.icon, corvane::MessageIcon::Exclamation);
        QCOMPARE(warning.buttons, corvane::MessageButtons::Ok);
    }
    QStringList launched;  // the program of each start, and any arguments it was given
    for (const FakePlatform::Launch& launch : s.platform.launches) {
        launched << launch.program << launch.arguments;
    }
    QCOMPARE(launched, launches);
    QCOMPARE(focused(), focus);
    s.form->close();
    QCOMPARE(s.read().value(kQuintrelPath), saved);
}

void TestSettingsWindow::quintrelStartsTheFileAtThePath_data() {
    QTest::addColumn<QString>("name");  // of a script in a folder whose name holds a blank
    QTest::newRow("a plain name") << u"quintrel"_s;
    QTest::newRow("a name a shell would read as two commands and a redirection")
        << u"quintrel; touch injected \"$HOME\" > 'x'"_s;
}

void TestSettingsWindow::quintrelStartsTheFileAtThePath() {
#ifdef Q_OS_WIN
    QSKIP("the program started is a shell script");
#endif
    QFETCH(QString, name);
    const QTemporaryDir dir;
    const QString folder = dir.filePath(u"Quintrel Lab"_s), program = folder + u'/' + name;
    QFile script(program);
    QVERIFY(QDir().mkdir(folder) && script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch started\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    // The stored folder is entered at load, so that is where a shell or the script would write.
    QSettings settings(dir.filePath(u"Corvane.ini"_s), QSettings::IniFormat);
    settings.setValue(u"Settings/Directory"_s, QDir::toNativeSeparators(folder));
    settings.setValue(u"Settings/quintrelPath"_s, QDir::toNativeSeparators(program));
    SettingsStore store(settings);
    corvane::QtPlatform platform;
    const QString before = QDir::currentPath();
    Form1 window(platform, store);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(!platform.startProgram(program + u"-missing; touch injected"_s, {}));
    QTest::mouseClick(window.findChild<QPushButton*>(u"Command_Quintrel"_s), Qt::LeftButton);
    QTRY_VERIFY(QFile::exists(folder + u"/started"_s));
    QCOMPARE(focused(), u"Command_File_0"_s);
    QVERIFY(!QFile::exists(folder + u"/injected"_s));
    QDir::setCurrent(before);
}

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
