// The window's frame, and its settings saved once however the program ends.
#include <QTimer>

#include "window_harness.h"

using namespace Qt::StringLiterals;
using corvane::test::WindowHarness;

class TestWindowLifecycle : public QObject {
    Q_OBJECT

private slots:
    void isFixedWithoutTheWindowsDialogFrame() {
        WindowHarness window({}, false);
        const Qt::WindowFlags flags = window.form->windowFlags();
        // That frame keeps the native size on a screen of another scale, clipping the layout.
        QVERIFY(!flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    }

    void savesSettingsOnceWhenTheProgramEnds_data() {
        QTest::addColumn<bool>("closedFirst");
        QTest::addColumn<QString>("stored");  // the separator in the store after the end
        QTest::newRow("ending with the window open, as at logoff, saves the settings")
            << false << u";:"_s;
        QTest::newRow("ending after the window closed does not save them again") << true << u""_s;
    }

    void savesSettingsOnceWhenTheProgramEnds() {
        QFETCH(bool, closedFirst);
        QFETCH(QString, stored);
        WindowHarness window;
        QTest::mouseClick(window.option(1), Qt::LeftButton);
        if (closedFirst) {
            window.form->close();
            window.ini.clear();  // a second save would write the separator back
        }
        // The event loop ends without closing the window, as the session's end makes it.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        QCOMPARE(window.form->isVisible(), !closedFirst);
        QCOMPARE(window.store.get(corvane::keys::Separator), stored);
    }
};

QTEST_MAIN(TestWindowLifecycle)
#include "test_window_lifecycle.moc"
