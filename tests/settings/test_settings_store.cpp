// The store of remembered values over a real INI file.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "core/error.h"
#include "settings/settings_store.h"

using corvane::SettingsStore;
using namespace Qt::StringLiterals;
namespace keys = corvane::keys;

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void everyTextRoundTripsUnderEveryKey_data();
    void everyTextRoundTripsUnderEveryKey();
    void aFailedSaveNamesTheSettingsFile();
};

void TestSettingsStore::everyTextRoundTripsUnderEveryKey_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("a semicolon") << u";"_s;
    QTest::newRow("a semicolon and colon") << u";:"_s;
    QTest::newRow("a comma, which INI files put between list items") << u","_s;
    QTest::newRow("a comma and a blank") << u", "_s;
    QTest::newRow("blanks around a semicolon") << u" ; "_s;
    QTest::newRow("the empty text, which differs from nothing stored") << QString();
    QTest::newRow("quotes") << uR"("a" 'b')"_s;
    QTest::newRow("backslashes") << uR"(C:\Program Files\Quintrel\quintrel.exe)"_s;
    QTest::newRow("a hash, which starts INI comments") << u"#"_s;
    QTest::newRow("an at sign, which marks INI variants") << u"@Variant(x)"_s;
    QTest::newRow("an equals sign") << u"="_s;
    QTest::newRow("letters beyond ASCII") << u"Grüße, Ωμ, 測定"_s;
}

void TestSettingsStore::everyTextRoundTripsUnderEveryKey() {
    QFETCH(QString, text);
    const QLatin1String all[] = {keys::Directory, keys::Separator, keys::OpenNewFile,
                                 keys::QuintrelPath};
    const QTemporaryDir dir;
    const QString ini = dir.filePath(u"Corvane.ini"_s);
    {
        QSettings settings(ini, QSettings::IniFormat);
        SettingsStore store(settings);
        for (const QLatin1String key : all) {
            QCOMPARE(store.get(key, u"absent"_s), u"absent"_s);
            store.save(key, text);
        }
    }
    // A copy, because a QSettings on the same path would answer from the first one's cache.
    QVERIFY(QFile::copy(ini, ini + u".copy"_s));
    QSettings settings(ini + u".copy"_s, QSettings::IniFormat);
    const SettingsStore store(settings);
    for (const QLatin1String key : all) {
        QCOMPARE(store.get(key, u"absent"_s), text);
    }
}

void TestSettingsStore::aFailedSaveNamesTheSettingsFile() {
    // A file where the settings folder should be fails the save for any user, root included.
    const QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath(u"Corvane"_s)).open(QIODevice::WriteOnly));
    const QString ini = QDir::toNativeSeparators(dir.filePath(u"Corvane/Corvane.ini"_s));
    QSettings settings(ini, QSettings::IniFormat);
    SettingsStore store(settings);
    try {
        store.save(keys::Separator, u","_s);
        QFAIL("the save succeeded");
    } catch (const corvane::Error& error) {
        QVERIFY2(error.message().contains(ini), qPrintable(error.message()));
    }
}

QTEST_APPLESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
