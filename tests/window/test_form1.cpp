// The window: its controls' initial state, Tab order and focus rules, readiness, file and
// separator choice, dropped files, and one walk to a written New file with the keyboard alone.
#include <QDropEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QUrl>

#include "window_harness.h"

using namespace Qt::StringLiterals;
using corvane::OpenFileRequest;
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

        window.form->show();
        QVERIFY(QTest::qWaitForWindowActive(window.form.get()));
        QCOMPARE(window.form->windowTitle(), u"Corvane, v1.00 - June 2015/Vesk"_s);
        QVERIFY(!window.form->windowIcon().isNull());
        QCOMPARE(window.form->minimumSize(), QSize(468, 160));
        QCOMPARE(window.form->maximumSize(), QSize(468, 160));
        QCOMPARE(window.find(0)->geometry(), QRect(384, 8, 77, 21));
        QCOMPARE(window.get<QGroupBox>("Frame1")->geometry(), QRect(4, 92, 197, 61));
        QCOMPARE(window.get<QGroupBox>("Frame1")->title(), u"Command separator"_s);
        QCOMPARE(window.option(2)->geometry(), QRect(136, 16, 53, 13));  // inside the frame
        QCOMPARE(window.state(), u"|||off|Command_File_0"_s);
        // Only a focused button answers Enter.
        window.textFile()->setFocus();
        for (const QPushButton* button : window.form->findChildren<QPushButton*>()) {
            QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
        }
    }
    void tabsInOrder_data() {
        QTest::addColumn<QString>("visits");  // from the first Find on
        const QString rest =
            u"Text_Separator Check_OpenFile Command_Quintrel Command_Clear Command_File_0"_s;
        QTest::newRow("a disabled Run is skipped")
            << u"Command_File_1 Text_File Option_Separator_0 "_s + rest;
        QTest::newRow("an enabled Run is visited")
            << u"Command_File_1 Text_File Command_Run Option_Separator_0 "_s + rest;
        QTest::newRow("the options' one stop is the selected one")
            << u"Command_File_1 Text_File Option_Separator_2 "_s + rest;
    }
    void tabsInOrder() {
        QFETCH(QString, visits);
        const int selected = visits.section(u"Option_Separator_"_s, 1).left(1).toInt();
        WindowHarness window;
        window.run()->setEnabled(visits.contains("Command_Run"_L1));
        // Another option had the focus last; Tab must still land on the selected one.
        QTest::mouseClick(window.option((selected + 1) % 3), Qt::LeftButton);
        window.option(selected)->setChecked(true);
        window.find(0)->setFocus();
        QStringList visited;
        while (visited.size() < visits.count(u' ') + 1) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << WindowHarness::focused();
        }
        QCOMPARE(visited.join(u' '), visits);
    }
    void checkBoxNeverGreysAgain() {
        WindowHarness window;
        window.openFile()->setValue(2);
        QTest::mouseClick(window.openFile(), Qt::LeftButton);
        QCOMPARE(window.openFile()->value(), 1);
        QTest::mouseClick(window.openFile(), Qt::LeftButton);
        QCOMPARE(window.openFile()->value(), 0);
        // A value other than 0, 1 or 2 is refused and leaves the box as it was.
        QVERIFY_THROWS_EXCEPTION(corvane::Error, window.openFile()->setValue(3));
        QCOMPARE(window.openFile()->value(), 0);
    }

    void decidesReadiness_data() {
        QTest::addColumn<QString>("state");  // the three fields given, then Run and the focus
        QTest::newRow("all three inputs make Run ready") << u"a|b|n.dat|on|Command_Run"_s;
        QTest::newRow(".dat inside the name counts") << u"a|b|n.data.txt|on|Command_Run"_s;
        QTest::newRow("upper-case .DAT does not count") << u"a|b|N.DAT|off|Text_File"_s;
        QTest::newRow("a name without .dat keeps the focus") << u"a|b|n|off|Text_File"_s;
        QTest::newRow("a missing Init file comes first") << u"||n.dat|off|Command_File_0"_s;
        QTest::newRow("a missing Reference file comes next") << u"a||n.dat|off|Command_File_1"_s;
    }
    void decidesReadiness() {
        QFETCH(QString, state);
        const QStringList given = state.split(u'|');
        WindowHarness window;
        window.fill(given[0], given[1], given[2]);
        window.form->EnableRun();
        QCOMPARE(window.state(), state);
    }

    void leadsTheFocusWhileTyping() {
        WindowHarness window;
        window.fill(u"a"_s, u"b"_s, {});
        window.textFile()->setFocus();
        QStringList focus;
        for (const char key : {'n', '.', 'd', 'a', 't'}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            focus << WindowHarness::focused();
        }
        QCOMPARE(focus, QStringList(4, u"Text_File"_s) << u"Command_Run"_s);
        QCOMPARE(window.state(), u"a|b|n.dat|on|Command_Run"_s);
    }

    void emptiesTheFields() {
        WindowHarness window;
        window.fill(u"a"_s, u"b"_s, u"n.dat"_s);
        // An emptied label leaves Run as it was; an emptied New file box re-evaluates it.
        QTest::mouseDClick(window.label(0), Qt::LeftButton);
        QCOMPARE(window.state(), u"|b|n.dat|on|Command_File_0"_s);
        QTest::mouseDClick(window.label(1), Qt::LeftButton);
        QCOMPARE(window.state(), u"||n.dat|on|Command_File_1"_s);
        window.fill(u"a"_s, u"b"_s, u"n.dat"_s);
        QTest::mouseDClick(window.textFile(), Qt::LeftButton);
        QCOMPARE(window.state(), u"a|b||off|Text_File"_s);
        window.fill(u"a"_s, u"b"_s, u"n.dat"_s);
        QTest::mouseClick(window.get<QPushButton>("Command_Clear"), Qt::LeftButton);
        QCOMPARE(window.state(), u"|||off|Command_File_0"_s);
    }

    void cancellingTheDialogChangesNothing() {
        WindowHarness window({{corvane::keys::Directory, QDir::tempPath()}});
        window.fill(u"a"_s, u"b"_s, u"n.dat"_s);
        for (int row : {0, 1, 0}) {
            window.find(row)->setFocus();
            QTest::keyClick(window.find(row), Qt::Key_Space);  // the fake cancels
        }
        QCOMPARE(window.state(), u"a|b|n.dat|on|Command_File_0"_s);
        // The start folder is the remembered one on every use.
        const QString filter = u"Data Files (*.dat)|*.dat|All Files (*.*)|*.*"_s;
        const QString start = window.form->variables().startDir;
        const OpenFileRequest init{u"Load Init File"_s, start, true, {}, filter, 4};
        const OpenFileRequest reference{u"Load Reference File"_s, start, true, {}, filter, 4};
        QVERIFY(window.platform.openRequests == QList<OpenFileRequest>({init, reference, init}));
        QVERIFY(window.platform.messages.isEmpty());
    }

    void proposesTheNewFile_data() {
        QTest::addColumn<QString>("state");  // after choosing each file it names
        QTest::newRow("a Reference file proposes New_ in its folder and makes Run ready")
            << u"/s/a.dat|/s/b.dat|/s/New_b.dat|on|Command_Run"_s;
        QTest::newRow("a Reference file outside *.dat proposes a name Run refuses")
            << u"/s/a.dat|/s/b.txt|/s/New_b.txt|off|Text_File"_s;
        QTest::newRow("without the Init file the focus goes to its Find")
            << u"|/s/b.dat|/s/New_b.dat|off|Command_File_0"_s;
    }
    void proposesTheNewFile() {
        QFETCH(QString, state);
        WindowHarness window;
        for (int row : {0, 1}) {
            const QString chosen = state.section(u'|', row, row);
            if (!chosen.isEmpty()) {
                window.platform.planChoice(chosen);
                QTest::mouseClick(window.find(row), Qt::LeftButton);
            }
        }
        QCOMPARE(window.state(), state);
    }

    void switchesTheSeparator() {
        WindowHarness window;
        QLineEdit* box = window.separator();
        QTest::mouseClick(window.option(1), Qt::LeftButton);
        QVERIFY(box->text() == ";:"_L1 && box->isReadOnly());
        // Other keeps the text, unlocks the box and puts the caret in it, also when clicked again.
        QTest::mouseClick(window.option(2), Qt::LeftButton);
        QTest::keyClicks(box, u","_s);
        window.find(0)->setFocus();
        QTest::mouseClick(window.option(2), Qt::LeftButton);
        QVERIFY(box->text() == ";:,"_L1 && !box->isReadOnly());
        QCOMPARE(WindowHarness::focused(), u"Text_Separator"_s);
        QTest::mouseClick(window.option(0), Qt::LeftButton);
        QTest::keyClicks(box, u"x"_s);
        QVERIFY(box->text() == ";"_L1 && box->isReadOnly());
    }

    void takesADroppedFile_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("state");  // %1 is the folder
        QTest::newRow("a file dropped on the Init label is the Init file")
            << u"Label_File_0"_s << 1 << u"%1/scope.dat|||off|Command_File_1"_s;
        QTest::newRow("a file dropped on the second Find proposes the New file")
            << u"Command_File_1"_s << 1 << u"|%1/scope.dat|%1/New_scope.dat|off|Command_File_0"_s;
        QTest::newRow("two files dropped are refused")
            << u"Label_File_1"_s << 2 << u"|||off|Command_File_0"_s;
        QTest::newRow("a folder dropped is refused")
            << u"Label_File_0"_s << 0 << u"|||off|Command_File_0"_s;
    }
    void takesADroppedFile() {
        QFETCH(QString, target);
        QFETCH(int, files);
        QFETCH(QString, state);
        WindowHarness window;
        const QList<QUrl> urls{
            QUrl::fromLocalFile(files == 0 ? window.dir.path()
                                           : window.write(u"scope.dat"_s, "A;B\r\n")),
            QUrl::fromLocalFile(window.write(u"meter.dat"_s, "A\r\n"))};
        QMimeData data;
        data.setUrls(urls.first(qMax(files, 1)));
        // The drop reaches the control that accepted the drag's entry, as in a real drag.
        QWidget* control = window.form->findChild<QWidget*>(target);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(control, &enter);
        QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(control, &drop);
        QCOMPARE(enter.isAccepted(), files == 1);
        QCOMPARE(window.state(), state.arg(window.dir.path()));
        QVERIFY(window.platform.openRequests.isEmpty());
    }

    void walksToAWrittenFileWithTheKeyboard() {
        WindowHarness window({{corvane::keys::Separator, u";"_s}});
        window.platform.planChoice(window.write(u"init.dat"_s, "*RST;:FREQ 10\r\n"));
        window.platform.planChoice(window.write(u"ref.dat"_s, "*RST;:FREQ 20;:VOLT 1\r\n"));
        // Space on each focused Find; the proposal makes Run ready and focused. Tab lands on the
        // selected option, the arrow key selects the next one, Backtab returns to Run.
        QStringList focus{WindowHarness::focused()};
        for (Qt::Key key :
             {Qt::Key_Space, Qt::Key_Space, Qt::Key_Tab, Qt::Key_Down, Qt::Key_Backtab}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            focus << WindowHarness::focused();
        }
        QCOMPARE(focus,
                 QStringList({u"Command_File_0"_s, u"Command_File_1"_s, u"Command_Run"_s,
                              u"Option_Separator_0"_s, u"Option_Separator_1"_s, u"Command_Run"_s}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(window.platform.messages.isEmpty());
        QCOMPARE(WindowHarness::read(window.path(u"New_ref.dat"_s)), "FREQ 20;:VOLT 1\r\n"_ba);
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
