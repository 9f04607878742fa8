// Run through the scripted platform: refusals, the overwrite question, path completion, the
// written file, the editor and the error report, with nothing lost on the way.
#include <QDir>
#include <QFile>

#include "window_harness.h"

using namespace Qt::StringLiterals;
using corvane::MessageAnswer;
using corvane::MessageButtons;
using corvane::MessageIcon;
using corvane::test::FakePlatform;
using corvane::test::WindowHarness;

namespace {

const QByteArray kNewLine = "C;\xb5V;\r\n"_ba;
const QList<std::pair<QString, QByteArray>> kFiles{
    {u"init.dat"_s, "A;B\r\nnot compared\r\n"_ba},
    {u"ref.dat"_s, "A;C;\xb5V;B\r\nnot copied\r\n"_ba},
    {u"empty.dat"_s, {}},
    {u"long.dat"_s, QByteArray(40000, 'x') + "\r\n"},
    {u"old.dat"_s, "earlier\r\n"_ba},
    {u"locked.dat"_s, "earlier\r\n"_ba}};

// Each message shown as "Title [icon] text": a critical one with Ok, or a question with Yes/No.
QString shown(const FakePlatform& platform) {
    QStringList all;
    for (const FakePlatform::Message& m : platform.messages) {
        const bool ok = m.buttons == MessageButtons::Ok;
        all << m.title +
                   (m.icon == MessageIcon::Critical && ok    ? u" [critical] "_s
                    : m.icon == MessageIcon::Question && !ok ? u" [question] "_s
                                                             : u" [other] "_s) +
                   m.text;
    }
    return all.join(" | "_L1);
}

// One Run: the window's inputs, the answers planned, and what Run must leave behind.
struct Case {
    QString init = u"init.dat"_s;
    QString reference = u"ref.dat"_s;
    QString typed = u"%1/out.dat"_s;  // %1 is the folder, also the current directory
    QString separator = u";"_s;
    int check = 0;
    MessageAnswer answer = MessageAnswer::Yes;
    bool editorStarts = true;
    bool editorFailsLater = false;  // the launcher starts, then finds no application
    QString messages = {};          // %1 is the folder
    QString written = {};           // the file that gets the kept commands
};

}  // namespace

