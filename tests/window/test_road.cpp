// The road through the window: readiness and focus, file choice, separator choice, dropped
// files, and one walk from an empty window to a written New file with the keyboard alone.
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "window_harness.h"

using namespace Qt::StringLiterals;
using corvane::OpenFileRequest;
using corvane::test::WindowHarness;

class TestRoad : public QObject {
    Q_OBJECT

private slots:
    void decidesReadiness_data() {
        QTest::addColumn<QString>("init");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("newFile");
        QTest::addColumn<QString>("focus");  // Run is enabled when it gets the focus
        QTest::newRow("all three inputs make Run ready")
            << u"/s/a.dat"_s << u"/s/b.dat"_s << u"/s/new.dat"_s << u"Command_Run"_s;
        QTest::newRow(".dat inside the name counts")
            << u"/s/a.dat"_s << u"/s/b.dat"_s << u"/x/a.data.txt"_s << u"Command_Run"_s;
        QTest::newRow("upper-case .DAT does not count")
            << u"/s/a.dat"_s << u"/s/b.dat"_s << u"/x/OUT.DAT"_s << u"Text_File"_s;
        QTest::newRow("a name without .dat sends the focus to the box")
            << u"/s/a.dat"_s << u"/s/b.dat"_s << u"/x/out.txt"_s << u"Text_File"_s;
        QTest::newRow("a missing Init file comes first")
            << QString() << QString() << u"/s/new.dat"_s << u"Command_File_0"_s;
        QTest::newRow("a missing Reference file comes next")
            << u"/s/a.dat"_s << QString() << u"/s/new.dat"_s << u"Command_File_1"_s;
    }
    void decidesReadiness() {
        QFETCH(QString, init);
        QFETCH(QString, reference);
        QFETCH(QString, newFile);
        QFETCH(QString, focus);
        WindowHarness window;
        QVERIFY(window.show());
        window.fill(init, reference, newFile);
        window.form->EnableRun();
        QCOMPARE(window.run()->isEnabled(), focus == "Command_Run"_L1);
        QCOMPARE(WindowHarness::focused(), focus);
    }

    void leadsTheFocusWhileTyping() {
        WindowHarness window;
        QVERIFY(window.show());
        // With a file missing, every keystroke sends the focus to that row's Find.
        window.label(0)->setCaption(u"/s/a.dat"_s);
        window.textFile()->setFocus();
        QTest::keyClick(window.textFile(), Qt::Key_N);
        QCOMPARE(WindowHarness::focused(), u"Command_File_1"_s);
        // With both files there, the focus stays until the text holds ".dat", then goes to Run.
        window.label(1)->setCaption(u"/s/b.dat"_s);
        window.textFile()->setFocus();
        QStringList focus;
        for (const char key : {'e', 'w', '.', 'd', 'a', 't'}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            focus << WindowHarness::focused();
        }
        QCOMPARE(focus, QStringList(5, u"Text_File"_s) << u"Command_Run"_s);
        QCOMPARE(window.textFile()->text(), u"new.dat"_s);
        QVERIFY(window.run()->isEnabled());
    }

    void emptiesTheFields() {
        WindowHarness window;
        QVERIFY(window.show());
        window.fill(u"/s/a.dat"_s, u"/s/b.dat"_s, u"/s/New_b.dat"_s);
        // An emptied label leaves Run as it was and focuses the row's Find.
        QTest::mouseDClick(window.label(0), Qt::LeftButton);
        QVERIFY(window.label(0)->text().isEmpty() && window.run()->isEnabled());
        QCOMPARE(WindowHarness::focused(), u"Command_File_0"_s);
        QTest::mouseDClick(window.label(1), Qt::LeftButton);
        QVERIFY(window.label(1)->text().isEmpty() && window.run()->isEnabled());
        QCOMPARE(WindowHarness::focused(), u"Command_File_1"_s);
        // An emptied New file box re-evaluates Run.
        window.fill(u"/s/a.dat"_s, u"/s/b.dat"_s, u"/s/New_b.dat"_s);
        QTest::mouseDClick(window.textFile(), Qt::LeftButton);
        QVERIFY(window.textFile()->text().isEmpty() && !window.run()->isEnabled());
        QCOMPARE(WindowHarness::focused(), u"Text_File"_s);

        window.fill(u"/s/a.dat"_s, u"/s/b.dat"_s, u"/s/New_b.dat"_s);
        QTest::mouseClick(window.get<QPushButton>("Command_Clear"), Qt::LeftButton);
        QVERIFY(window.label(0)->text().isEmpty() && window.label(1)->text().isEmpty());
        QVERIFY(window.textFile()->text().isEmpty() && !window.run()->isEnabled());
        QCOMPARE(WindowHarness::focused(), u"Command_File_0"_s);
    }

