// Restoring the remembered settings when the window loads and writing back what changed when
// it closes, through an INI file in a temporary folder.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "platform/fake_platform.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/form1.h"

using corvane::Form1;
using corvane::SettingsStore;
using corvane::TriStateCheckBox;
using corvane::test::FakePlatform;

/// Stored values by key; a key that is not in the map is absent from the store.
using Stored = QMap<QString, QString>;

namespace {

const QString kDirectory = QStringLiteral("Directory");
const QString kSeparator = QStringLiteral("Separator");
const QString kOpenNewFile = QStringLiteral("Open New File");
const QString kQuintrelPath = QStringLiteral("quintrelPath");
const QString kUntouched = QStringLiteral("untouched by the window");

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void store(const QString& ini, const Stored& values) {
    QSettings settings(ini, QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it) {
        settings.setValue(QStringLiteral("Settings/") + it.key(), it.value());
    }
    settings.sync();
}

Stored readBack(const QString& ini) {
    QSettings settings(ini, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Settings"));
    Stored values;
    for (const QString& key : settings.childKeys()) {
        values.insert(key, settings.value(key).toString());
    }
    return values;
}

int selectedOption(const Form1& window) {
    int selected = -1;
    for (int i = 0; i < 3; ++i) {
        const auto* option =
            window.findChild<QRadioButton*>(QStringLiteral("Option_Separator_%1").arg(i));
        if (option->isChecked()) {
            if (selected != -1) {
                return -2;  // more than one selected
            }
            selected = i;
        }
    }
    return selected;
}

QLineEdit* separatorBox(const Form1& window) {
    return window.findChild<QLineEdit*>(QStringLiteral("Text_Separator"));
}

TriStateCheckBox* openFileBox(const Form1& window) {
    return window.findChild<TriStateCheckBox*>(QStringLiteral("Check_OpenFile"));
}

void writeCommandFile(const QString& path, const QByteArray& line) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(line + "\r\n") > 0);
}

// Chooses an Init file in dataDir and a Reference file in referenceFolder, then presses Run,
// which writes the New file beside the Reference file.
void runInto(Form1& window, FakePlatform& platform, const QString& dataDir,
             const QString& referenceFolder) {
    const QString init = native(dataDir + QStringLiteral("/init.dat"));
    const QString reference = native(referenceFolder + QStringLiteral("/reference.dat"));
    writeCommandFile(init, "A;B");
    writeCommandFile(reference, "A;C");
    platform.planChoice(init);
    platform.planChoice(reference);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command_File_0")),
                      Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command_File_1")),
                      Qt::LeftButton);
    auto* runButton = window.findChild<QPushButton*>(QStringLiteral("Command_Run"));
    QVERIFY(runButton->isEnabled());
    QTest::mouseClick(runButton, Qt::LeftButton);
    QVERIFY(QFile::exists(native(referenceFolder + QStringLiteral("/New_reference.dat"))));
}

}  // namespace

/// What the user does between opening and closing the window.
enum class Action {
    Nothing,
    RetypeStoredSeparator,
    TypeBarSeparator,
    EmptySeparatorBox,
    PickSemicolonOnly,
    ClickOpenFileBox,
    RunIntoStartFolder,
    RunIntoOtherFolder,
    LocateQuintrel,
    PressQuintrel,
};
Q_DECLARE_METATYPE(Action)

class TestSettingsWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void startUpRestoresTheStoredValues_data();
    void startUpRestoresTheStoredValues();
    void openNewFileIsReadAsANumber_data();
    void openNewFileIsReadAsANumber();
    void closingWritesOnlyWhatChanged_data();
    void closingWritesOnlyWhatChanged();
    void valuesSurviveFromOneWindowToTheNext();
    void aFailedSaveIsReportedWithTheFile();

