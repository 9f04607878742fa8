// The window's controls: initial state, placement, Tab order, focus rules and the check box.
#include <QGroupBox>

#include "window_harness.h"

using namespace Qt::StringLiterals;
using corvane::test::WindowHarness;

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void startsEmptyWithRunDisabled() {
        WindowHarness window({}, false);
        QVERIFY_THROWS_EXCEPTION(corvane::FocusRefused, window.form->EnableRun());
        QVERIFY_THROWS_EXCEPTION(corvane::FocusRefused, window.form->Label_File_DblClick(1));
        // Option "Other" swallows the refusal and still unlocks the box.
        window.form->Option_Separator_Click(2);
        QVERIFY(!window.separator()->isReadOnly());

        QVERIFY(window.show());
        QCOMPARE(window.form->windowTitle(), u"Corvane, v1.00 - June 2015/Vesk"_s);
        QVERIFY(!window.form->windowIcon().isNull());
        QCOMPARE(window.form->minimumSize(), QSize(468, 160));
        QCOMPARE(window.form->maximumSize(), QSize(468, 160));
        QCOMPARE(window.find(0)->geometry(), QRect(384, 8, 77, 21));
        QCOMPARE(window.get<QGroupBox>("Frame1")->geometry(), QRect(4, 92, 197, 61));
        QCOMPARE(window.get<QGroupBox>("Frame1")->title(), u"Command separator"_s);
        QCOMPARE(window.option(2)->geometry(), QRect(136, 16, 53, 13));  // inside the frame
        QVERIFY(!window.run()->isEnabled());
        QVERIFY(window.label(0)->text().isEmpty() && window.label(1)->text().isEmpty());
        QVERIFY(window.textFile()->text().isEmpty());
        QCOMPARE(WindowHarness::focused(), u"Command_File_0"_s);
        // Only a focused button answers Enter.
        window.textFile()->setFocus();
        for (const QPushButton* button : window.form->findChildren<QPushButton*>()) {
            QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
        }
    }
    void tabsInOrder_data() {
        QTest::addColumn<bool>("runEnabled");
        QTest::addColumn<int>("selected");
        QTest::newRow("a disabled Run is skipped") << false << 0;
        QTest::newRow("an enabled Run is visited") << true << 0;
        QTest::newRow("the options' one stop is the selected one") << false << 2;
    }
    void tabsInOrder() {
        QFETCH(bool, runEnabled);
        QFETCH(int, selected);
        QStringList expected{
            u"Command_File_1"_s,   u"Text_File"_s,
            u"Command_Run"_s,      u"Option_Separator_"_s + QString::number(selected),
            u"Text_Separator"_s,   u"Check_OpenFile"_s,
            u"Command_Quintrel"_s, u"Command_Clear"_s,
            u"Command_File_0"_s};
        if (!runEnabled) {
            expected.removeOne(u"Command_Run"_s);
        }
        WindowHarness window;
        window.run()->setEnabled(runEnabled);
        // Another option had the focus last; Tab must still land on the selected one.
        QTest::mouseClick(window.option((selected + 1) % 3), Qt::LeftButton);
        window.option(selected)->setChecked(true);
        window.find(0)->setFocus();
        QStringList visited;
        while (visited.size() < expected.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << WindowHarness::focused();
        }
        QCOMPARE(visited, expected);
    }
    void checkBoxNeverGreysAgain() {
        WindowHarness window;
        window.openFile()->setValue(2);
        QList<int> values;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(window.openFile(), Qt::LeftButton);
            values << window.openFile()->value();
        }
        QCOMPARE(values, QList<int>({1, 0, 1}));
        // A value other than 0, 1 or 2 is refused and leaves the box as it was.
        QVERIFY_THROWS_EXCEPTION(corvane::Error, window.openFile()->setValue(3));
        QCOMPARE(window.openFile()->value(), 1);
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
