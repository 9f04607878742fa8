// Quintrel started for real: the file at the stored path runs directly, never through a shell.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt_platform.h"
#include "settings/settings_store.h"
#include "window/form1.h"

using corvane::Form1;
using corvane::QtPlatform;
using corvane::SettingsStore;

class TestQuintrelLaunch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsTheFileAtThePath_data();
    void startsTheFileAtThePath();

private:
    QString startDir_;
    std::unique_ptr<QTemporaryDir> dir_;
    QTimer modalWatch_;
    QStringList modalTitles_;
};

void TestQuintrelLaunch::initTestCase() {
#ifdef Q_OS_WIN
    QSKIP("the launched program is a shell script");
#endif
    // A message box would wait for a user that never comes: note its title and close it.
    modalWatch_.setInterval(50);
    connect(&modalWatch_, &QTimer::timeout, this, [this] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modalTitles_.append(modal->windowTitle());
            modal->close();
        }
    });
    modalWatch_.start();
}

void TestQuintrelLaunch::init() {
    startDir_ = QDir::currentPath();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    modalTitles_.clear();
}

void TestQuintrelLaunch::cleanup() {
    // Loading the window entered the temporary folder.
    QDir::setCurrent(startDir_);
}

void TestQuintrelLaunch::startsTheFileAtThePath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");

    QTest::newRow("a folder name with a blank")
        << QStringLiteral("Quintrel Lab") << QStringLiteral("quintrel");
    QTest::newRow("a name that a shell would read as two commands")
        << QStringLiteral("bin") << QStringLiteral("quintrel; touch injected");
    QTest::newRow("a name with quotes, a dollar sign and a redirection")
        << QStringLiteral("it's $HOME") << QStringLiteral("quintrel \"a\" > injected");
}

void TestQuintrelLaunch::startsTheFileAtThePath() {
    QFETCH(QString, folder);
    QFETCH(QString, name);

    QVERIFY(QDir(dir_->path()).mkpath(folder));
    const QString program = dir_->filePath(folder + QLatin1Char('/') + name);
    const QString marker = dir_->filePath(QStringLiteral("started"));
    const QString injected = dir_->filePath(QStringLiteral("injected"));
    {
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // The stored folder is entered at load, so a shell would create "injected" there.
    {
        QSettings seed(dir_->filePath(QStringLiteral("Corvane.ini")), QSettings::IniFormat);
        seed.setValue(QStringLiteral("Settings/Directory"), QDir::toNativeSeparators(dir_->path()));
        seed.setValue(QStringLiteral("Settings/quintrelPath"), program);
    }
    QtPlatform platform;
    QSettings settings(dir_->filePath(QStringLiteral("Corvane.ini")), QSettings::IniFormat);
    SettingsStore store(settings);
    Form1 window(platform, store);
    QCOMPARE(QDir::currentPath(), dir_->path());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // A path that names no file starts nothing, whatever a shell would make of it.
    const QString missing = program + QStringLiteral("-missing; touch injected");
    QVERIFY(!platform.startProgram(missing, {}));

    auto* quintrel = window.findChild<QPushButton*>(QStringLiteral("Command_Quintrel"));
    QTest::mouseClick(quintrel, Qt::LeftButton);
    QTRY_VERIFY(QFile::exists(marker));
    // Started without a message, and the focus moved on to the first "Find".
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command_File_0"));
    QVERIFY(!QFile::exists(injected));
    QCOMPARE(modalTitles_, QStringList());
}

QTEST_MAIN(TestQuintrelLaunch)
#include "test_quintrel_launch.moc"