private:
    QString iniPath() const { return dir_->filePath(QStringLiteral("Corvane.ini")); }

    QTemporaryDir configHome_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestSettingsWindow::initTestCase() {
    // The user's own store must never be read or written by a test.
    QVERIFY(configHome_.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
}

void TestSettingsWindow::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestSettingsWindow::startUpRestoresTheStoredValues_data() {
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<bool>("folderEnterable");
    QTest::addColumn<QString>("expectedStartDir");
    QTest::addColumn<QStringList>("expectedChanges");
    QTest::addColumn<int>("expectedOption");
    QTest::addColumn<QString>("expectedSeparator");
    QTest::addColumn<bool>("expectedLocked");
    QTest::addColumn<int>("expectedOpenFile");
    QTest::addColumn<bool>("expectedToolPathUnset");

    // The program starts in this folder in every row.
    const QString current = native(QStringLiteral("/lab/setups"));
    const QString elsewhere = native(QStringLiteral("/lab/archive"));
    const QString quintrel = native(QStringLiteral("/opt/quintrel/quintrel"));

    QTest::newRow("nothing stored starts in place with a locked ';', ticked box, no Quintrel")
        << Stored{} << true << current << QStringList{} << 0 << QStringLiteral(";") << true << 1
        << true;
    QTest::newRow("a stored ';:' selects Semicolon + Colon, locked")
        << Stored{{kSeparator, QStringLiteral(";:")}} << true << current << QStringList{} << 1
        << QStringLiteral(";:") << true << 1 << true;
    QTest::newRow("a stored ',' selects Other and shows it unlocked")
        << Stored{{kSeparator, QStringLiteral(",")}} << true << current << QStringList{} << 2
        << QStringLiteral(",") << false << 1 << true;
    QTest::newRow("a stored empty separator selects Other with an empty box")
        << Stored{{kSeparator, QString()}} << true << current << QStringList{} << 2 << QString()
        << false << 1 << true;
    QTest::newRow("a stored Directory equal to the current one is not entered again")
        << Stored{{kDirectory, current}} << true << current << QStringList{} << 0
        << QStringLiteral(";") << true << 1 << true;
    QTest::newRow("a stored Directory differing only in letter case is entered")
        << Stored{{kDirectory, current.toUpper()}} << true << current.toUpper()
        << QStringList{current.toUpper()} << 0 << QStringLiteral(";") << true << 1 << true;
    QTest::newRow("a stored empty Directory changes nothing")
        << Stored{{kDirectory, QString()}} << true << QString() << QStringList{} << 0
        << QStringLiteral(";") << true << 1 << true;
    QTest::newRow("a stored Directory elsewhere is entered")
        << Stored{{kDirectory, elsewhere}} << true << elsewhere << QStringList{elsewhere} << 0
        << QStringLiteral(";") << true << 1 << true;
    QTest::newRow("a vanished Directory is passed over and the rest is still restored")
        << Stored{{kDirectory, elsewhere},
                  {kSeparator, QStringLiteral(",")},
                  {kOpenNewFile, QStringLiteral("0")},
                  {kQuintrelPath, quintrel}}
        << false << elsewhere << QStringList{elsewhere} << 2 << QStringLiteral(",") << false << 0
        << false;
    QTest::newRow("a stored Quintrel path counts as set")
        << Stored{{kQuintrelPath, quintrel}} << true << current << QStringList{} << 0
        << QStringLiteral(";") << true << 1 << false;
    QTest::newRow("a stored empty Quintrel path counts as unset")
        << Stored{{kQuintrelPath, QString()}} << true << current << QStringList{} << 0
        << QStringLiteral(";") << true << 1 << true;
}

void TestSettingsWindow::startUpRestoresTheStoredValues() {
    QFETCH(Stored, stored);
    QFETCH(bool, folderEnterable);
    QFETCH(QString, expectedStartDir);
    QFETCH(QStringList, expectedChanges);
    QFETCH(int, expectedOption);
    QFETCH(QString, expectedSeparator);
    QFETCH(bool, expectedLocked);
    QFETCH(int, expectedOpenFile);
    QFETCH(bool, expectedToolPathUnset);

    store(iniPath(), stored);
    FakePlatform platform;
    platform.currentDir = native(QStringLiteral("/lab/setups"));
    platform.changeDirectorySucceeds = folderEnterable;
    QSettings settings(iniPath(), QSettings::IniFormat);
    SettingsStore settingsStore(settings);
    Form1 window(platform, settingsStore);

    QCOMPARE(window.variables().startDir, expectedStartDir);
    QCOMPARE(platform.directoryChanges, expectedChanges);
    QCOMPARE(selectedOption(window), expectedOption);
    QCOMPARE(separatorBox(window)->text(), expectedSeparator);
    QCOMPARE(separatorBox(window)->isReadOnly(), expectedLocked);
    QCOMPARE(openFileBox(window)->value(), expectedOpenFile);
    QCOMPARE(window.variables().toolPath, stored.value(kQuintrelPath));
    QCOMPARE(window.variables().toolPathUnset, expectedToolPathUnset);
    // Loading reports nothing, not even for a folder that cannot be entered.
    QCOMPARE(platform.messages.size(), 0);
}

void TestSettingsWindow::openNewFileIsReadAsANumber_data() {
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<int>("expectedBox");
    QTest::addColumn<int>("expectedSaved");
    QTest::addColumn<Stored>("storedAfterClose");

    const auto openFile = [](const char* text) {
        return Stored{{kOpenNewFile, QString::fromUtf8(text)}};
    };
    QTest::newRow("nothing stored ticks the box and closing writes nothing")
        << Stored{} << 1 << 1 << Stored{};
    QTest::newRow("0 leaves the box unticked") << openFile("0") << 0 << 0 << openFile("0");
    QTest::newRow("1 ticks the box") << openFile("1") << 1 << 1 << openFile("1");
    QTest::newRow("1.5 rounds to 2 and greys the box; the text stays stored")
        << openFile("1.5") << 2 << 2 << openFile("1.5");
    QTest::newRow("0.5 rounds to the even 0") << openFile("0.5") << 0 << 0 << openFile("0.5");
    QTest::newRow("2.5 rounds to the even 2") << openFile("2.5") << 2 << 2 << openFile("2.5");
    QTest::newRow("a leading blank is skipped") << openFile(" 1") << 1 << 1 << openFile(" 1");
    QTest::newRow("text without a number unticks the box")
        << openFile("abc") << 0 << 0 << openFile("abc");
    QTest::newRow("the empty text unticks the box") << openFile("") << 0 << 0 << openFile("");
    QTest::newRow("3 is no box value: ticked, and closing writes 1")
        << openFile("3") << 1 << 3 << openFile("1");
    QTest::newRow("-1 is no box value: ticked, and closing writes 1")
        << openFile("-1") << 1 << -1 << openFile("1");
    QTest::newRow("40000 overflows: ticked, and closing writes 1")
        << openFile("40000") << 1 << 32767 << openFile("1");
    QTest::newRow("1e9 overflows: ticked, and closing writes 1")
        << openFile("1e9") << 1 << 32767 << openFile("1");
    QTest::newRow("-99999 overflows: ticked, and closing writes 1")
        << openFile("-99999") << 1 << -32768 << openFile("1");
}

void TestSettingsWindow::openNewFileIsReadAsANumber() {
    QFETCH(Stored, stored);
    QFETCH(int, expectedBox);
    QFETCH(int, expectedSaved);
    QFETCH(Stored, storedAfterClose);

    store(iniPath(), stored);
    FakePlatform platform;
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        SettingsStore settingsStore(settings);
        Form1 window(platform, settingsStore);
        QCOMPARE(openFileBox(window)->value(), expectedBox);
        QCOMPARE(int(window.variables().savedOpenFile), expectedSaved);
        // Loading went on to the last step.
        QVERIFY(window.variables().toolPathUnset);
        window.close();
    }
    QCOMPARE(platform.messages.size(), 0);
    QCOMPARE(readBack(iniPath()), storedAfterClose);
}

