// The leading-number reading of the stored "Open New File" value.
#include <QTest>

#include "core/error.h"
#include "core/number.h"

using corvane::leadingNumberToInt16;

class TestNumber : public QObject {
    Q_OBJECT

private slots:
    void readsTheLeadingNumber_data();
    void readsTheLeadingNumber();
    void refusesNumbersOutside16Bits_data();
    void refusesNumbersOutside16Bits();
};

void TestNumber::readsTheLeadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("a plain digit is that number") << QStringLiteral("1") << 1;
    QTest::newRow("zero is zero") << QStringLiteral("0") << 0;
    QTest::newRow("one and a half goes up to the even two") << QStringLiteral("1.5") << 2;
    QTest::newRow("a half goes down to the even zero") << QStringLiteral("0.5") << 0;
    QTest::newRow("two and a half goes down to the even two") << QStringLiteral("2.5") << 2;
    QTest::newRow("three and a half goes up to the even four") << QStringLiteral("3.5") << 4;
    QTest::newRow("just above a half goes up") << QStringLiteral("2.5000000000000000001") << 3;
    QTest::newRow("just below a half goes down") << QStringLiteral("1.4999999") << 1;
    QTest::newRow("a minus half goes to zero") << QStringLiteral("-0.5") << 0;
    QTest::newRow("a minus one and a half goes to minus two") << QStringLiteral("-1.5") << -2;
    QTest::newRow("leading blanks, tabs and line feeds are skipped")
        << QStringLiteral(" \t\n 1") << 1;
    QTest::newRow("blanks inside the number are skipped too") << QStringLiteral("1 2") << 12;
    QTest::newRow("a carriage return stops the reading") << QStringLiteral("\r1") << 0;
    QTest::newRow("reading stops at a letter") << QStringLiteral("2abc") << 2;
    QTest::newRow("reading stops at a second point") << QStringLiteral("1.2.9") << 1;
    QTest::newRow("reading stops at a comma, which is no decimal point")
        << QStringLiteral("1,9") << 1;
    QTest::newRow("text without a number gives zero") << QStringLiteral("abc") << 0;
    QTest::newRow("the empty text gives zero") << QString() << 0;
    QTest::newRow("a lone sign gives zero") << QStringLiteral("-") << 0;
    QTest::newRow("a lone point gives zero") << QStringLiteral(".") << 0;
    QTest::newRow("a fraction without integer digits counts") << QStringLiteral(".7") << 1;
    QTest::newRow("a plus sign is accepted") << QStringLiteral("+2") << 2;
    QTest::newRow("a minus sign makes it negative") << QStringLiteral("-1") << -1;
    QTest::newRow("an exponent scales the number") << QStringLiteral("2e1") << 20;
    QTest::newRow("a negative exponent scales it down") << QStringLiteral("15E-1") << 2;
    QTest::newRow("an exponent letter without digits ends the number") << QStringLiteral("3e") << 3;
    QTest::newRow("leading zeros carry no value") << QStringLiteral("000000000001") << 1;
    QTest::newRow("a tiny number is zero") << QStringLiteral("1e-99999999") << 0;
    QTest::newRow("zero with a huge exponent is still zero") << QStringLiteral("0e99999") << 0;
    QTest::newRow("the largest 16-bit value is kept") << QStringLiteral("32767") << 32767;
    QTest::newRow("the smallest 16-bit value is kept") << QStringLiteral("-32768") << -32768;
    QTest::newRow("a half below the largest rounds to the even bound")
        << QStringLiteral("32766.5") << 32766;
    QTest::newRow("minus the bound and a half rounds to the even bound")
        << QStringLiteral("-32768.5") << -32768;
}

void TestNumber::readsTheLeadingNumber() {
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(int(leadingNumberToInt16(text)), expected);
}

void TestNumber::refusesNumbersOutside16Bits_data() {
    QTest::addColumn<QString>("text");

    QTest::newRow("one past the largest value") << QStringLiteral("32768");
    QTest::newRow("a half past the largest value rounds up out of range")
        << QStringLiteral("32767.5");
    QTest::newRow("one below the smallest value") << QStringLiteral("-32769");
    QTest::newRow("forty thousand") << QStringLiteral("40000");
    QTest::newRow("ninety-nine thousand nine hundred ninety-nine") << QStringLiteral("99999");
    QTest::newRow("a billion written with an exponent") << QStringLiteral("1e9");
    QTest::newRow("a number with more digits than a double holds")
        << QStringLiteral("123456789012345678901234567890");
    QTest::newRow("an exponent too large for any number") << QStringLiteral("1e99999999999");
}

void TestNumber::refusesNumbersOutside16Bits() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(corvane::OverflowError, leadingNumberToInt16(text));
}

QTEST_APPLESS_MAIN(TestNumber)
#include "test_number.moc"
