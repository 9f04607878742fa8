#include <QTest>

#include "core/retry.h"

using corvane::TryResult;

class TestRetry : public QObject {
    Q_OBJECT

private slots:
    // A rename that other programs hold up for a while, then ends as given.
    void retriesOnlyWhileBusy_data() {
        QTest::addColumn<int>("busyTries");
        QTest::addColumn<TryResult>("thenEnds");
        QTest::addColumn<int>("expectedTries");
        QTest::addColumn<TryResult>("expected");
        QTest::newRow("a file held for two tries is committed on the third")
            << 2 << TryResult::Done << 3 << TryResult::Done;
        QTest::newRow("a file held for ten tries is reported after the tenth")
            << 10 << TryResult::Done << 10 << TryResult::Busy;
        QTest::newRow("a refusal that waiting cannot change is reported at once")
            << 0 << TryResult::Failed << 1 << TryResult::Failed;
    }

    void retriesOnlyWhileBusy() {
        QFETCH(int, busyTries);
        QFETCH(TryResult, thenEnds);
        QFETCH(int, expectedTries);
        QFETCH(TryResult, expected);
        int tries = 0;
        const TryResult result = corvane::retryWhileBusy(
            [&] { return ++tries <= busyTries ? TryResult::Busy : thenEnds; });
        QCOMPARE(tries, expectedTries);
        QCOMPARE(result, expected);
    }
};

QTEST_GUILESS_MAIN(TestRetry)
#include "test_retry.moc"