void TestSettingsWindow::closingWritesOnlyWhatChanged_data() {
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<Action>("action");
    QTest::addColumn<Stored>("expectedWrites");

    const QString quintrel = native(QStringLiteral("/opt/quintrel/quintrel"));
    const Stored other{{kSeparator, QStringLiteral(",")}};

    QTest::newRow("closing right after a first start writes nothing")
        << Stored{} << Action::Nothing << Stored{};
    QTest::newRow("an Other separator typed again unchanged is not written")
        << other << Action::RetypeStoredSeparator << Stored{};
    QTest::newRow("a new separator typed under Other is written")
        << other << Action::TypeBarSeparator << Stored{{kSeparator, QStringLiteral("|")}};
    QTest::newRow("an emptied box under Other is written as the empty text")
        << other << Action::EmptySeparatorBox << Stored{{kSeparator, QString()}};
    QTest::newRow("going from Other back to Semicolon only writes ';'")
        << other << Action::PickSemicolonOnly << Stored{{kSeparator, QStringLiteral(";")}};
    QTest::newRow("ticking the box from 0 writes 1")
        << Stored{{kOpenNewFile, QStringLiteral("0")}} << Action::ClickOpenFileBox
        << Stored{{kOpenNewFile, QStringLiteral("1")}};
    QTest::newRow("unticking the box with nothing stored writes 0")
        << Stored{} << Action::ClickOpenFileBox << Stored{{kOpenNewFile, QStringLiteral("0")}};
    QTest::newRow("a Run into the start folder does not write Directory")
        << Stored{} << Action::RunIntoStartFolder << Stored{};
    QTest::newRow("a Run into another folder writes that folder as Directory")
        << Stored{} << Action::RunIntoOtherFolder
        << Stored{{kDirectory, QStringLiteral("<other folder>")}};
    QTest::newRow("a Quintrel located in this run is written")
        << Stored{} << Action::LocateQuintrel << Stored{{kQuintrelPath, quintrel}};
    QTest::newRow("a stored Quintrel path is never written again")
        << Stored{{kQuintrelPath, quintrel}} << Action::PressQuintrel << Stored{};
}

