// The remembered settings restored at load and written back at close when they changed, and
// Quintrel located once and started, over an INI file in a temporary folder.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "platform/fake_platform.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/form1.h"

using corvane::Form1;
using corvane::SettingsStore;
using namespace Qt::StringLiterals;

using Stored = QMap<QString, QString>;  // by key; a key not in the map is absent

namespace {

const QString kDirectory = u"Directory"_s, kSeparator = u"Separator"_s,
              kOpenNewFile = u"Open New File"_s, kQuintrelPath = u"quintrelPath"_s;
const QString kQuintrel = u"/opt/quintrel/quintrel"_s, kHere = u"/lab/setups"_s;

// One window over the scripted platform and its own INI file in a temporary folder.
struct Session {
    QTemporaryDir dir;
    corvane::test::FakePlatform platform;
    std::unique_ptr<QSettings> settings;
    std::optional<SettingsStore> store;
    std::optional<Form1> form;

    // Writes as another copy of the program would, past the window.
    void write(const Stored& values) const {
        QSettings other(dir.filePath(u"Corvane.ini"_s), QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it) {
            other.setValue(u"Settings/"_s + it.key(), it.value());
        }
    }
    Stored read() const {
        QSettings other(dir.filePath(u"Corvane.ini"_s), QSettings::IniFormat);
        other.beginGroup(u"Settings"_s);
        Stored values;
        for (const QString& key : other.childKeys()) {
            values.insert(key, other.value(key).toString());
        }
        return values;
    }
    const Form1& open() {
        if (!settings) {
            settings =
                std::make_unique<QSettings>(dir.filePath(u"Corvane.ini"_s), QSettings::IniFormat);
        }
        return form.emplace(platform, store.emplace(*settings));
    }
    void click(const QString& name) const {
        QTest::mouseClick(form->findChild<QWidget*>(name), Qt::LeftButton);
    }
    QLineEdit* separator() const { return form->findChild<QLineEdit*>(u"Text_Separator"_s); }
    int openFile() const {
        return form->findChild<corvane::TriStateCheckBox*>(u"Check_OpenFile"_s)->value();
    }
};

}  // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT

private slots:
    void startUpRestoresTheStoredValues_data();
    void startUpRestoresTheStoredValues();
    void closingWritesBackOnlyWhatChanged_data();
    void closingWritesBackOnlyWhatChanged();
    void valuesSurviveFromOneWindowToTheNext();
    void quintrelPresses_data();
    void quintrelPresses();
};

void TestSettingsWindow::startUpRestoresTheStoredValues_data() {
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<bool>("enterable");
    QTest::addColumn<QStringList>("entered");
    QTest::addColumn<int>("option");

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
        << Stored{{kDirectory, u"/lab/gone"_s}, {kSeparator, u","_s}, {kQuintrelPath, kQuintrel}}
        << false << QStringList{u"/lab/gone"_s} << 2;
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
    QVERIFY(s.form->findChild<QRadioButton*>(u"Option_Separator_%1"_s.arg(option))->isChecked());
    const QString shown[] = {u";"_s, u";:"_s, stored.value(kSeparator)};
    QCOMPARE(s.separator()->text(), shown[option]);
    QCOMPARE(s.separator()->isReadOnly(), option != 2);
    QCOMPARE(loaded.toolPathUnset, stored.value(kQuintrelPath).isEmpty());
    QCOMPARE(s.platform.messages.size(), 0);
}

// Each row is a stored Open New File text and the number the window reads from it.
void TestSettingsWindow::closingWritesBackOnlyWhatChanged_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("0 leaves the box unticked") << u"0"_s << 0;
    QTest::newRow("1 ticks the box") << u"1"_s << 1;
    QTest::newRow("1.5 goes up to the even 2, the greyed box") << u"1.5"_s << 2;
    QTest::newRow("0.5 goes down to the even 0") << u"0.5"_s << 0;
    QTest::newRow("2.5 goes down to the even 2") << u"2.5"_s << 2;
    QTest::newRow("a leading blank is skipped") << u" 1"_s << 1;
    QTest::newRow("text without a number is 0") << u"abc"_s << 0;
    QTest::newRow("the empty text is 0") << u""_s << 0;
    QTest::newRow("3 is no box value, so the box is ticked and 1 written") << u"3"_s << 3;
    QTest::newRow("-1 is no box value, so the box is ticked and 1 written") << u"-1"_s << -1;
    QTest::newRow("40000 overflows, so the box is ticked and 1 written") << u"40000"_s << 32767;
    QTest::newRow("past a half goes up, however little") << u"2.5000000000000000001"_s << 3;
    QTest::newRow("blanks, tabs and line feeds inside are skipped") << u"\t1 \n2"_s << 12;
    QTest::newRow("a comma is no decimal point") << u"1,9"_s << 1;
    QTest::newRow("a signed exponent scales the number") << u"15E-1"_s << 2;
}