    void cancellingTheDialogChangesNothing() {
        WindowHarness window({{corvane::keys::Directory, QDir::tempPath()}});
        QVERIFY(window.show());
        window.fill(u"/s/a.dat"_s, u"/s/b.dat"_s, u"/s/New_b.dat"_s);
        for (int row : {0, 1, 0}) {
            window.find(row)->setFocus();
            QTest::keyClick(window.find(row), Qt::Key_Space);  // the fake cancels
            QCOMPARE(WindowHarness::focused(), window.find(row)->objectName());
        }
        const QString filter = u"Data Files (*.dat)|*.dat|All Files (*.*)|*.*"_s;
        const QString start = window.form->variables().startDir;
        const OpenFileRequest init{u"Load Init File"_s, start, true, QString(), filter, 4};
        const OpenFileRequest reference{u"Load Reference File"_s, start, true, {}, filter, 4};
        QVERIFY(window.platform.openRequests == QList<OpenFileRequest>({init, reference, init}));
        QCOMPARE(window.label(0)->text() + window.label(1)->text() + window.textFile()->text(),
                 u"/s/a.dat/s/b.dat/s/New_b.dat"_s);
        QVERIFY(window.run()->isEnabled() && window.platform.messages.isEmpty());
    }

    void proposesTheNewFile_data() {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<bool>("initFirst");
        QTest::addColumn<QString>("focus");  // after the Reference file is chosen
        QTest::newRow("a Reference file proposes New_ in its folder and makes Run ready")
            << u"/setups/scope.dat"_s << true << u"Command_Run"_s;
        QTest::newRow("a Reference file outside *.dat proposes a name Run refuses")
            << u"/setups/scope.txt"_s << true << u"Text_File"_s;
        QTest::newRow("without the Init file the focus goes to its Find")
            << u"/setups/scope.dat"_s << false << u"Command_File_0"_s;
    }
    void proposesTheNewFile() {
        QFETCH(QString, reference);
        QFETCH(bool, initFirst);
        QFETCH(QString, focus);
        WindowHarness window;
        QVERIFY(window.show());
        if (initFirst) {
            window.platform.planChoice(u"/s/init.dat"_s);
            QTest::mouseClick(window.find(0), Qt::LeftButton);
        }
        window.platform.planChoice(reference);
        QTest::mouseClick(window.find(1), Qt::LeftButton);
        QCOMPARE(window.label(0)->text(), initFirst ? u"/s/init.dat"_s : QString());
        QCOMPARE(window.label(1)->text(), reference);
        QCOMPARE(window.textFile()->text(), u"/setups/New_scope."_s + reference.right(3));
        QCOMPARE(WindowHarness::focused(), focus);
        QCOMPARE(window.run()->isEnabled(), focus == "Command_Run"_L1);
    }

    void switchesTheSeparator() {
        WindowHarness window;
        QVERIFY(window.show());
        QLineEdit* box = window.separator();
        QTest::mouseClick(window.option(1), Qt::LeftButton);
        QVERIFY(box->text() == ";:"_L1 && box->isReadOnly());
        // Other keeps the text, unlocks the box and puts the caret in it, also when clicked again.
        QTest::mouseClick(window.option(2), Qt::LeftButton);
        QVERIFY(box->text() == ";:"_L1 && !box->isReadOnly());
        QCOMPARE(WindowHarness::focused(), u"Text_Separator"_s);
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
        QTest::newRow("a file dropped on the Init label is the Init file")
            << u"Label_File_0"_s << 1;
        QTest::newRow("a file dropped on the second Find proposes the New file")
            << u"Command_File_1"_s << 1;
        QTest::newRow("two files dropped are refused") << u"Label_File_1"_s << 2;
        QTest::newRow("a folder dropped is refused") << u"Label_File_0"_s << 0;
    }
    void takesADroppedFile() {
        QFETCH(QString, target);
        QFETCH(int, files);
        WindowHarness window;
        QVERIFY(window.show());
        const QString scope = window.write(u"scope.dat"_s, "A;B\r\n");
        const QList<QUrl> all{QUrl::fromLocalFile(files == 0 ? window.dir.path() : scope),
                              QUrl::fromLocalFile(window.write(u"meter.dat"_s, "A\r\n"))};
        QMimeData data;
        data.setUrls(all.first(qMax(files, 1)));
        // The drop reaches the control that accepted the drag's entry, as in a real drag.
        QWidget* control = window.form->findChild<QWidget*>(target);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(control, &enter);
        QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(control, &drop);
        const bool taken = files == 1;
        const int row = target.endsWith('0'_L1) ? 0 : 1;
        QCOMPARE(enter.isAccepted(), taken);
        QCOMPARE(window.label(row)->text(), taken ? scope : QString());
        const QString proposal = taken && row == 1 ? window.path(u"New_scope.dat"_s) : QString();
        QCOMPARE(window.textFile()->text(), proposal);
        QCOMPARE(WindowHarness::focused(),
                 taken ? window.find(1 - row)->objectName() : u"Command_File_0"_s);
        QVERIFY(window.platform.openRequests.isEmpty());
    }

    void walksToAWrittenFileWithTheKeyboard() {
        WindowHarness window({{corvane::keys::Separator, u";"_s}});
        window.platform.planChoice(window.write(u"init.dat"_s, "*RST;:FREQ 10\r\n"));
        window.platform.planChoice(window.write(u"ref.dat"_s, "*RST;:FREQ 20;:VOLT 1\r\n"));
        QVERIFY(window.show());
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

QTEST_MAIN(TestRoad)
#include "test_road.moc"
