#include <QRandomGenerator>
#include <QTest>

#include "core/command_list.h"
#include "core/error.h"
#include "core/literal_oracle.h"

using namespace Qt::StringLiterals;

class TestCommandList : public QObject {
    Q_OBJECT

private slots:
    void keepsReferenceCommandsAbsentFromInit_data() {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("init");
        QTest::addColumn<QString>("result");
        const auto row = [](const char* name, const char* separator, const char* reference,
                            const char* init, const char* result) {
            QTest::newRow(name) << QString::fromUtf8(separator) << QString::fromUtf8(reference)
                                << QString::fromUtf8(init) << QString::fromUtf8(result);
        };
        row("a command present with its separator is dropped", ";", "A;B;D", "B;", "A;D");
        row("an empty Init list keeps every command", ";", "A;B;D", "", "A;B;D");
        row("a command inside a longer Init command is present", ";", "B;D", "AB;", "D");
        row("the bare last command is found without a separator", ";", "A;B;D", "D", "A;B;");
        row("a bare Init command is not the command with its separator", ";", "A;B;", "B", "A;B;");
        row("a leading separator belongs to the first command", ";", ";A;B", "", ";A;B");
        row("two leading separators belong to the first command", ";", ";;A", "", ";;A");
        row("a doubled separator starts the next command", ";", "A;;B", "", "A;;B");
        row("a doubled separator at the end is one command", ";", "A;;", "", "A;;");
        row("a line of one separator is one command", ";", ";", "", ";");
        row("a line of two separators is one command", ";", ";;", "", ";;");
        row("a line without separator is one command", ";", "ABD", "", "ABD");
        row("a long separator at the end leaves an empty last cut", ";:", "A;:B;:", "", "A;:B;:");
        row("half a long separator belongs to the command", ";:", "A;:B;", "", "A;:B;");
        row("a doubled long separator starts the next command", ";:", "A;:;:B", "", "A;:;:B");
        row("a separator overlapping itself cuts at its first start", ";;", "A;;;B", "", "A;;;B");
        row("a separator longer than the line leaves one command", ";;;", "AB", "", "AB");
        row("an empty Reference list gives an empty result", ";", "", "A;B;", "");
        row("a command twice in the Reference list is kept twice", ";", "A;A;B;", "B;", "A;A;");
        row("letter case counts", ";", "rst;", "RST;", "rst;");
        row("commands with blanks all present leave nothing", ";", "VOLT 1;CURR 2",
            "VOLT 1;CURR 2;", "");
        row("a long separator stays with the absent command",
            ";:", "RST;:VOLT 5;:", "RST;:", "VOLT 5;:");

        // At the limit the Reference list and the separator hold 32,767 characters together.
        const QString a(32763, u';');      // with ";" many equal commands, with ";:" one
        const QString init(100000, u'z');  // the Init list has no limit of its own
        const QString over = u"<overflow>"_s;
        QTest::newRow("32,766 characters ending in ; fit")
            << u";"_s << a + u"AA;"_s << init << a + u"AA;"_s;
        QTest::newRow("32,767 characters ending in ; overflow")
            << u";"_s << a + u"AAA;"_s << init << over;
        QTest::newRow("32,767 characters without separator overflow")
            << u";"_s << QString(32767, u'A') << init << over;
        QTest::newRow("32,765 characters ending in ;: fit")
            << u";:"_s << a + u";:"_s << init << a + u";:"_s;
        QTest::newRow("32,766 characters ending in ;: overflow")
            << u";:"_s << a + u"A;:"_s << init << over;
    }

    void keepsReferenceCommandsAbsentFromInit() {
        QFETCH(QString, separator);
        QFETCH(QString, reference);
        QFETCH(QString, init);
        QFETCH(QString, result);

        QString actual;
        try {
            actual = corvane::FilterCommandList(reference, init, separator);
        } catch (const corvane::OverflowError& error) {
            // No partial result, and a message that gives the length and the limit.
            actual = error.message();
            QVERIFY2(
                actual.contains(QString::number(reference.size())) && actual.contains(u"32767"_s),
                qPrintable(actual));
            actual = u"<overflow>"_s;
        }
        QCOMPARE(actual, result);
    }

    void agreesWithTheLiteralRule() {
        // Small alphabets, so that commands repeat and occur in Init by chance.
        QRandomGenerator random(1);
        for (const QString& alphabet : {u"AB;:"_s, u"A ;:\n"_s, u"\u03a9;\u00b5\u2192\xd83d"_s,
                                        u"A;"_s, u"ABC;:, \u00e9"_s}) {
            const auto text = [&](int length) {
                QString t;
                while (t.size() < length) {
                    t += alphabet.at(random.bounded(int(alphabet.size())));
                }
                return t;
            };
            for (int round = 0; round < 3000; ++round) {
                const QString separator = text(1 + random.bounded(3));
                const QString reference = text(random.bounded(round % 5 == 0 ? 400 : 40));
                // Pieces of the Reference list make its commands present more often; a long
                // Init list takes the combined search, and its z's match no command.
                QString init =
                    QString(round % 10 == 0 ? 20000 : 0, u'z') + text(random.bounded(40));
                for (int i = random.bounded(5); i > 0 && !reference.isEmpty(); --i) {
                    init += reference.mid(random.bounded(int(reference.size())), 8);
                }
                QVERIFY2(corvane::FilterCommandList(reference, init, separator) ==
                             corvane::literalFilterCommandList(reference, init, separator),
                         qPrintable(u"reference \"%1\", init \"%2\", separator \"%3\""_s.arg(
                             reference, init.left(200), separator)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandList)
#include "test_command_list.moc"
