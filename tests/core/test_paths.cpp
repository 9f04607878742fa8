#include <QTest>

#include "core/error.h"
#include "core/paths.h"

using namespace Qt::StringLiterals;

namespace {
enum class Rule { Complete, Folder, Propose };
}  // namespace

Q_DECLARE_METATYPE(Rule)

class TestPaths : public QObject {
    Q_OBJECT

private slots:
    void followsThePathRules_data() {
        QTest::addColumn<Rule>("rule");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("other");  // the current folder, or the Reference file's name
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, Rule rule, char separator, const char* path,
                            const char* other, const char* expected) {
            QTest::newRow(name) << rule << QChar::fromLatin1(separator) << QString::fromUtf8(path)
                                << QString::fromUtf8(other) << QString::fromUtf8(expected);
        };
        const auto C = Rule::Complete, F = Rule::Folder, P = Rule::Propose;
        row("a bare name goes into the current folder", C, '\\', "new.dat", "C:\\work",
            "C:\\work\\new.dat");
        row("a bare name in a drive's root gets one separator", C, '\\', "new.dat", "C:\\",
            "C:\\new.dat");
        row("a path with a separator keeps its doubled ones", C, '\\', "D:\\a\\\\b.dat", "C:\\",
            "D:\\a\\\\b.dat");
        row("a network folder keeps the two separators that open it", C, '\\', "new.dat",
            "\\\\lab\\setups", "\\\\lab\\setups\\new.dat");
        row("a bare name in the root gets one slash", C, '/', "new.dat", "/", "/new.dat");
        row("a file's folder loses its separator", F, '\\', "D:\\setups\\New_ref.dat", "",
            "D:\\setups");
        row("a file in a drive's root gives the drive", F, '\\', "C:\\new.dat", "", "C:");
        row("a file in the root gives the root", F, '/', "/new.dat", "", "/");
        row("a backslash does not separate beside slashes", F, '/', "/home/a\\b.dat", "", "/home");
        row("a name without folder has no folder", F, '\\', "new.dat", "", "");
        row("the proposal puts New_ in the Reference folder", P, '\\', "D:\\s\\scope.dat",
            "scope.dat", "D:\\s\\New_scope.dat");
        row("the proposal in the root", P, '/', "/ref.dat", "ref.dat", "/New_ref.dat");

        const QString before(32766, u'a');
        QTest::newRow("a last separator at position 32,767 gives its folder")
            << F << QChar(u'\\') << before + u"\\x.dat"_s << QString() << before;
        QTest::newRow("a last separator at position 32,768 overflows")
            << F << QChar(u'\\') << before + u"a\\x.dat"_s << QString() << u"<overflow>"_s;
        QTest::newRow("a last slash at position 32,767 gives a proposal")
            << P << QChar(u'/') << before + u"/x.dat"_s << u"x.dat"_s << before + u"/New_x.dat"_s;
        QTest::newRow("a last slash at position 32,768 gives no proposal")
            << P << QChar(u'/') << before + u"a/x.dat"_s << u"x.dat"_s << u"<overflow>"_s;
    }

    void followsThePathRules() {
        QFETCH(Rule, rule);
        QFETCH(QChar, separator);
        QFETCH(QString, path);
        QFETCH(QString, other);
        QFETCH(QString, expected);
        const auto apply = [&] {
            switch (rule) {
                case Rule::Complete:
                    return corvane::completeWithFolder(path, other, separator);
                case Rule::Folder:
                    return corvane::folderOf(path, separator);
                case Rule::Propose:
                    break;
            }
            return corvane::proposeNewFile(path, other, separator);
        };
        try {
            QCOMPARE(apply(), expected);
        } catch (const corvane::OverflowError&) {
            QCOMPARE(u"<overflow>"_s, expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
