// The store of remembered values over a real INI file.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "core/error.h"
#include "settings/settings_store.h"

using corvane::SettingsStore;

namespace {

const QLatin1String kAllKeys[] = {corvane::keys::Directory, corvane::keys::Separator,
                                  corvane::keys::OpenNewFile, corvane::keys::QuintrelPath};

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

}  // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void init();

    void everyTextRoundTripsUnderEveryKey_data();
    void everyTextRoundTripsUnderEveryKey();
    void absentAndEmptyValuesDiffer();
    void handEditedValuesReadAsTyped_data();
    void handEditedValuesReadAsTyped();
    void failuresNameTheSettingsFile();
    void userSettingsFollowTheConfigFolder();

private:
    QString iniPath() const { return dir_->filePath(QStringLiteral("Corvane.ini")); }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestSettingsStore::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestSettingsStore::everyTextRoundTripsUnderEveryKey_data() {
    QTest::addColumn<QString>("text");

    QTest::newRow("a semicolon") << QStringLiteral(";");
    QTest::newRow("a semicolon and colon") << QStringLiteral(";:");
    QTest::newRow("a comma, which INI files use between list items") << QStringLiteral(",");
    QTest::newRow("a comma and a blank") << QStringLiteral(", ");
    QTest::newRow("blanks around a semicolon") << QStringLiteral(" ; ");
    QTest::newRow("the empty text") << QString();
    QTest::newRow("quotes") << QStringLiteral("\"a\" 'b'");
    QTest::newRow("backslashes of a Windows path")
        << QStringLiteral("C:\\Program Files\\Quintrel\\quintrel.exe");
    QTest::newRow("a hash, which starts INI comments") << QStringLiteral("#");
    QTest::newRow("an at sign, which marks INI variants") << QStringLiteral("@Variant(x)");
    QTest::newRow("an equals sign") << QStringLiteral("=");
    QTest::newRow("a number as text") << QStringLiteral("1");
    QTest::newRow("letters beyond ASCII") << QStringLiteral("Grüße, Ωμ, 測定");
    QTest::newRow("a line feed and a tab") << QStringLiteral("a\nb\tc");
}

void TestSettingsStore::everyTextRoundTripsUnderEveryKey() {
    QFETCH(QString, text);
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        SettingsStore store(settings);
        for (const QLatin1String key : kAllKeys) {
            store.save(key, text);
        }
    }
    // A fresh QSettings reads what the file holds, not what the first one cached.
    QSettings settings(iniPath(), QSettings::IniFormat);
    const SettingsStore store(settings);
    for (const QLatin1String key : kAllKeys) {
        QCOMPARE(store.get(key, QStringLiteral("default")), text);
    }
}

void TestSettingsStore::absentAndEmptyValuesDiffer() {
    QSettings settings(iniPath(), QSettings::IniFormat);
    SettingsStore store(settings);
    QCOMPARE(store.get(corvane::keys::Separator, QStringLiteral(";")), QStringLiteral(";"));
    QCOMPARE(store.get(corvane::keys::QuintrelPath), QString());

    store.save(corvane::keys::Separator, QString());
    QCOMPARE(store.get(corvane::keys::Separator, QStringLiteral(";")), QString());
}

void TestSettingsStore::handEditedValuesReadAsTyped_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");

    QTest::newRow("a lone comma is the comma") << QByteArray("Separator=,") << QStringLiteral(",");
    QTest::newRow("text with a comma keeps it")
        << QByteArray("Separator=a,b") << QStringLiteral("a,b");
    QTest::newRow("a trailing comma is kept") << QByteArray("Separator=a,") << QStringLiteral("a,");
    QTest::newRow("a quoted value is its content")
        << QByteArray("Separator=\" ; \"") << QStringLiteral(" ; ");
    QTest::newRow("an unquoted semicolon starts a comment, so nothing is read")
        << QByteArray("Separator=;") << QString();
}

void TestSettingsStore::handEditedValuesReadAsTyped() {
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    writeFile(iniPath(), "[Settings]\n" + line + '\n');
    QSettings settings(iniPath(), QSettings::IniFormat);
    const SettingsStore store(settings);
    QCOMPARE(store.get(corvane::keys::Separator, QStringLiteral("default")), expected);
}

void TestSettingsStore::failuresNameTheSettingsFile() {
    // A regular file where the settings folder should be: neither reading nor writing can
    // succeed, whoever runs the test.
    const QString blocker = dir_->filePath(QStringLiteral("Corvane"));
    writeFile(blocker, "not a folder");
    const QString unwritable = blocker + QStringLiteral("/Corvane.ini");
    QSettings blocked(unwritable, QSettings::IniFormat);
    SettingsStore store(blocked);
    try {
        store.save(corvane::keys::Separator, QStringLiteral(","));
        QFAIL("saving into a path under a file succeeded");
    } catch (const corvane::Error& error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(unwritable)),
                 qPrintable(error.message()));
    }

    // A folder where the settings file should be cannot be read.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("Folder.ini")));
    const QString unreadable = dir_->filePath(QStringLiteral("Folder.ini"));
    QSettings folder(unreadable, QSettings::IniFormat);
    const SettingsStore folderStore(folder);
    try {
        folderStore.get(corvane::keys::Separator, QStringLiteral(";"));
        QFAIL("reading a folder as the settings file succeeded");
    } catch (const corvane::Error& error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(unreadable)),
                 qPrintable(error.message()));
    }
}

void TestSettingsStore::userSettingsFollowTheConfigFolder() {
#ifdef Q_OS_WIN
    QSKIP("the registry location is fixed on Windows");
#else
    // QSettings reads XDG_CONFIG_HOME once per process, so this is the only test that opens
    // the user's store.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_->path()));
    const auto settings = SettingsStore::openUserSettings();
    SettingsStore store(*settings);
    store.save(corvane::keys::OpenNewFile, QStringLiteral("0"));
    const QString expected = dir_->filePath(QStringLiteral("Corvane/Corvane.ini"));
    QCOMPARE(store.location(), expected);
    QSettings reread(expected, QSettings::IniFormat);
    QCOMPARE(reread.value(QStringLiteral("Settings/Open New File")).toString(),
             QStringLiteral("0"));
#endif
}

QTEST_APPLESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
