#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <optional>

#include "core/command_list.h"
#include "core/error.h"
#include "core/literal_oracle.h"

using namespace Qt::StringLiterals;

namespace {

// Either the result or the message of the overflow error, so that two forms of the comparison
// can be held against each other in one QCOMPARE.
struct Outcome {
    std::optional<QString> result;
    QString overflow;
    bool operator==(const Outcome&) const = default;
};

template <typename Filter>
Outcome outcomeOf(Filter filter, const QString& reference, const QString& init,
                  const QString& separator) {
    try {
        return {filter(reference, init, separator), {}};
    } catch (const corvane::OverflowError&) {
        return {std::nullopt, u"overflow"_s};
    }
}

QString describe(const QString& text) {
    QString shown;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            shown += c;
        } else {
            shown += u"\\u%1"_s.arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return shown;
}

// A line of exactly length characters, cut by separator every few characters when cut is set.
QString lineOfLength(qsizetype length, const QString& separator, bool cut) {
    QString line;
    line.reserve(length);
    while (line.size() < length) {
        if (cut && line.size() % 7 == 6 && line.size() + separator.size() <= length) {
            line += separator;
        } else {
            line += QLatin1Char('A' + line.size() % 5);
        }
    }
    return line;
}

}  // namespace

class TestCommandList : public QObject {
    Q_OBJECT

private slots:
    void keepsReferenceCommandsAbsentFromInit_data();
    void keepsReferenceCommandsAbsentFromInit();
    void longestReferenceListThatFits_data();
    void longestReferenceListThatFits();
    void overflowSaysWhatIsTooLong();
    void agreesWithTheLiteralRule_data();
    void agreesWithTheLiteralRule();
};

void TestCommandList::keepsReferenceCommandsAbsentFromInit_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("init");
    QTest::addColumn<QString>("result");

    QTest::newRow("a command present with its separator is dropped")
        << u";"_s << u"A;B;D"_s << u"B;"_s << u"A;D"_s;
    QTest::newRow("an empty Init list keeps every command")
        << u";"_s << u"A;B;D"_s << u""_s << u"A;B;D"_s;
    QTest::newRow("a command inside a longer Init command counts as present")
        << u";"_s << u"B;D"_s << u"AB;"_s << u"D"_s;
    QTest::newRow("the bare last command is found without a separator")
        << u";"_s << u"A;B;D"_s << u"D"_s << u"A;B;"_s;
    QTest::newRow("a bare Init command does not make the command with its separator present")
        << u";"_s << u"A;B;"_s << u"B"_s << u"A;B;"_s;
    QTest::newRow("a leading separator belongs to the first command")
        << u";"_s << u";A;B"_s << u""_s << u";A;B"_s;
    QTest::newRow("two leading separators both belong to the first command")
        << u";"_s << u";;A"_s << u""_s << u";;A"_s;
    QTest::newRow("a doubled separator starts the next command")
        << u";"_s << u"A;;B"_s << u""_s << u"A;;B"_s;
    QTest::newRow("a doubled separator at the end is one command")
        << u";"_s << u"A;;"_s << u""_s << u"A;;"_s;
    QTest::newRow("a line of one separator is one command") << u";"_s << u";"_s << u""_s << u";"_s;
    QTest::newRow("a line of two separators is one command")
        << u";"_s << u";;"_s << u""_s << u";;"_s;
    QTest::newRow("a line without separator is one command")
        << u";"_s << u"ABD"_s << u""_s << u"ABD"_s;
    QTest::newRow("a two-character separator at the end cuts an empty last command")
        << u";:"_s << u"A;:B;:"_s << u""_s << u"A;:B;:"_s;
    QTest::newRow("half a two-character separator at the end is part of the command")
        << u";:"_s << u"A;:B;"_s << u""_s << u"A;:B;"_s;
    QTest::newRow("a doubled two-character separator starts the next command")
        << u";:"_s << u"A;:;:B"_s << u""_s << u"A;:;:B"_s;
    QTest::newRow("a separator overlapping itself is cut at its first occurrence")
        << u";;"_s << u"A;;;B"_s << u""_s << u"A;;;B"_s;
    QTest::newRow("a separator longer than the line leaves one command")
        << u";;;"_s << u"AB"_s << u""_s << u"AB"_s;
    QTest::newRow("an empty Reference list gives an empty result")
        << u";"_s << u""_s << u"A;B;"_s << u""_s;
    QTest::newRow("a command twice in the Reference list is kept twice")
        << u";"_s << u"A;A;B;"_s << u"B;"_s << u"A;A;"_s;
    QTest::newRow("letter case counts") << u";"_s << u"rst;"_s << u"RST;"_s << u"rst;"_s;
    QTest::newRow("commands with blanks all present give an empty result")
        << u";"_s << u"VOLT 1;CURR 2"_s << u"VOLT 1;CURR 2;"_s << u""_s;
    QTest::newRow("a blank is part of the command after it")
        << u";"_s << u"A; B"_s << u"A;B"_s << u" B"_s;
    QTest::newRow("a blank command is present only where Init holds the blank")
        << u";"_s << u"A; B"_s << u"A; B;"_s << u""_s;
    QTest::newRow("a separator of one blank cuts at blanks")
        << u" "_s << u"RST VOLT OUTP"_s << u"VOLT "_s << u"RST OUTP"_s;
    QTest::newRow("a command across the join of two Init commands counts as present")
        << u";"_s << u"B;C;X"_s << u"AB;C;"_s << u"X"_s;
    QTest::newRow("line feeds inside commands are ordinary characters")
        << u";"_s << u"A\n;B\n"_s << u"B\n"_s << u"A\n;"_s;
    QTest::newRow("a two-character separator with commands present")
        << u";:"_s << u"RST;:VOLT 5;:"_s << u"RST;:"_s << u"VOLT 5;:"_s;
    QTest::newRow("characters outside Latin-1 are compared by code")
        << u"\u2192"_s << u"\u03a9\u2192\u00b5\u2192\u2126"_s << u"\u03a9\u2192\u03c9"_s
        << u"\u00b5\u2192\u2126"_s;
}