void TestSettingsWindow::closingWritesBackOnlyWhatChanged() {
    QFETCH(QString, text);
    QFETCH(int, number);

    Session s;
    s.write({{kOpenNewFile, text}, {kSeparator, u","_s}, {kQuintrelPath, kQuintrel}});
    QCOMPARE(int(s.open().variables().savedOpenFile), number);
    const bool boxValue = number >= 0 && number <= 2;
    QCOMPARE(s.openFile(), boxValue ? number : 1);
    // Another copy of the program stores other values meanwhile: only a change replaces them.
    const QString x = u"from another copy"_s;
    Stored expected{{kDirectory, x}, {kSeparator, x}, {kOpenNewFile, x}, {kQuintrelPath, x}};
    s.write(expected);
    s.separator()->clear();
    QTest::keyClicks(s.separator(), u","_s);  // the Other separator typed again, unchanged
    s.form->close();
    if (!boxValue) {
        expected[kOpenNewFile] = u"1"_s;
    }
    QCOMPARE(s.read(), expected);
    QCOMPARE(s.platform.messages.size(), 0);
}

void TestSettingsWindow::valuesSurviveFromOneWindowToTheNext() {
    // The user's store, kept in a temporary folder: this is the only test that opens it.
    const QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    Session first;
    first.settings = SettingsStore::openUserSettings();
    first.open();
    first.form->show();
    QVERIFY(QTest::qWaitForWindowActive(&*first.form));
    // A Run with its files in the temporary folder, where the New file goes.
    for (int i = 0; i < 2; ++i) {
        QFile file(first.dir.filePath(u"file%1.dat"_s.arg(i)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("A;B\r\n") > 0);
        first.platform.planChoice(QDir::toNativeSeparators(file.fileName()));
        first.click(u"Command_File_%1"_s.arg(i));
    }
    first.click(u"Command_Run"_s);
    first.click(u"Option_Separator_2"_s);
    first.separator()->clear();
    first.click(u"Check_OpenFile"_s);
    first.platform.planChoice(kQuintrel);
    first.click(u"Command_Quintrel"_s);
    QCOMPARE(QApplication::focusWidget()->objectName(), u"Command_Run"_s);  // enabled after the Run
    first.form->close();
    // A new time makes the next QSettings read the file rather than the first one's cache.
    QFile ini(configHome.filePath(u"Corvane/Corvane.ini"_s));
    QVERIFY(ini.open(QIODevice::ReadWrite) &&
            ini.setFileTime(QDateTime::currentDateTime().addDays(1), QFile::FileModificationTime));

    Session second;
    second.platform.currentDir = kHere;
    second.settings = SettingsStore::openUserSettings();
    const corvane::WindowVariables& loaded = second.open().variables();
    QCOMPARE(second.platform.directoryChanges,
             QStringList{QDir::toNativeSeparators(first.dir.path())});
    QVERIFY(second.form->findChild<QRadioButton*>(u"Option_Separator_2"_s)->isChecked());
    QCOMPARE(second.separator()->text(), QString());
    QCOMPARE(second.openFile(), 0);
    QCOMPARE(loaded.toolPath, kQuintrel);
}

void TestSettingsWindow::quintrelPresses_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("choices");  // one per dialog shown; a null one cancels it
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("focus");  // after the last press
    QTest::addColumn<QString>("saved");

    const QString other = u"/usr/local/bin/quintrel"_s, notes = u"/home/lab/notes.txt"_s;
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
    s.form->show();
    QVERIFY(QTest::qWaitForWindowActive(&*s.form));
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

    const QString filter = u"Program Files (*.exe)|*.exe|All Files (*.*)|*.*"_s;
    corvane::OpenFileRequest dialog{u"Find Quintrel"_s, u"/opt/quintrel"_s, true, {}, filter, 12};
#ifdef Q_OS_WIN
    dialog.initDir = u"c:\\Program Files\\Quintrel"_s;
#endif
    QCOMPARE(s.platform.openRequests, QList<corvane::OpenFileRequest>(choices.size(), dialog));
    QCOMPARE(s.platform.messages.size(), stored.isNull() ? launches.size() : 0);
    for (const auto& warning : s.platform.messages) {
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
    for (const auto& launch : s.platform.launches) {
        launched << launch.program << launch.arguments;
    }
    QCOMPARE(launched, launches);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    s.form->close();
    QCOMPARE(s.read().value(kQuintrelPath), saved);
}

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