void TestSettingsWindow::closingWritesOnlyWhatChanged() {
    QFETCH(Stored, stored);
    QFETCH(Action, action);
    QFETCH(Stored, expectedWrites);

    // The start folder is the temporary folder, so that a Run really writes its New file.
    const QString startDir = native(dir_->path());
    const QString otherDir = native(dir_->filePath(QStringLiteral("other")));
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("other")));
    stored.insert(kDirectory, startDir);
    store(iniPath(), stored);

    FakePlatform platform;
    platform.currentDir = startDir;
    QSettings settings(iniPath(), QSettings::IniFormat);
    SettingsStore settingsStore(settings);
    Form1 window(platform, settingsStore);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Every value is replaced behind the window's back, as another copy of the program would:
    // what the window does not write keeps that mark.
    {
        QSettings other(iniPath(), QSettings::IniFormat);
        for (const QString& key : {kDirectory, kSeparator, kOpenNewFile, kQuintrelPath}) {
            other.setValue(QStringLiteral("Settings/") + key, kUntouched);
        }
    }

    QLineEdit* separator = separatorBox(window);
    switch (action) {
        case Action::Nothing:
            break;
        case Action::RetypeStoredSeparator:
            separator->clear();
            QTest::keyClicks(separator, QStringLiteral(","));
            break;
        case Action::TypeBarSeparator:
            separator->clear();
            QTest::keyClicks(separator, QStringLiteral("|"));
            break;
        case Action::EmptySeparatorBox:
            separator->clear();
            break;
        case Action::PickSemicolonOnly:
            QTest::mouseClick(window.findChild<QRadioButton*>(QStringLiteral("Option_Separator_0")),
                              Qt::LeftButton);
            break;
        case Action::ClickOpenFileBox:
            QTest::mouseClick(openFileBox(window), Qt::LeftButton);
            break;
        case Action::RunIntoStartFolder:
            runInto(window, platform, dir_->path(), dir_->path());
            break;
        case Action::RunIntoOtherFolder:
            runInto(window, platform, dir_->path(), dir_->filePath(QStringLiteral("other")));
            break;
        case Action::LocateQuintrel:
            platform.planChoice(native(QStringLiteral("/opt/quintrel/quintrel")));
            [[fallthrough]];
        case Action::PressQuintrel:
            QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command_Quintrel")),
                              Qt::LeftButton);
            break;
    }
    window.close();

    Stored expected{{kDirectory, kUntouched},
                    {kSeparator, kUntouched},
                    {kOpenNewFile, kUntouched},
                    {kQuintrelPath, kUntouched}};
    for (auto it = expectedWrites.begin(); it != expectedWrites.end(); ++it) {
        expected.insert(it.key(),
                        it.value() == QLatin1String("<other folder>") ? otherDir : it.value());
    }
    QCOMPARE(readBack(iniPath()), expected);
    // Nothing went to the error report on the way.
    for (const FakePlatform::Message& message : platform.messages) {
        QVERIFY2(message.title != QLatin1String("Corvane"), qPrintable(message.text));
    }
}

