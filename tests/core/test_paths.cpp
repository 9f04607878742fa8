#include <QTest>

#include "core/error.h"
#include "core/paths.h"

using namespace Qt::StringLiterals;

class TestPaths : public QObject {
    Q_OBJECT

private slots:
    void followsThePathRules_data() {
        QTest::addColumn<char>("rule");  // Complete, Folder or Propose
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("other");  // the current folder, or the Reference file's name
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, char rule, char separator, const char* path,
                            const char* other, const char* expected) {
            QTest::newRow(name) << rule << QChar::fromLatin1(separator) << QString::fromUtf8(path)
                                << QString::fromUtf8(other) << QString::fromUtf8(expected);
        };
        row("a bare name goes into the current folder", 'C', '\\', "new.dat", "C:\\work",
            "C:\\work\\new.dat");
        row("a bare name in a drive's root gets one separator", 'C', '\\', "new.dat", "C:\\",
            "C:\\new.dat");
        row("a path with a separator keeps its doubled ones", 'C', '\\', "D:\\a\\\\b.dat", "C:\\",
            "D:\\a\\\\b.dat");
        row("a network folder keeps the two separators that open it", 'C', '\\', "new.dat",
            "\\\\lab\\s", "\\\\lab\\s\\new.dat");
        row("a bare name in the root gets one slash", 'C', '/', "new.dat", "/", "/new.dat");
        row("a file's folder loses its separator", 'F', '\\', "D:\\setups\\New_ref.dat", "",
            "D:\\setups");
        row("a file in a drive's root gives the drive", 'F', '\\', "C:\\new.dat", "", "C:");
        row("a file in the root gives the root", 'F', '/', "/new.dat", "", "/");
        row("a backslash does not separate beside slashes", 'F', '/', "/home/a\\b.dat", "",
            "/home");
        row("the proposal puts New_ in the Reference folder", 'P', '\\', "D:\\s\\r.dat", "r.dat",
            "D:\\s\\New_r.dat");
        row("the proposal in the root", 'P', '/', "/r.dat", "r.dat", "/New_r.dat");

        // Run holds the last separator's position in 16 bits.
        const QString a(32766, u'a');
        QTest::newRow("a last separator at position 32,767 gives its folder")
            << 'F' << QChar(u'\\') << a + u"\\x.dat"_s << QString() << a;
        QTest::newRow("a last separator at position 32,768 overflows")
            << 'F' << QChar(u'\\') << a + u"a\\x.dat"_s << QString() << u"<overflow>"_s;
        QTest::newRow("a last slash at position 32,768 gives no proposal")
            << 'P' << QChar(u'/') << a + u"a/x.dat"_s << u"x.dat"_s << u"<overflow>"_s;
    }

    void followsThePathRules() {
        QFETCH(char, rule);
        QFETCH(QChar, separator);
        QFETCH(QString, path);
        QFETCH(QString, other);
        QFETCH(QString, expected);
        QString actual;
        try {
            actual = rule == 'C'   ? corvane::completeWithFolder(path, other, separator)
                     : rule == 'F' ? corvane::folderOf(path, separator)
                                   : corvane::proposeNewFile(path, other, separator);
        } catch (const corvane::OverflowError&) {
            actual = u"<overflow>"_s;
        }
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
