// Entering the remembered start folder for real: a folder that cannot be entered is refused,
// and the current directory stays where it was.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/qt_platform.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TestSettingsStartFolder : public QObject {
    Q_OBJECT

private slots:
    void entersOnlyAFolderThatCanBeEntered_data();
    void entersOnlyAFolderThatCanBeEntered();
};

void TestSettingsStartFolder::entersOnlyAFolderThatCanBeEntered_data() {
    QTest::addColumn<QString>("name");  // inside the temporary folder
    QTest::addColumn<bool>("entered");

    QTest::newRow("a folder whose name holds a blank is entered")
        << QStringLiteral("lab setups") << true;
    QTest::newRow("a folder that has vanished is refused") << QStringLiteral("vanished") << false;
    QTest::newRow("the path of a file is refused") << QStringLiteral("file.dat") << false;
    QTest::newRow("a folder without the right to enter it is refused")
        << QStringLiteral("locked") << false;
}

void TestSettingsStartFolder::entersOnlyAFolderThatCanBeEntered() {
    QFETCH(QString, name);
    QFETCH(bool, entered);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir temp(dir.path());
    QVERIFY(temp.mkdir(QStringLiteral("lab setups")));
    QVERIFY(temp.mkdir(QStringLiteral("locked")));
    QVERIFY(QFile::setPermissions(temp.filePath(QStringLiteral("locked")), QFile::ReadOwner));
    QFile file(temp.filePath(QStringLiteral("file.dat")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
#ifdef Q_OS_UNIX
    if (name == QLatin1String("locked") && geteuid() == 0) {
        QSKIP("an administrator enters any folder");
    }
#endif

    corvane::QtPlatform platform;
    const QString before = platform.currentDirectory();
    const QString folder = QDir::toNativeSeparators(temp.filePath(name));
    const bool changed = platform.changeDirectory(folder);
    const QString after = platform.currentDirectory();
    QDir::setCurrent(before);

    QCOMPARE(changed, entered);
    QCOMPARE(after, entered ? folder : before);
    QFile::setPermissions(temp.filePath(QStringLiteral("locked")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_APPLESS_MAIN(TestSettingsStartFolder)
#include "test_settings_start_folder.moc"