void TestSettingsWindow::valuesSurviveFromOneWindowToTheNext() {
    // The user's own store, in the temporary configuration folder.
    const QString newFileDir = native(dir_->path());
    const QString quintrel = native(QStringLiteral("/opt/quintrel/quintrel"));
    FakePlatform first;
    {
        const auto settings = SettingsStore::openUserSettings();
        SettingsStore settingsStore(*settings);
        Form1 window(first, settingsStore);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::mouseClick(window.findChild<QRadioButton*>(QStringLiteral("Option_Separator_2")),
                          Qt::LeftButton);
        QLineEdit* separator = separatorBox(window);
        separator->clear();
        QTest::keyClicks(separator, QStringLiteral(" ; "));
        QTest::mouseClick(openFileBox(window), Qt::LeftButton);
        runInto(window, first, dir_->path(), dir_->path());
        first.planChoice(quintrel);
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command_Quintrel")),
                          Qt::LeftButton);
        window.close();
    }
    QCOMPARE(first.launches.size(), 1);

    FakePlatform second;
    second.currentDir = native(QStringLiteral("/lab/setups"));
    const auto settings = SettingsStore::openUserSettings();
    SettingsStore settingsStore(*settings);
    Form1 window(second, settingsStore);
    QCOMPARE(window.variables().startDir, newFileDir);
    QCOMPARE(second.directoryChanges, QStringList{newFileDir});
    QCOMPARE(selectedOption(window), 2);
    QCOMPARE(separatorBox(window)->text(), QStringLiteral(" ; "));
    QCOMPARE(openFileBox(window)->value(), 0);
    QCOMPARE(window.variables().toolPath, quintrel);
    QVERIFY(!window.variables().toolPathUnset);
    QVERIFY(QFile::exists(configHome_.filePath(QStringLiteral("Corvane/Corvane.ini"))));
}

void TestSettingsWindow::aFailedSaveIsReportedWithTheFile() {
    // A regular file where the settings folder should be: the write fails for any user.
    QFile blocker(dir_->filePath(QStringLiteral("Corvane")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString ini = dir_->filePath(QStringLiteral("Corvane/Corvane.ini"));

    FakePlatform platform;
    {
        QSettings settings(ini, QSettings::IniFormat);
        SettingsStore settingsStore(settings);
        Form1 window(platform, settingsStore);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::mouseClick(openFileBox(window), Qt::LeftButton);
        window.close();
    }
    QCOMPARE(platform.messages.size(), 1);
    const FakePlatform::Message& report = platform.messages.constFirst();
    QCOMPARE(report.title, QStringLiteral("Corvane"));
    QCOMPARE(report.icon, corvane::MessageIcon::Critical);
    QVERIFY2(report.text.contains(native(ini)), qPrintable(report.text));
}

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
