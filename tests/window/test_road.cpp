// The road through the window: readiness and focus, file choice, separator choice, dropped
// files, and one walk from an empty window to a written New file with the keyboard alone.
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "window_harness.h"

using corvane::MessageIcon;
using corvane::OpenFileRequest;
using corvane::test::WindowHarness;

namespace {

const QString kFilter = QStringLiteral("Data Files (*.dat)|*.dat|All Files (*.*)|*.*");

// Drops the given local files on a control, as a file manager would.
bool drop(QWidget* target, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) {
        urls << QUrl::fromLocalFile(file);
    }
    data.setUrls(urls);
    const QPoint where = target->rect().center();
    QDragEnterEvent enter(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent dropped(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

}  // namespace

class TestRoad : public QObject {
    Q_OBJECT

private slots:
    void decidesReadiness_data();
    void decidesReadiness();
    void leadsTheFocusWhileTyping();
    void clearEmptiesTheFormInOrder();
    void doubleClicksEmptyTheFields();
    void asksTheDialogForEachRow_data();
    void asksTheDialogForEachRow();
    void cancellingChangesNothing();
    void proposesTheNewFile_data();
    void proposesTheNewFile();
    void switchesTheSeparator();
    void takesADroppedFile_data();
    void takesADroppedFile();
    void walksToAWrittenFileWithTheKeyboard();
};

void TestRoad::decidesReadiness_data() {
    QTest::addColumn<QString>("init");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("newFile");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("focus");

    const QString run = QStringLiteral("Command_Run");
    const QString find0 = QStringLiteral("Command_File_0");
    const QString find1 = QStringLiteral("Command_File_1");
    const QString text = QStringLiteral("Text_File");
    QTest::newRow("all three inputs make Run ready") << "/s/a.dat"
                                                     << "/s/b.dat"
                                                     << "/s/new.dat" << true << run;
    QTest::newRow(".dat inside the name counts") << "/s/a.dat"
                                                 << "/s/b.dat"
                                                 << "/x/a.data.txt" << true << run;
    QTest::newRow("upper-case .DAT does not count") << "/s/a.dat"
                                                    << "/s/b.dat"
                                                    << "/x/OUT.DAT" << false << text;
    QTest::newRow("a name without .dat sends the focus to the box")
        << "/s/a.dat"
        << "/s/b.dat"
        << "/x/out.txt" << false << text;
    QTest::newRow("a missing Init file comes first") << ""
                                                     << "/s/b.dat"
                                                     << "/s/new.dat" << false << find0;
    QTest::newRow("a missing Reference file comes next") << "/s/a.dat"
                                                         << ""
                                                         << "/s/new.dat" << false << find1;
    QTest::newRow("an empty form leads to the first Find") << ""
                                                           << ""
                                                           << "" << false << find0;
}

void TestRoad::decidesReadiness() {
    QFETCH(QString, init);
    QFETCH(QString, reference);
    QFETCH(QString, newFile);
    QFETCH(bool, enabled);
    QFETCH(QString, focus);

    WindowHarness window;
    QVERIFY(window.show());
    window.label(0)->setCaption(init);
    window.label(1)->setCaption(reference);
    window.textFile()->setText(newFile);
    window.form->EnableRun();
    QCOMPARE(window.run()->isEnabled(), enabled);
    QCOMPARE(WindowHarness::focused(), focus);
}

void TestRoad::leadsTheFocusWhileTyping() {
    WindowHarness window;
    QVERIFY(window.show());

    // With a file missing, every keystroke in the box sends the focus to that row's Find.
    window.label(0)->setCaption(QStringLiteral("/s/a.dat"));
    window.textFile()->setFocus();
    QTest::keyClick(window.textFile(), Qt::Key_N);
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_File_1"));

    // With both files there, the focus stays until the text holds ".dat", then goes to Run.
    window.label(1)->setCaption(QStringLiteral("/s/b.dat"));
    window.textFile()->setFocus();
    const QString typed = QStringLiteral("ew.dat");
    for (qsizetype i = 0; i < typed.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), typed.at(i).toLatin1());
        const bool ready = i == typed.size() - 1;
        QCOMPARE(window.run()->isEnabled(), ready);
        QCOMPARE(WindowHarness::focused(),
                 ready ? QStringLiteral("Command_Run") : QStringLiteral("Text_File"));
    }
    QCOMPARE(window.textFile()->text(), QStringLiteral("new.dat"));
}

void TestRoad::clearEmptiesTheFormInOrder() {
    WindowHarness window;
    QVERIFY(window.show());
    window.label(0)->setCaption(QStringLiteral("/s/a.dat"));
    window.label(1)->setCaption(QStringLiteral("/s/b.dat"));
    window.textFile()->setText(QStringLiteral("/s/New_b.dat"));
    QVERIFY(window.run()->isEnabled());

    QTest::mouseClick(window.control<QPushButton>("Command_Clear"), Qt::LeftButton);
    QVERIFY(window.label(0)->text().isEmpty());
    QVERIFY(window.label(1)->text().isEmpty());
    QVERIFY(window.textFile()->text().isEmpty());
    QVERIFY(!window.run()->isEnabled());
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_File_0"));
    QVERIFY(window.platform.messages.isEmpty());
}

