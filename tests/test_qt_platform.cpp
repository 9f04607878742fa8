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
    }

    void answersTheMessageBox_data() {
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("seen");  // the icon shown, then the answer
        QTest::newRow("Enter answers the question with its default Yes")
            << MessageIcon::Question << int(Qt::Key_Return) << u"Question: Yes"_s;
        QTest::newRow("Escape answers the question No")
            << MessageIcon::Question << int(Qt::Key_Escape) << u"Question: No"_s;
        QTest::newRow("a refusal shows the critical icon and Ok")
            << MessageIcon::Critical << int(Qt::Key_Return) << u"Critical: Ok"_s;
        QTest::newRow("the exclamation shows the warning icon and Ok")
            << MessageIcon::Exclamation << int(Qt::Key_Return) << u"Warning: Ok"_s;
    }
    void answersTheMessageBox() {
        QFETCH(MessageIcon, icon);
        QFETCH(int, key);
        QFETCH(QString, seen);
        QString shown;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            shown = u"%1 %2 %3"_s.arg(
                box->windowTitle(), box->text(),
                QLatin1String(QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(box->icon())));
            QTest::keyClick(box, Qt::Key(key));
        });
        const auto buttons =
            icon == MessageIcon::Question ? MessageButtons::YesNo : MessageButtons::Ok;
        const auto answer = QtPlatform().message(u"a.dat exists"_s, u"File Error"_s, icon, buttons);
        const char* answers[] = {"Ok", "Yes", "No"};
        QCOMPARE(shown + u": "_s + QLatin1String(answers[int(answer)]),
                 u"File Error a.dat exists "_s + seen);
    }
};

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
