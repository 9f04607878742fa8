#include <QTest>

#include <functional>

#include "core/error.h"
#include "core/paths.h"

using namespace Qt::StringLiterals;

namespace {
const QChar backslash = u'\\';
const QChar slash = u'/';
}  // namespace

class TestPaths : public QObject {
    Q_OBJECT

private slots:
    void completesABareNameWithTheCurrentFolder_data();
    void completesABareNameWithTheCurrentFolder();
    void appendsDatWhereItDoesNotOccur_data();
    void appendsDatWhereItDoesNotOccur();
    void folderIsEverythingBeforeTheLastSeparator_data();
    void folderIsEverythingBeforeTheLastSeparator();
    void proposesNewBeforeTheReferenceName_data();
    void proposesNewBeforeTheReferenceName();
    void lastSeparatorMustLieWithin16BitPositions_data();
    void lastSeparatorMustLieWithin16BitPositions();
};

void TestPaths::completesABareNameWithTheCurrentFolder_data() {
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("currentDir");
    QTest::addColumn<QString>("completed");

    QTest::newRow("a bare name goes into the current folder")
        << backslash << u"new.dat"_s << u"C:\\work"_s << u"C:\\work\\new.dat"_s;
    QTest::newRow("a bare name in the root of a drive gets one separator")
        << backslash << u"new.dat"_s << u"C:\\"_s << u"C:\\new.dat"_s;
    QTest::newRow("a path with a folder is left alone")
        << backslash << u"D:\\setups\\new.dat"_s << u"C:\\work"_s << u"D:\\setups\\new.dat"_s;
    QTest::newRow("doubled separators in a path with a folder are kept")
        << backslash << u"D:\\a\\\\b.dat"_s << u"C:\\work"_s << u"D:\\a\\\\b.dat"_s;
    QTest::newRow("a relative path with a separator is left alone")
        << backslash << u"sub\\new.dat"_s << u"C:\\work"_s << u"sub\\new.dat"_s;
    QTest::newRow("a slash is an ordinary character beside backslashes")
        << backslash << u"a/b.dat"_s << u"C:\\work"_s << u"C:\\work\\a/b.dat"_s;
    QTest::newRow("a network folder keeps the two separators that open it")
        << backslash << u"new.dat"_s << u"\\\\lab\\setups"_s << u"\\\\lab\\setups\\new.dat"_s;
    QTest::newRow("a bare name goes into the current folder with slashes")
        << slash << u"new.dat"_s << u"/home/lab"_s << u"/home/lab/new.dat"_s;
    QTest::newRow("a bare name in the root gets one slash")
        << slash << u"new.dat"_s << u"/"_s << u"/new.dat"_s;
    QTest::newRow("a backslash is an ordinary character beside slashes")
        << slash << u"a\\b.dat"_s << u"/home/lab"_s << u"/home/lab/a\\b.dat"_s;
    QTest::newRow("doubled slashes in a path with a folder are kept")
        << slash << u"/srv//b.dat"_s << u"/home/lab"_s << u"/srv//b.dat"_s;
}

void TestPaths::completesABareNameWithTheCurrentFolder() {
    QFETCH(QChar, separator);
    QFETCH(QString, path);
    QFETCH(QString, currentDir);
    QFETCH(QString, completed);

    QCOMPARE(corvane::completeWithFolder(path, currentDir, separator), completed);
}

void TestPaths::appendsDatWhereItDoesNotOccur_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("withExtension");

    QTest::newRow("a name without extension gets .dat") << u"C:\\new"_s << u"C:\\new.dat"_s;
    QTest::newRow("a name with .dat is left alone") << u"C:\\new.dat"_s << u"C:\\new.dat"_s;
    QTest::newRow("another extension gets .dat after it")
        << u"D:\\s\\New_ref.txt"_s << u"D:\\s\\New_ref.txt.dat"_s;
    QTest::newRow("upper-case .DAT does not count") << u"/lab/new.DAT"_s << u"/lab/new.DAT.dat"_s;
    QTest::newRow(".dat anywhere in the path counts")
        << u"/lab/old.dat.bak"_s << u"/lab/old.dat.bak"_s;
    QTest::newRow(".dat at the start of a longer extension counts")
        << u"/lab/new.data"_s << u"/lab/new.data"_s;
}

void TestPaths::appendsDatWhereItDoesNotOccur() {
    QFETCH(QString, path);
    QFETCH(QString, withExtension);

    QCOMPARE(corvane::withDatExtension(path), withExtension);
}