void TestRoad::doubleClicksEmptyTheFields() {
    WindowHarness window;
    QVERIFY(window.show());
    window.label(0)->setCaption(QStringLiteral("/s/a.dat"));
    window.label(1)->setCaption(QStringLiteral("/s/b.dat"));
    window.textFile()->setText(QStringLiteral("/s/New_b.dat"));

    // An emptied label leaves Run as it was; the focus goes to the row's Find.
    QTest::mouseDClick(window.label(0), Qt::LeftButton);
    QVERIFY(window.label(0)->text().isEmpty());
    QVERIFY(window.run()->isEnabled());
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_File_0"));

    QTest::mouseDClick(window.label(1), Qt::LeftButton);
    QVERIFY(window.label(1)->text().isEmpty());
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_File_1"));

    // An emptied New file box re-evaluates Run.
    window.label(0)->setCaption(QStringLiteral("/s/a.dat"));
    window.label(1)->setCaption(QStringLiteral("/s/b.dat"));
    QTest::mouseDClick(window.textFile(), Qt::LeftButton);
    QVERIFY(window.textFile()->text().isEmpty());
    QVERIFY(!window.run()->isEnabled());
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Text_File"));
}

void TestRoad::asksTheDialogForEachRow_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("title");
    QTest::newRow("the first Find asks for the Init file") << 0 << "Load Init File";
    QTest::newRow("the second Find asks for the Reference file") << 1 << "Load Reference File";
}

void TestRoad::asksTheDialogForEachRow() {
    QFETCH(int, row);
    QFETCH(QString, title);

    WindowHarness window({{corvane::keys::Directory, QDir::tempPath()}});
    QVERIFY(window.show());
    QTest::mouseClick(window.findButton(row), Qt::LeftButton);
    QTest::mouseClick(window.findButton(row), Qt::LeftButton);

    // The start folder is the remembered one on every use.
    const OpenFileRequest expected{
        title, window.form->variables().startDir, true, QString(), kFilter, 4};
    QCOMPARE(window.platform.openRequests.size(), 2);
    QVERIFY(window.platform.openRequests.at(0) == expected);
    QVERIFY(window.platform.openRequests.at(1) == expected);
}

void TestRoad::cancellingChangesNothing() {
    WindowHarness window;
    QVERIFY(window.show());
    window.label(0)->setCaption(QStringLiteral("/s/a.dat"));
    window.label(1)->setCaption(QStringLiteral("/s/b.dat"));
    window.textFile()->setText(QStringLiteral("/s/New_b.dat"));
    for (int row = 0; row < 2; ++row) {
        window.findButton(row)->setFocus();
        QTest::keyClick(window.findButton(row), Qt::Key_Space);  // the fake cancels
        QCOMPARE(window.label(0)->text(), QStringLiteral("/s/a.dat"));
        QCOMPARE(window.label(1)->text(), QStringLiteral("/s/b.dat"));
        QCOMPARE(window.textFile()->text(), QStringLiteral("/s/New_b.dat"));
        QVERIFY(window.run()->isEnabled());
        QCOMPARE(WindowHarness::focused(), window.findButton(row)->objectName());
    }
    QVERIFY(window.platform.messages.isEmpty());
}

void TestRoad::proposesTheNewFile_data() {
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("initChosen");
    QTest::addColumn<QString>("proposal");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("focus");

    QTest::newRow("a Reference file proposes New_ in its folder")
        << "/setups/scope.dat" << true << "/setups/New_scope.dat" << true << "Command_Run";
    QTest::newRow("a Reference file outside *.dat proposes a name Run refuses")
        << "/s/ref.txt" << true << "/s/New_ref.txt" << false << "Text_File";
    QTest::newRow("without the Init file the focus goes to its Find")
        << "/s/ref.dat" << false << "/s/New_ref.dat" << false << "Command_File_0";
    QTest::newRow("a Reference file in the root keeps one separator")
        << "/ref.dat" << true << "/New_ref.dat" << true << "Command_Run";
}

void TestRoad::proposesTheNewFile() {
    QFETCH(QString, reference);
    QFETCH(bool, initChosen);
    QFETCH(QString, proposal);
    QFETCH(bool, enabled);
    QFETCH(QString, focus);

    WindowHarness window;
    QVERIFY(window.show());
    if (initChosen) {
        window.platform.planChoice(QStringLiteral("/s/init.dat"));
        QTest::mouseClick(window.findButton(0), Qt::LeftButton);
    }
    window.platform.planChoice(reference);
    QTest::mouseClick(window.findButton(1), Qt::LeftButton);
    QCOMPARE(window.label(1)->text(), reference);
    QCOMPARE(window.textFile()->text(), proposal);
    QCOMPARE(window.run()->isEnabled(), enabled);
    QCOMPARE(WindowHarness::focused(), focus);

    // Choosing the Init file last makes Run ready when the proposal holds ".dat".
    if (!initChosen) {
        window.platform.planChoice(QStringLiteral("/s/init.dat"));
        QTest::mouseClick(window.findButton(0), Qt::LeftButton);
        QVERIFY(window.run()->isEnabled());
        QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_Run"));
    }
}

