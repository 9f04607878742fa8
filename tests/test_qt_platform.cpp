// The real platform layer: the file dialog and the message box as a user answers them.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt_platform.h"

using namespace Qt::StringLiterals;
using namespace corvane;

class TestQtPlatform : public QObject {
    Q_OBJECT

    // Acts on the modal dialog once it is shown; the dialog's own event loop runs the act.
    template <typename Dialog, typename Act>
    static void whenShown(Act act) {
        QTimer::singleShot(10, qApp, [act] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            dialog ? act(dialog) : whenShown<Dialog>(act);
        });
    }

private slots:
    void takesATypedProgramNotThereYet() {
#ifdef Q_OS_WIN
        QSKIP("programs are shown by their .exe here");
#endif
        // The dialog opens elsewhere while its start folder is missing, else in it; the user
        // browses to the folder and types the name of a file that is not there yet.
        QTemporaryDir dir;
        QStringList seen;
        for (const QString& start : {dir.filePath(u"missing"_s), dir.path()}) {
            whenShown<QFileDialog>([&](QFileDialog* dialog) {
                seen << dialog->windowTitle() + u'|' + dialog->nameFilters().join(u',') + u'|' +
                            dialog->selectedNameFilter() + u'|' +
                            (dialog->directory() == QDir(dir.path()) ? u"start"_s : u"elsewhere"_s);
                dialog->setDirectory(dir.path());
                auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
                QTest::keyClicks(name, u"quintrel"_s);
                QTest::keyClick(name, Qt::Key_Return);
                if (dialog->isVisible()) {
                    dialog->reject();  // the name was refused
                }
            });
            const auto result = QtPlatform().showOpen(
                {u"Find Quintrel"_s, start, {}, u"Exe|*.exe|All Files (*.*)|*.*"_s});
            QCOMPARE(result ? result->path + u'|' + result->fileTitle : QString(),
                     dir.filePath(u"quintrel"_s) + u"|quintrel"_s);
        }
        const QString shown = u"Find Quintrel|Exe (*.exe),All Files (*)|All Files (*)|"_s;
        QCOMPARE(seen, QStringList({shown + u"elsewhere"_s, shown + u"start"_s}));
        // Several patterns become one list; a name without patterns is dropped.
        QCOMPARE(qtNameFilters(u"Text|*.txt;*.log|Lonely"_s), QStringList{u"Text (*.txt *.log)"_s});
    }

#ifdef Q_OS_UNIX
    // Any entry but a folder counts, so that Run asks before it touches one.
    void countsEveryEntryButAFolder_data() {
        QTest::addColumn<bool>("link");  // else a folder
        QTest::newRow("a link that leads nowhere counts") << true;
        QTest::newRow("a folder does not count") << false;
    }
    void countsEveryEntryButAFolder() {
        QFETCH(bool, link);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"New.dat"_s);
        QVERIFY(link ? QFile::link(dir.filePath(u"gone.dat"_s), path) : QDir().mkdir(path));
        QCOMPARE(QtPlatform().fileExists(path), link);
    }
#endif

    void answersTheMessageBox_data() {
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("shown");
        QTest::addColumn<MessageAnswer>("answer");
        const auto row = [](const char* name, MessageIcon icon, int key, QMessageBox::Icon shown,
                            MessageAnswer answer) {
            QTest::newRow(name) << icon << key << int(shown) << answer;
        };
        row("Enter answers the question with its default Yes", MessageIcon::Question,
            Qt::Key_Return, QMessageBox::Question, MessageAnswer::Yes);
        row("Escape answers the question No", MessageIcon::Question, Qt::Key_Escape,
            QMessageBox::Question, MessageAnswer::No);
        row("a refusal shows the critical icon and Ok", MessageIcon::Critical, Qt::Key_Return,
            QMessageBox::Critical, MessageAnswer::Ok);
        row("the exclamation shows the warning icon and Ok", MessageIcon::Exclamation,
            Qt::Key_Return, QMessageBox::Warning, MessageAnswer::Ok);
    }
    void answersTheMessageBox() {
        QFETCH(MessageIcon, icon);
        QFETCH(int, key);
        QFETCH(int, shown);
        QFETCH(MessageAnswer, answer);
        const bool question = icon == MessageIcon::Question;
        QStringList seen;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            seen << box->windowTitle() << box->text() << QString::number(box->icon())
                 << QString::number(box->standardButtons().toInt());
            QTest::keyClick(box, Qt::Key(key));
        });
        QCOMPARE(QtPlatform().message(u"a.dat exists"_s, u"File Error"_s, icon,
                                      question ? MessageButtons::YesNo : MessageButtons::Ok),
                 answer);
        const int buttons = question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
        QCOMPARE(seen, QStringList({u"File Error"_s, u"a.dat exists"_s, QString::number(shown),
                                    QString::number(buttons)}));
    }
};

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