void TestCommandList::keepsReferenceCommandsAbsentFromInit() {
    QFETCH(QString, separator);
    QFETCH(QString, reference);
    QFETCH(QString, init);
    QFETCH(QString, result);

    try {
        QCOMPARE(corvane::FilterCommandList(reference, init, separator), result);
    } catch (const corvane::Error& error) {
        QFAIL(qPrintable(error.message()));
    }
}

void TestCommandList::longestReferenceListThatFits_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("fits");

    const auto endingIn = [](qsizetype length, const QString& separator) {
        return lineOfLength(length - separator.size(), separator, true) + separator;
    };
    QTest::newRow("32,766 characters without separator fit with ;")
        << u";"_s << lineOfLength(32766, u";"_s, false) << true;
    QTest::newRow("32,766 characters cut by ; fit")
        << u";"_s << lineOfLength(32766, u";"_s, true) << true;
    QTest::newRow("32,766 characters ending in ; fit") << u";"_s << endingIn(32766, u";"_s) << true;
    QTest::newRow("32,767 characters without separator overflow with ;")
        << u";"_s << lineOfLength(32767, u";"_s, false) << false;
    QTest::newRow("32,767 characters ending in ; overflow")
        << u";"_s << endingIn(32767, u";"_s) << false;
    QTest::newRow("32,765 characters ending in ;: fit")
        << u";:"_s << endingIn(32765, u";:"_s) << true;
    QTest::newRow("32,765 characters without separator fit with ;:")
        << u";:"_s << lineOfLength(32765, u";:"_s, false) << true;
    QTest::newRow("32,766 characters ending in ;: overflow")
        << u";:"_s << endingIn(32766, u";:"_s) << false;
    QTest::newRow("32,766 characters without separator overflow with ;:")
        << u";:"_s << lineOfLength(32766, u";:"_s, false) << false;
    QTest::newRow("40,000 characters overflow")
        << u";"_s << lineOfLength(40000, u";"_s, true) << false;
}

void TestCommandList::longestReferenceListThatFits() {
    QFETCH(QString, separator);
    QFETCH(QString, reference);
    QFETCH(bool, fits);

    // The Init list has no limit of its own; a long one must not count towards the line's.
    const QString init = QString(100000, QLatin1Char('z'));
    if (fits) {
        try {
            QCOMPARE(corvane::FilterCommandList(reference, init, separator), reference);
        } catch (const corvane::Error& error) {
            QFAIL(qPrintable(error.message()));
        }
    } else {
        QVERIFY_THROWS_EXCEPTION(corvane::OverflowError,
                                 corvane::FilterCommandList(reference, init, separator));
    }
}

