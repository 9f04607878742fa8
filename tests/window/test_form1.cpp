// The window's controls: layout, initial state, tab order, focus rules and the check box.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "window_harness.h"

using corvane::FocusRefused;
using corvane::test::WindowHarness;

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void startsWithRunDisabledAndTheFieldsEmpty();
    void placesEachControl_data();
    void placesEachControl();
    void fitsEveryCaption();
    void tabVisitsTheControlsInOrder_data();
    void tabVisitsTheControlsInOrder();
    void refusesTheFocusWhileHidden();
    void checkBoxCycles_data();
    void checkBoxCycles();
    void checkBoxRefusesOtherValues();
    void pathLabelShowsThePathAsTooltip();
};

void TestForm1::startsWithRunDisabledAndTheFieldsEmpty() {
    WindowHarness window;
    QVERIFY(window.show());
    QCOMPARE(window.form->windowTitle(), QStringLiteral("Corvane, v1.00 - June 2015/Vesk"));
    QCOMPARE(window.form->size(), QSize(468, 160));
    QCOMPARE(window.form->minimumSize(), window.form->maximumSize());
    QVERIFY(!window.run()->isEnabled());
    QVERIFY(window.label(0)->text().isEmpty());
    QVERIFY(window.label(1)->text().isEmpty());
    QVERIFY(window.textFile()->text().isEmpty());
    QVERIFY(window.textSeparator()->isReadOnly() || window.option(2)->isChecked());
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_File_0"));
    // A focused button answers Enter; with the focus elsewhere none does.
    window.textFile()->setFocus();
    for (const QPushButton* button : window.form->findChildren<QPushButton*>()) {
        QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
    }
}

void TestForm1::placesEachControl_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("caption");

    const auto row = [](const char* sentence, const char* name, QRect geometry,
                        const char* container, const char* caption) {
        QTest::newRow(sentence) << QString::fromLatin1(name) << geometry
                                << QString::fromLatin1(container) << QString::fromLatin1(caption);
    };
    row("the first Find button is at the top right", "Command_File_0", {384, 8, 77, 21}, "Form1",
        "Find");
    row("the second Find button is below it", "Command_File_1", {384, 36, 77, 21}, "Form1", "Find");
    row("the New file box is in the third row", "Text_File", {64, 64, 309, 21}, "Form1", "");
    row("Run ends the third row", "Command_Run", {384, 64, 77, 21}, "Form1", "Run");
    row("Semicolon only is in the frame's left column", "Option_Separator_0", {12, 20, 97, 13},
        "Frame1", "Semicolon only");
    row("Semicolon + Colon is below it", "Option_Separator_1", {12, 40, 109, 13}, "Frame1",
        "Semicolon + Colon");
    row("Other heads the frame's right column", "Option_Separator_2", {136, 16, 53, 13}, "Frame1",
        "Other");
    row("the separator box is below Other", "Text_Separator", {136, 36, 45, 19}, "Frame1", "");
    row("the check box is above Run Quintrel", "Check_OpenFile", {216, 100, 153, 13}, "Form1",
        "Open New File when done");
    row("Run Quintrel is at the bottom", "Command_Quintrel", {216, 128, 149, 21}, "Form1",
        "Run Quintrel");
    row("Clear is under Run", "Command_Clear", {384, 96, 77, 21}, "Form1", "Clear");
    row("the Init path field is in the first row", "Label_File_0", {64, 8, 309, 21}, "Form1", "");
    row("the Init caption starts the first row", "Label1_0", {8, 12, 49, 17}, "Form1",
        "Init File:");
    row("the Reference path field is in the second row", "Label_File_1", {64, 36, 309, 21}, "Form1",
        "");
    row("the Reference caption starts the second row", "Label1_1", {8, 40, 49, 17}, "Form1",
        "Ref File:");
    row("the New file caption starts the third row", "Label1_2", {8, 68, 49, 17}, "Form1",
        "New File:");
    row("the frame is at the bottom left", "Frame1", {4, 92, 197, 61}, "Form1",
        "Command separator");
}

void TestForm1::placesEachControl() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, container);
    QFETCH(QString, caption);

    WindowHarness window;
    const QWidget* control = window.form->findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->parentWidget()->objectName(), container);
    QString shown;
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        shown = button->text();
    } else if (const auto* label = qobject_cast<const QLabel*>(control)) {
        shown = label->text();
    } else if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
        shown = frame->title();
    } else {
        return;  // the boxes' texts belong to the initial state and the separator choice
    }
    QCOMPARE(shown, caption);
}

