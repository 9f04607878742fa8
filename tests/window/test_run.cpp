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

}  // namespace

class TestRun : public QObject {
    Q_OBJECT

private slots:
    void run_data() {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("init");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("typed");  // %1 is the folder, also the current directory
        QTest::addColumn<int>("check");
        QTest::addColumn<MessageAnswer>("answer");
        QTest::addColumn<bool>("editorStarts");
        QTest::addColumn<QString>("messages");  // %1 is the folder
        QTest::addColumn<QString>("written");   // the file that gets the kept commands
        const QString i = u"init.dat"_s;
        const QString r = u"ref.dat"_s;
        const auto yes = MessageAnswer::Yes;
        const QString sameNew =
            u"File Error [critical] New file could not be the same as any of the other !"_s;
        const QString question =
            u"File Error [question] %1/%2 already exists !\n\nDo want to overwrite it ?"_s;
        const QString report = u"Corvane [critical] "_s;
        QTest::newRow("a bare name goes into the current folder; an unticked box starts no editor")
            << u";"_s << i << r << u"new.dat"_s << 0 << yes << true << QString() << u"new.dat"_s;
        QTest::newRow("a ticked box starts the editor on the New file")
            << u";"_s << i << r << u"%1/out.dat"_s << 1 << yes << true << QString() << u"out.dat"_s;
        QTest::newRow("a greyed box starts it too, a path a shell would split as one argument")
            << u";"_s << i << r << u"%1/a; $(x).dat"_s << 2 << yes << true << QString()
            << u"a; $(x).dat"_s;
        QTest::newRow("an empty separator is refused and the box gets the focus")
            << QString() << i << r << u"%1/out.dat"_s << 0 << yes << true
            << u"Error [critical] Command Separator can't be empty !"_s << QString();
        QTest::newRow("one file chosen twice is refused")
            << u";"_s << r << r << u"%1/out.dat"_s << 0 << yes << true
            << u"File Error [critical] Init file and Ref File could not be the same !"_s
            << QString();
        QTest::newRow("the Init file as the New file is refused")
            << u";"_s << i << r << u"%1/init.dat"_s << 0 << yes << true << sameNew << QString();
        QTest::newRow("the Reference file under another spelling is refused")
            << u";"_s << i << r << u"%1/link.dat"_s << 0 << yes << true << sameNew << QString();
        QTest::newRow("answering No keeps the earlier file and remembers no folder")
            << u";"_s << i << r << u"%1/old.dat"_s << 0 << MessageAnswer::No << true
            << question.arg(u"%1"_s, u"old.dat"_s) << QString();
        QTest::newRow("answering Yes replaces the earlier file")
            << u";"_s << i << r << u"%1/old.dat"_s << 0 << yes << true
            << question.arg(u"%1"_s, u"old.dat"_s) << u"old.dat"_s;
        QTest::newRow("a missing Init file is reported")
            << u";"_s << u"missing.dat"_s << r << u"%1/out.dat"_s << 0 << yes << true
            << report +
                   u"Could not open the Init file \"%1/missing.dat\": No such file or directory."_s
            << QString();
        QTest::newRow("an empty Init file is reported")
            << u";"_s << u"empty.dat"_s << r << u"%1/out.dat"_s << 0 << yes << true
            << report +
                   u"Could not read the Init file \"%1/empty.dat\": it is empty and has no first line."_s
            << QString();
        QTest::newRow("an over-long Reference command list is reported")
            << u";"_s << i << u"long.dat"_s << u"%1/out.dat"_s << 0 << yes << true
            << report +
                   u"The Reference command list is too long: 40000 characters with a separator of 1, where at most 32767 fit together."_s
            << QString();
        QTest::newRow("a read-only New file is reported and kept")
            << u";"_s << i << r << u"%1/locked.dat"_s << 0 << yes << true
            << question.arg(u"%1"_s, u"locked.dat"_s) + u" | "_s + report +
                   u"Could not write the New file \"%1/locked.dat\": it is read-only."_s
            << QString();
        QTest::newRow("an editor that cannot start is reported after the file is written")
            << u";"_s << i << r << u"%1/out.dat"_s << 1 << yes << false
            << report +
                   u"The New file \"%1/out.dat\" was written, but no text editor could be started to show it."_s
            << u"out.dat"_s;
    }
    void run() {
        QFETCH(QString, separator);
        QFETCH(QString, init);
        QFETCH(QString, reference);
        QFETCH(QString, typed);
        QFETCH(int, check);
        QFETCH(MessageAnswer, answer);
        QFETCH(bool, editorStarts);
        QFETCH(QString, messages);
        QFETCH(QString, written);
        WindowHarness window;
        for (const auto& [name, bytes] : kFiles) {
            window.write(name, bytes);
        }
        QVERIFY(QFile::setPermissions(window.path(u"locked.dat"_s), QFile::ReadOwner));
        QVERIFY(QFile::link(window.path(u"ref.dat"_s), window.path(u"link.dat"_s)));
        window.fill(window.path(init), window.path(reference),
                    QString(typed).replace("%1"_L1, window.dir.path()));
        window.separator()->setText(separator);
        window.openFile()->setValue(check);
        window.platform.messageAnswers.push_back(answer);
        window.platform.editorSucceeds = editorStarts;
        QTest::mouseClick(window.run(), Qt::LeftButton);

        QCOMPARE(shown(window.platform), QString(messages).replace("%1"_L1, window.dir.path()));
        if (separator.isEmpty()) {
            QCOMPARE(WindowHarness::focused(), u"Text_Separator"_s);
        }
        for (const auto& [name, bytes] : kFiles) {
            QCOMPARE(WindowHarness::read(window.path(name)), name == written ? kNewLine : bytes);
        }
        const QString newFile = written.isEmpty() ? QString() : window.path(written);
        QCOMPARE(WindowHarness::read(newFile), written.isEmpty() ? QByteArray() : kNewLine);
        QCOMPARE(QDir(window.dir.path()).entryList({u"*.dat"_s}, QDir::Files).size(),
                 kFiles.size() + 1 + (written.isEmpty() || written == "old.dat"_L1 ? 0 : 1));
        QCOMPARE(window.platform.editorOpens, check != 0 ? QStringList{newFile} : QStringList());
        // The folder is remembered once no refusal stops Run, before any file is read.
        const bool remembered = !written.isEmpty() || messages.contains("Corvane ["_L1);
        QCOMPARE(window.form->variables().newDir, remembered ? window.dir.path() : QString());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(TestRun)
#include "test_run.moc"