void TestCommandList::overflowSaysWhatIsTooLong() {
    const QString reference = lineOfLength(40000, u";:"_s, true);
    try {
        corvane::FilterCommandList(reference, u"RST;:"_s, u";:"_s);
        QFAIL("a Reference list of 40,000 characters was accepted");
    } catch (const corvane::OverflowError& error) {
        // Digits are compared without grouping marks, however the number is written.
        const QString message = error.message();
        const QString digits =
            QString(message).remove(QRegularExpression(u"(?<=\\d)[,. ](?=\\d{3})"_s));
        QVERIFY2(message.contains(u"Reference command list"_s, Qt::CaseInsensitive) &&
                     message.contains(u"too long"_s),
                 qPrintable(message));
        QVERIFY2(digits.contains(u"40000"_s), qPrintable(message));
        QVERIFY2(digits.contains(u"32767"_s), qPrintable(message));
    }
}

void TestCommandList::agreesWithTheLiteralRule_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QString>("alphabet");
    QTest::addColumn<int>("longest");

    QTest::newRow("short lines of letters and separators") << 1u << u"AB;:"_s << 24;
    QTest::newRow("lines with blanks and a line feed") << 2u << u"A ;:\n"_s << 40;
    QTest::newRow("characters outside Latin-1 and a lone surrogate")
        << 3u << u"\u03a9;\u00b5\u2192\xd83d"_s << 40;
    QTest::newRow("two letters and one separator character make many repeats")
        << 4u << u"A;"_s << 60;
    QTest::newRow("longer lines over a wider alphabet") << 5u << u"ABC;:, \u00e9"_s << 400;
}

void TestCommandList::agreesWithTheLiteralRule() {
    QFETCH(quint32, seed);
    QFETCH(QString, alphabet);
    QFETCH(int, longest);

    QRandomGenerator random(seed);
    const auto text = [&](int length) {
        QString t;
        for (int i = 0; i < length; ++i) {
            t += alphabet.at(random.bounded(int(alphabet.size())));
        }
        return t;
    };

    for (int round = 0; round < 3000; ++round) {
        const QString separator = text(1 + random.bounded(3));
        const QString reference = text(random.bounded(longest + 1));
        QString init;
        switch (random.bounded(4)) {
            case 0:
                init = text(random.bounded(longest + 1));
                break;
            case 1:
                // Pieces of the Reference list make commands present more often than chance does.
                for (int i = random.bounded(5); i > 0 && !reference.isEmpty(); --i) {
                    const int from = random.bounded(int(reference.size()));
                    init += reference.mid(from, 1 + random.bounded(8)) + text(random.bounded(3));
                }
                break;
            case 2:
                init = text(random.bounded(20000));
                break;
            default:
                break;
        }
        const auto expected =
            outcomeOf(corvane::literalFilterCommandList, reference, init, separator);
        const auto actual = outcomeOf(corvane::FilterCommandList, reference, init, separator);
        QVERIFY2(
            actual == expected,
            qPrintable(
                u"reference \"%1\", init \"%2\", separator \"%3\": expected \"%4\", got \"%5\""_s
                    .arg(describe(reference), describe(init.left(200)), describe(separator),
                         expected.result ? describe(*expected.result) : expected.overflow,
                         actual.result ? describe(*actual.result) : actual.overflow)));
    }

    // Lines around the limit, where the end test and the overflow meet.
    for (int round = 0; round < 12; ++round) {
        const QString separator = text(1 + random.bounded(3));
        const qsizetype length = corvane::kCommandListLimit - 4 + random.bounded(6);
        QString reference;
        while (reference.size() < length) {
            reference += random.bounded(6) == 0 ? separator : text(1);
        }
        reference.truncate(length);
        const QString init = text(random.bounded(longest + 1));
        QCOMPARE(outcomeOf(corvane::FilterCommandList, reference, init, separator),
                 outcomeOf(corvane::literalFilterCommandList, reference, init, separator));
    }
}

QTEST_GUILESS_MAIN(TestCommandList)
#include "test_command_list.moc"
