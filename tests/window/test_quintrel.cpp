// Locating Quintrel once and launching it, through the scripted platform.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "platform/fake_platform.h"
#include "settings/settings_store.h"
#include "window/form1.h"

using corvane::Form1;
using corvane::MessageButtons;
using corvane::MessageIcon;
using corvane::OpenFileRequest;
using corvane::SettingsStore;
using corvane::test::FakePlatform;

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QPushButton* button(const Form1& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

const QString kWarning = QStringLiteral(
    "Once the program has been closed and the path saved it can not be changed.\n"
    "\n"
    "To change the path delete this key in the Registry and restart this program:\n"
    "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Corvane\\Settings\\quintrelPath");

}  // namespace

class TestQuintrel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void theDialogAndTheWarningComeBeforeTheLaunch();
    void pressesFollowTheStoredPath_data();
    void pressesFollowTheStoredPath();

private:
    QString iniPath() const { return dir_->filePath(QStringLiteral("Corvane.ini")); }

    QTemporaryDir configHome_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestQuintrel::initTestCase() {
    QVERIFY(configHome_.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
}

void TestQuintrel::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestQuintrel::theDialogAndTheWarningComeBeforeTheLaunch() {
    FakePlatform platform;
    QSettings settings(iniPath(), QSettings::IniFormat);
    SettingsStore store(settings);
    Form1 window(platform, store);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // What had been started when each dialog or message box was shown.
    QList<qsizetype> launchesWhileModal;
    platform.whileModal = [&] { launchesWhileModal.append(platform.launches.size()); };
    const QString quintrel = native(QStringLiteral("/opt/quintrel/quintrel"));
    platform.planChoice(quintrel);
    QTest::mouseClick(button(window, "Command_Quintrel"), Qt::LeftButton);

    OpenFileRequest expected;
    expected.title = QStringLiteral("Find Quintrel");
#ifdef Q_OS_WIN
    expected.initDir = QStringLiteral("c:\\Program Files\\Quintrel");
#else
    expected.initDir = QStringLiteral("/opt/quintrel");
#endif
    expected.cancelError = true;
    expected.fileName = QString();
    expected.filter = QStringLiteral("Program Files (*.exe)|*.exe|All Files (*.*)|*.*");
    expected.flags = 12;
    QCOMPARE(platform.openRequests.size(), 1);
    QCOMPARE(platform.openRequests.constFirst(), expected);

    QCOMPARE(platform.messages.size(), 1);
    const FakePlatform::Message& warning = platform.messages.constFirst();
    QCOMPARE(warning.text, kWarning);
    QCOMPARE(warning.title, QStringLiteral("Quintrel"));
    QCOMPARE(warning.icon, MessageIcon::Exclamation);
    QCOMPARE(warning.buttons, MessageButtons::Ok);

    QCOMPARE(launchesWhileModal, (QList<qsizetype>{0, 0}));
    QCOMPARE(platform.launches.size(), 1);
    QCOMPARE(platform.launches.constFirst().program, quintrel);
    QCOMPARE(platform.launches.constFirst().arguments, QStringList());
}

void TestQuintrel::pressesFollowTheStoredPath_data() {
    QTest::addColumn<QString>("storedPath");
    QTest::addColumn<QStringList>("choices");  // per dialog; empty for Cancel
    QTest::addColumn<int>("presses");
    QTest::addColumn<bool>("startSucceeds");
    QTest::addColumn<bool>("runEnabled");
    QTest::addColumn<int>("expectedDialogs");
    QTest::addColumn<int>("expectedWarnings");
    QTest::addColumn<QStringList>("expectedLaunches");
    QTest::addColumn<QString>("expectedFocus");
    QTest::addColumn<QString>("expectedSaved");

    const QString quintrel = native(QStringLiteral("/opt/quintrel/quintrel"));
    const QString other = native(QStringLiteral("/usr/local/bin/quintrel"));
    const QString notes = native(QStringLiteral("/home/lab/notes.txt"));
    const QString none;

    QTest::newRow("on a first start a cancelled dialog does nothing and saves nothing")
        << none << QStringList{none} << 1 << true << false << 1 << 0 << QStringList{}
        << QStringLiteral("Command_Quintrel") << none;
    QTest::newRow("after a cancel the next press asks again")
        << none << QStringList{none, quintrel} << 2 << true << false << 2 << 1
        << QStringList{quintrel} << QStringLiteral("Command_File_0") << quintrel;
    QTest::newRow("a chosen program starts and the focus goes to the first Find")
        << none << QStringList{quintrel} << 1 << true << false << 1 << 1 << QStringList{quintrel}
        << QStringLiteral("Command_File_0") << quintrel;
    QTest::newRow("with Run enabled the focus goes to Run")
        << none << QStringList{quintrel} << 1 << true << true << 1 << 1 << QStringList{quintrel}
        << QStringLiteral("Command_Run") << quintrel;
    QTest::newRow("a second press in the same run asks and warns again")
        << none << QStringList{quintrel, other} << 2 << true << false << 2 << 2
        << QStringList{quintrel, other} << QStringLiteral("Command_File_0") << other;
    QTest::newRow("a cancel after a choice keeps the chosen path")
        << none << QStringList{quintrel, none} << 2 << true << false << 2 << 1
        << QStringList{quintrel} << QStringLiteral("Command_Quintrel") << quintrel;
    QTest::newRow("a file that does not start fails silently, keeps the focus and is saved")
        << none << QStringList{notes} << 1 << false << false << 1 << 1 << QStringList{notes}
        << QStringLiteral("Command_Quintrel") << notes;
    QTest::newRow("a stored path starts at every press without dialog or warning")
        << quintrel << QStringList{} << 2 << true << false << 0 << 0
        << QStringList{quintrel, quintrel} << QStringLiteral("Command_File_0") << quintrel;
    QTest::newRow("a stored path whose program is gone does nothing visible")
        << quintrel << QStringList{} << 1 << false << false << 0 << 0 << QStringList{quintrel}
        << QStringLiteral("Command_Quintrel") << quintrel;
}

void TestQuintrel::pressesFollowTheStoredPath() {
    QFETCH(QString, storedPath);
    QFETCH(QStringList, choices);
    QFETCH(int, presses);
    QFETCH(bool, startSucceeds);
    QFETCH(bool, runEnabled);
    QFETCH(int, expectedDialogs);
    QFETCH(int, expectedWarnings);
    QFETCH(QStringList, expectedLaunches);
    QFETCH(QString, expectedFocus);
    QFETCH(QString, expectedSaved);

    if (!storedPath.isNull()) {
        QSettings seed(iniPath(), QSettings::IniFormat);
        seed.setValue(QStringLiteral("Settings/quintrelPath"), storedPath);
    }
    FakePlatform platform;
    platform.startSucceeds = startSucceeds;
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        SettingsStore store(settings);
        Form1 window(platform, store);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        if (runEnabled) {
            platform.planChoice(native(QStringLiteral("/lab/init.dat")));
            platform.planChoice(native(QStringLiteral("/lab/reference.dat")));
            QTest::mouseClick(button(window, "Command_File_0"), Qt::LeftButton);
            QTest::mouseClick(button(window, "Command_File_1"), Qt::LeftButton);
            QVERIFY(button(window, "Command_Run")->isEnabled());
            platform.openRequests.clear();
        }
        for (const QString& choice : choices) {
            if (choice.isNull()) {
                platform.openAnswers.push_back(std::nullopt);
            } else {
                platform.planChoice(choice);
            }
        }
        for (int i = 0; i < presses; ++i) {
            // A click on the button gives it the focus, as the user's would.
            QTest::mouseClick(button(window, "Command_Quintrel"), Qt::LeftButton);
        }

        QCOMPARE(platform.openRequests.size(), expectedDialogs);
        // The warning is the only message: failures end the press without one.
        QCOMPARE(platform.messages.size(), expectedWarnings);
        for (const FakePlatform::Message& message : platform.messages) {
            QCOMPARE(message.title, QStringLiteral("Quintrel"));
        }
        QStringList launched;
        for (const FakePlatform::Launch& launch : platform.launches) {
            QCOMPARE(launch.arguments, QStringList());
            launched.append(launch.program);
        }
        QCOMPARE(launched, expectedLaunches);
        QVERIFY(QApplication::focusWidget() != nullptr);
        QCOMPARE(QApplication::focusWidget()->objectName(), expectedFocus);
        QCOMPARE(window.variables().toolPathUnset, storedPath.isNull());
        window.close();
    }
    QSettings reread(iniPath(), QSettings::IniFormat);
    QCOMPARE(reread.value(QStringLiteral("Settings/quintrelPath")).toString(), expectedSaved);
}

QTEST_MAIN(TestQuintrel)
#include "test_quintrel.moc"