void TestPaths::folderIsEverythingBeforeTheLastSeparator_data() {
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");

    QTest::newRow("a file in a folder gives the folder without its separator")
        << backslash << u"D:\\setups\\New_ref.dat"_s << u"D:\\setups"_s;
    QTest::newRow("a file in the root of a drive gives the drive")
        << backslash << u"C:\\new.dat"_s << u"C:"_s;
    QTest::newRow("a doubled separator keeps one of the pair")
        << backslash << u"D:\\a\\\\b.dat"_s << u"D:\\a\\"_s;
    QTest::newRow("a file in a network folder gives that folder")
        << backslash << u"\\\\lab\\setups\\new.dat"_s << u"\\\\lab\\setups"_s;
    QTest::newRow("a file in a folder gives the folder with slashes")
        << slash << u"/home/lab/new.dat"_s << u"/home/lab"_s;
    QTest::newRow("a file in the root gives the root") << slash << u"/new.dat"_s << u"/"_s;
    QTest::newRow("a backslash does not separate folders beside slashes")
        << slash << u"/home/a\\b.dat"_s << u"/home"_s;
    QTest::newRow("a name without any folder has no folder")
        << backslash << u"new.dat"_s << QString();
    QTest::newRow("a name without any slash has no folder") << slash << u"new.dat"_s << QString();
}

void TestPaths::folderIsEverythingBeforeTheLastSeparator() {
    QFETCH(QChar, separator);
    QFETCH(QString, path);
    QFETCH(QString, folder);

    QCOMPARE(corvane::folderOf(path, separator), folder);
}

void TestPaths::proposesNewBeforeTheReferenceName_data() {
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("proposal");

    QTest::newRow("a Reference file in a folder")
        << backslash << u"D:\\setups\\scope.dat"_s << u"scope.dat"_s
        << u"D:\\setups\\New_scope.dat"_s;
    QTest::newRow("a Reference file with another extension keeps it")
        << backslash << u"D:\\s\\ref.txt"_s << u"ref.txt"_s << u"D:\\s\\New_ref.txt"_s;
    QTest::newRow("a Reference file in the root of a drive")
        << backslash << u"C:\\ref.dat"_s << u"ref.dat"_s << u"C:\\New_ref.dat"_s;
    QTest::newRow("a Reference file without folder gives a bare name")
        << backslash << u"ref.dat"_s << u"ref.dat"_s << u"New_ref.dat"_s;
    QTest::newRow("a Reference file in a folder with slashes")
        << slash << u"/home/lab/scope.dat"_s << u"scope.dat"_s << u"/home/lab/New_scope.dat"_s;
    QTest::newRow("a Reference file in the root")
        << slash << u"/ref.dat"_s << u"ref.dat"_s << u"/New_ref.dat"_s;
}

void TestPaths::proposesNewBeforeTheReferenceName() {
    QFETCH(QChar, separator);
    QFETCH(QString, reference);
    QFETCH(QString, name);
    QFETCH(QString, proposal);

    QCOMPARE(corvane::proposeNewFile(reference, name, separator), proposal);
}

void TestPaths::lastSeparatorMustLieWithin16BitPositions_data() {
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("fits");

    for (const QChar separator : {backslash, slash}) {
        const char* name = separator == backslash ? "backslash" : "slash";
        QTest::addRow("a last %s at position 32,767 fits", name)
            << separator << QString(32766, u'a') + separator + u"x.dat"_s << true;
        QTest::addRow("a last %s at position 32,768 overflows", name)
            << separator << QString(32767, u'a') + separator + u"x.dat"_s << false;
        QTest::addRow("a long name after an early %s fits", name)
            << separator << u"C:"_s + separator + QString(40000, u'n') << true;
    }
}

void TestPaths::lastSeparatorMustLieWithin16BitPositions() {
    QFETCH(QChar, separator);
    QFETCH(QString, path);
    QFETCH(bool, fits);

    const qsizetype cut = path.lastIndexOf(separator);
    if (fits) {
        QCOMPARE(corvane::folderOf(path, separator), path.left(cut));
        QCOMPARE(corvane::proposeNewFile(path, u"x.dat"_s, separator),
                 path.left(cut + 1) + u"New_x.dat"_s);
    } else {
        QVERIFY_THROWS_EXCEPTION(corvane::OverflowError, corvane::folderOf(path, separator));
        QVERIFY_THROWS_EXCEPTION(corvane::OverflowError,
                                 corvane::proposeNewFile(path, u"x.dat"_s, separator));
    }
}

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