void TestRoad::switchesTheSeparator() {
    WindowHarness window;
    QVERIFY(window.show());
    QLineEdit* box = window.textSeparator();

    QTest::mouseClick(window.option(1), Qt::LeftButton);
    QCOMPARE(box->text(), QStringLiteral(";:"));
    QVERIFY(box->isReadOnly());

    // Other keeps the text, unlocks the box and puts the caret in it.
    QTest::mouseClick(window.option(2), Qt::LeftButton);
    QCOMPARE(box->text(), QStringLiteral(";:"));
    QVERIFY(!box->isReadOnly());
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Text_Separator"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, QStringLiteral(",,"));
    QCOMPARE(box->text(), QStringLiteral(",,"));

    // Clicking the selected Other again only moves the focus back to the box.
    window.findButton(0)->setFocus();
    QTest::mouseClick(window.option(2), Qt::LeftButton);
    QCOMPARE(box->text(), QStringLiteral(",,"));
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Text_Separator"));

    // An emptied box is accepted here and refused by Run.
    box->clear();
    window.form->Command_Run_Click();
    QCOMPARE(window.platform.messages.size(), 1);
    QCOMPARE(window.platform.messages.constFirst().text,
             QStringLiteral("Command Separator can't be empty !"));

    QTest::mouseClick(window.option(0), Qt::LeftButton);
    QCOMPARE(box->text(), QStringLiteral(";"));
    QVERIFY(box->isReadOnly());
    QTest::keyClicks(box, QStringLiteral("x"));
    QCOMPARE(box->text(), QStringLiteral(";"));

    // Indexes other than 0, 1 and 2 do nothing.
    window.form->Option_Separator_Click(3);
    QCOMPARE(box->text(), QStringLiteral(";"));
    QVERIFY(box->isReadOnly());
}

void TestRoad::takesADroppedFile_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("taken");
    QTest::newRow("a file dropped on the Init label is taken as the Init file")
        << "Label_File_0" << 1 << true;
    QTest::newRow("a file dropped on the first Find is taken as the Init file")
        << "Command_File_0" << 1 << true;
    QTest::newRow("a file dropped on the Reference label proposes the New file")
        << "Label_File_1" << 1 << true;
    QTest::newRow("a file dropped on the second Find proposes the New file")
        << "Command_File_1" << 1 << true;
    QTest::newRow("two files dropped are refused") << "Label_File_1" << 2 << false;
    QTest::newRow("a folder dropped is refused") << "Label_File_0" << 0 << false;
}

void TestRoad::takesADroppedFile() {
    QFETCH(QString, target);
    QFETCH(int, files);
    QFETCH(bool, taken);

    WindowHarness window;
    QVERIFY(window.show());
    const QString first = window.writeFile(QStringLiteral("scope.dat"), "A;B\r\n");
    const QString second = window.writeFile(QStringLiteral("meter.dat"), "A\r\n");
    const QStringList dropped = files == 0   ? QStringList{window.dir.path()}
                                : files == 1 ? QStringList{first}
                                             : QStringList{first, second};
    QWidget* control = window.form->findChild<QWidget*>(target);
    const int row = target.endsWith(QLatin1Char('0')) ? 0 : 1;

    QCOMPARE(drop(control, dropped), taken);
    QCOMPARE(window.label(row)->text(), taken ? first : QString());
    const QString proposal = window.path(QStringLiteral("New_scope.dat"));
    QCOMPARE(window.textFile()->text(), taken && row == 1 ? proposal : QString());
    if (taken) {
        QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_File_%1").arg(1 - row));
    }
    QVERIFY(window.platform.openRequests.isEmpty());
}

void TestRoad::walksToAWrittenFileWithTheKeyboard() {
    WindowHarness window({{corvane::keys::Separator, QStringLiteral(";")}});
    const QString init = window.writeFile(QStringLiteral("init.dat"), "*RST;:FREQ 10\r\n");
    const QString reference =
        window.writeFile(QStringLiteral("ref.dat"), "*RST;:FREQ 20;:VOLT 1\r\n");
    window.platform.planChoice(init);
    window.platform.planChoice(reference);
    QVERIFY(window.show());

    // Space on the focused Find, twice; the proposal makes Run ready and focused.
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_File_0"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_File_1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_Run"));

    // Tab lands on the selected option; the arrow key selects the next one; back to Run.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Option_Separator_0"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Option_Separator_1"));
    QCOMPARE(window.textSeparator()->text(), QStringLiteral(";:"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(WindowHarness::focused(), QStringLiteral("Command_Run"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    QVERIFY(window.platform.messages.isEmpty());
    QCOMPARE(window.readFile(window.path(QStringLiteral("New_ref.dat"))),
             QByteArray("FREQ 20;:VOLT 1\r\n"));
}

QTEST_MAIN(TestRoad)
#include "test_road.moc"
