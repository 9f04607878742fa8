// The remembered start folder entered for real when the window loads.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt_platform.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/form1.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using corvane::Form1;
using corvane::QtPlatform;
using corvane::SettingsStore;

class TestSettingsStartFolder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadingEntersOrPassesOverTheFolder_data();
    void loadingEntersOrPassesOverTheFolder();

private:
    QString startDir_;
    std::unique_ptr<QTemporaryDir> dir_;
    QTimer modalWatch_;
    QStringList modalTexts_;
};

void TestSettingsStartFolder::initTestCase() {
    // An error report would wait for a user that never comes: note its text and close it.
    modalWatch_.setInterval(50);
    connect(&modalWatch_, &QTimer::timeout, this, [this] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modalTexts_.append(modal->windowTitle());
            modal->close();
        }
    });
    modalWatch_.start();
}

void TestSettingsStartFolder::init() {
    startDir_ = QDir::currentPath();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    modalTexts_.clear();
}

void TestSettingsStartFolder::cleanup() {
    QDir::setCurrent(startDir_);
    QFile::setPermissions(dir_->filePath(QStringLiteral("locked")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestSettingsStartFolder::loadingEntersOrPassesOverTheFolder_data() {
    QTest::addColumn<QString>("stored");  // relative to the temporary folder
    QTest::addColumn<bool>("entered");

    QTest::newRow("a folder whose name holds a blank is entered")
        << QStringLiteral("lab setups") << true;
    QTest::newRow("a folder that has vanished is passed over")
        << QStringLiteral("vanished") << false;
    QTest::newRow("the path of a file is passed over") << QStringLiteral("file.dat") << false;
    QTest::newRow("a folder without the right to enter it is passed over")
        << QStringLiteral("locked") << false;
}

void TestSettingsStartFolder::loadingEntersOrPassesOverTheFolder() {
    QFETCH(QString, stored);
    QFETCH(bool, entered);

    QDir temp(dir_->path());
    QVERIFY(temp.mkdir(QStringLiteral("lab setups")));
    QVERIFY(temp.mkdir(QStringLiteral("locked")));
    QVERIFY(QFile::setPermissions(temp.filePath(QStringLiteral("locked")), QFile::ReadOwner));
    QFile file(temp.filePath(QStringLiteral("file.dat")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
#ifdef Q_OS_UNIX
    if (stored == QLatin1String("locked") && geteuid() == 0) {
        QSKIP("an administrator enters any folder");
    }
#endif

    const QString folder = QDir::toNativeSeparators(temp.filePath(stored));
    {
        QSettings seed(temp.filePath(QStringLiteral("Corvane.ini")), QSettings::IniFormat);
        seed.setValue(QStringLiteral("Settings/Directory"), folder);
        seed.setValue(QStringLiteral("Settings/Separator"), QStringLiteral("|"));
        seed.setValue(QStringLiteral("Settings/Open New File"), QStringLiteral("0"));
        seed.setValue(QStringLiteral("Settings/quintrelPath"), QStringLiteral("/opt/quintrel/q"));
    }
    QtPlatform platform;
    QSettings settings(temp.filePath(QStringLiteral("Corvane.ini")), QSettings::IniFormat);
    SettingsStore store(settings);
    Form1 window(platform, store);

    QCOMPARE(platform.currentDirectory(), entered ? folder : QDir::toNativeSeparators(startDir_));
    QCOMPARE(window.variables().startDir, folder);
    // The rest of the settings are restored either way, without a report.
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("Text_Separator"))->text(),
             QStringLiteral("|"));
    QCOMPARE(
        window.findChild<corvane::TriStateCheckBox*>(QStringLiteral("Check_OpenFile"))->value(), 0);
    QCOMPARE(window.variables().toolPath, QStringLiteral("/opt/quintrel/q"));
    QCOMPARE(modalTexts_, QStringList());
}

QTEST_MAIN(TestSettingsStartFolder)
#include "test_settings_start_folder.moc"