class TestRun : public QObject {
    Q_OBJECT

private slots:
    void run_data() {
        QTest::addColumn<Case>("c");
        const QString sameNew =
            u"File Error [critical] New file could not be the same as any of the other !"_s;
        const QString question =
            u"File Error [question] %1/%2 already exists !\n\nDo want to overwrite it ?"_s;
        QTest::newRow("a bare name goes into the current folder; an unticked box starts no editor")
            << Case{.typed = u"new.dat"_s, .written = u"new.dat"_s};
        QTest::newRow("a ticked box starts the editor on the New file")
            << Case{.check = 1, .written = u"out.dat"_s};
        QTest::newRow("a greyed box starts it too, a path a shell would split as one argument")
            << Case{.typed = u"%1/a; $(x).dat"_s, .check = 2, .written = u"a; $(x).dat"_s};
        QTest::newRow("an empty separator is refused and the box gets the focus") << Case{
            .separator = {}, .messages = u"Error [critical] Command Separator can't be empty !"_s};
        QTest::newRow("one file chosen twice is refused") << Case{
            .init = u"ref.dat"_s,
            .messages = u"File Error [critical] Init file and Ref File could not be the same !"_s};
        QTest::newRow("the Init file as the New file is refused")
            << Case{.typed = u"%1/init.dat"_s, .messages = sameNew};
        QTest::newRow("the Reference file under another spelling is refused")
            << Case{.typed = u"%1/link.dat"_s, .messages = sameNew};
        QTest::newRow("answering No keeps the earlier file and remembers no folder")
            << Case{.typed = u"%1/old.dat"_s,
                    .answer = MessageAnswer::No,
                    .messages = question.arg(u"%1"_s, u"old.dat"_s)};
        QTest::newRow("answering Yes replaces the earlier file")
            << Case{.typed = u"%1/old.dat"_s,
                    .messages = question.arg(u"%1"_s, u"old.dat"_s),
                    .written = u"old.dat"_s};
        QTest::newRow("a missing Init file is reported") << Case{
            .init = u"missing.dat"_s,
            .messages =
                u"Corvane [critical] Could not open the Init file \"%1/missing.dat\": No such file or directory."_s};
        QTest::newRow("an empty Init file is reported") << Case{
            .init = u"empty.dat"_s,
            .messages =
                u"Corvane [critical] Could not read the Init file \"%1/empty.dat\": it is empty and has no first line."_s};
        QTest::newRow("an over-long Reference command list is reported") << Case{
            .reference = u"long.dat"_s,
            .messages =
                u"Corvane [critical] The Reference command list is too long: 40000 characters with a separator of 1, where at most 32767 fit together."_s};
        QTest::newRow("a read-only New file is reported and kept") << Case{
            .typed = u"%1/locked.dat"_s,
            .messages =
                question.arg(u"%1"_s, u"locked.dat"_s) +
                u" | Corvane [critical] Could not write the New file \"%1/locked.dat\": it is read-only."_s};
        const QString noEditor =
            u"Corvane [critical] The New file \"%1/out.dat\" was written, but no text editor could be started to show it."_s;
        QTest::newRow("an editor that cannot start is reported after the file is written") << Case{
            .check = 1, .editorStarts = false, .messages = noEditor, .written = u"out.dat"_s};
        QTest::newRow("a launcher that finds no application later is reported once it ends")
            << Case{.check = 1,
                    .editorFailsLater = true,
                    .messages = noEditor,
                    .written = u"out.dat"_s};
    }
    void run() {
        QFETCH(Case, c);
        WindowHarness window;
        for (const auto& [name, bytes] : kFiles) {
            window.write(name, bytes);
        }
        QVERIFY(QFile::setPermissions(window.path(u"locked.dat"_s), QFile::ReadOwner));
        QVERIFY(QFile::link(window.path(u"ref.dat"_s), window.path(u"link.dat"_s)));
        window.fill(window.path(c.init), window.path(c.reference),
                    QString(c.typed).replace("%1"_L1, window.dir.path()));
        window.separator()->setText(c.separator);
        window.openFile()->setValue(c.check);
        window.platform.messageAnswers.push_back(c.answer);
        window.platform.editorSucceeds = c.editorStarts;
        QTest::mouseClick(window.run(), Qt::LeftButton);
        if (c.editorFailsLater) {
            QCOMPARE(shown(window.platform), QString());  // Run has not waited for the launcher
            QCOMPARE(WindowHarness::read(window.path(c.written)), kNewLine);
            window.platform.editorFailedLater();
        }

        QCOMPARE(shown(window.platform), QString(c.messages).replace("%1"_L1, window.dir.path()));
        if (c.separator.isEmpty()) {
            QCOMPARE(WindowHarness::focused(), u"Text_Separator"_s);
        }
        for (const auto& [name, bytes] : kFiles) {
            QCOMPARE(WindowHarness::read(window.path(name)), name == c.written ? kNewLine : bytes);
        }
        const QString newFile = c.written.isEmpty() ? QString() : window.path(c.written);
        QCOMPARE(WindowHarness::read(newFile), c.written.isEmpty() ? QByteArray() : kNewLine);
        QCOMPARE(QDir(window.dir.path()).entryList({u"*.dat"_s}, QDir::Files).size(),
                 kFiles.size() + 1 + (c.written.isEmpty() || c.written == "old.dat"_L1 ? 0 : 1));
        QCOMPARE(window.platform.editorOpens, c.check != 0 ? QStringList{newFile} : QStringList());
        // The folder is remembered once no refusal stops Run, before any file is read.
        const bool remembered = !c.written.isEmpty() || c.messages.contains("Corvane ["_L1);
        QCOMPARE(window.form->variables().newDir, remembered ? window.dir.path() : QString());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(TestRun)
#include "test_run.moc"