void TestForm1::fitsEveryCaption() {
    WindowHarness window;
    for (const QAbstractButton* button : window.form->findChildren<QAbstractButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QStyle::SubElement contents =
            qobject_cast<const QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
            : qobject_cast<const QCheckBox*>(button)  ? QStyle::SE_CheckBoxContents
                                                      : QStyle::SE_PushButtonContents;
        const QRect area = button->style()->subElementRect(contents, &option, button);
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= area.width(),
                 qPrintable(button->objectName()));
    }
    for (const QLabel* label : window.form->findChildren<QLabel*>()) {
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width() ||
                     label->objectName().startsWith(QLatin1String("Label_File")),
                 qPrintable(label->objectName()));
    }
    // The indicators are drawn whole inside their 13-pixel-high controls.
    QVERIFY(window.option(0)->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight) <= 13);
    QVERIFY(window.openFile()->style()->pixelMetric(QStyle::PM_IndicatorHeight) <= 13);
}

void TestForm1::tabVisitsTheControlsInOrder_data() {
    QTest::addColumn<bool>("runEnabled");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("visits");

    const auto visits = [](bool withRun, int option) {
        QStringList names{QStringLiteral("Command_File_1"), QStringLiteral("Text_File")};
        if (withRun) {
            names << QStringLiteral("Command_Run");
        }
        names << QStringLiteral("Option_Separator_%1").arg(option)
              << QStringLiteral("Text_Separator") << QStringLiteral("Check_OpenFile")
              << QStringLiteral("Command_Quintrel") << QStringLiteral("Command_Clear")
              << QStringLiteral("Command_File_0");
        return names;
    };
    QTest::newRow("disabled Run is skipped") << false << 0 << visits(false, 0);
    QTest::newRow("enabled Run is visited") << true << 0 << visits(true, 0);
    QTest::newRow("Tab lands on the second option when it is selected")
        << false << 1 << visits(false, 1);
    QTest::newRow("Tab lands on Other when it is selected") << false << 2 << visits(false, 2);
}

void TestForm1::tabVisitsTheControlsInOrder() {
    QFETCH(bool, runEnabled);
    QFETCH(int, selected);
    QFETCH(QStringList, visits);

    WindowHarness window;
    QVERIFY(window.show());
    window.run()->setEnabled(runEnabled);
    // The focus visits another option first, then code selects the one the row names: Tab
    // must follow the selection, not the option that had the focus last.
    QTest::mouseClick(window.option((selected + 1) % 3), Qt::LeftButton);
    window.option(selected)->setChecked(true);
    window.findButton(0)->setFocus();

    QStringList visited;
    for (qsizetype i = 0; i < visits.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << WindowHarness::focused();
    }
    QCOMPARE(visited, visits);
}

void TestForm1::refusesTheFocusWhileHidden() {
    WindowHarness window;
    QVERIFY_THROWS_EXCEPTION(FocusRefused, window.form->EnableRun());
    QVERIFY_THROWS_EXCEPTION(FocusRefused, window.form->Label_File_DblClick(1));
    // Option "Other" swallows the refusal and still unlocks the box.
    window.form->Option_Separator_Click(2);
    QVERIFY(!window.textSeparator()->isReadOnly());
}

void TestForm1::checkBoxCycles_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("end");
    QTest::newRow("a click ticks an unticked box") << 0 << 1 << 1;
    QTest::newRow("a click unticks a ticked box") << 1 << 1 << 0;
    QTest::newRow("a click ticks a greyed box") << 2 << 1 << 1;
    QTest::newRow("two clicks on a greyed box untick it, never grey it again") << 2 << 2 << 0;
    QTest::newRow("three clicks on an unticked box tick it") << 0 << 3 << 1;
}

void TestForm1::checkBoxCycles() {
    QFETCH(int, start);
    QFETCH(int, clicks);
    QFETCH(int, end);

    WindowHarness window;
    QVERIFY(window.show());
    window.openFile()->setValue(start);
    QCOMPARE(window.openFile()->value(), start);
    for (int i = 0; i < clicks; ++i) {
        QTest::mouseClick(window.openFile(), Qt::LeftButton);
    }
    QCOMPARE(window.openFile()->value(), end);
}

void TestForm1::checkBoxRefusesOtherValues() {
    WindowHarness window;
    window.openFile()->setValue(2);
    QVERIFY_THROWS_EXCEPTION(corvane::Error, window.openFile()->setValue(3));
    QVERIFY_THROWS_EXCEPTION(corvane::Error, window.openFile()->setValue(-1));
    QCOMPARE(window.openFile()->value(), 2);
}

void TestForm1::pathLabelShowsThePathAsTooltip() {
    WindowHarness window;
    const QString longPath =
        QStringLiteral("/setups/") + QString(200, QLatin1Char('x')) + QStringLiteral("/scope.dat");
    window.label(0)->setCaption(longPath);
    QCOMPARE(window.label(0)->text(), longPath);
    QCOMPARE(window.label(0)->toolTip(), longPath);
    window.label(0)->setCaption(QString());
    QVERIFY(window.label(0)->toolTip().isEmpty());
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
