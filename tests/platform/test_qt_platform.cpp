// The real platform layer: filter translation, the literal existence test, and the Qt file
// dialog and message boxes driven as a user would drive them.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "platform/qt_platform.h"

using namespace Qt::StringLiterals;
using corvane::MessageAnswer;
using corvane::MessageButtons;
using corvane::MessageIcon;

namespace {

// Acts on the modal dialog once it is shown; the dialog's own event loop runs the act.
template <typename Dialog>
void whenShown(const std::function<void(Dialog*)>& act) {
    QTimer::singleShot(10, qApp, [act] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            act(dialog);
        } else {
            whenShown(act);
        }
    });
}

const QString kFilter = u"Data Files (*.dat)|*.dat|All Files (*.*)|*.*"_s;

}  // namespace

class TestQtPlatform : public QObject {
    Q_OBJECT

private slots:
    void translatesFilters() {
#ifdef Q_OS_WIN
        const QString every = u"All Files (*.*)"_s;
#else
        const QString every = u"All Files (*)"_s;  // "*.*" would hide files without a dot
#endif
        QCOMPARE(corvane::qtNameFilters(kFilter), QStringList({u"Data Files (*.dat)"_s, every}));
        // Several patterns become one list; a name without patterns is dropped.
        QCOMPARE(corvane::qtNameFilters(u"Text|*.txt;*.log|Lonely"_s),
                 QStringList{u"Text (*.txt *.log)"_s});
    }

    void findsFilesLiterally() {
        QTemporaryDir dir;
        QFile(dir.filePath(u"a.dat"_s)).open(QIODevice::WriteOnly);
        QFile(dir.filePath(u".hidden.dat"_s)).open(QIODevice::WriteOnly);
        QVERIFY(QDir(dir.path()).mkdir(u"folder.dat"_s));
        QStringList expected{u"a.dat"_s, u".hidden.dat"_s};
#ifdef Q_OS_UNIX
        // Entries that are no regular file count too, so that Run asks before it touches one.
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"pipe.dat"_s)).constData(), 0600), 0);
        QVERIFY(QFile::link(dir.filePath(u"gone.dat"_s), dir.filePath(u"dangling.dat"_s)));
        expected << u"pipe.dat"_s << u"dangling.dat"_s;
#endif
        corvane::QtPlatform platform;
        QStringList found;
        for (const QString& name :
             {u"a.dat"_s, u".hidden.dat"_s, u"folder.dat"_s, u"b.dat"_s, u"*.dat"_s, u"?.dat"_s,
              u"[a].dat"_s, u"pipe.dat"_s, u"dangling.dat"_s}) {
            if (platform.fileExists(dir.filePath(name))) {
                found << name;
            }
        }
        QCOMPARE(found, expected);
        QVERIFY(!platform.fileExists(QString()));
    }

    void drivesTheFileDialog_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("a file typed and confirmed is chosen") << int(Qt::Key_Return);
        QTest::newRow("Escape cancels and chooses nothing") << int(Qt::Key_Escape);
    }
    void drivesTheFileDialog() {
        QFETCH(int, key);
        QTemporaryDir dir;
        const QString chosen = QDir::toNativeSeparators(dir.filePath(u"scope.dat"_s));
        QFile(chosen).open(QIODevice::WriteOnly);
        QStringList shown;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            shown << dialog->windowTitle() << dialog->directory().absolutePath()
                  << dialog->nameFilters();
            auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
            QTest::keyClicks(name, u"scope.dat"_s);
            QTest::keyClick(name, Qt::Key(key));
        });
        const auto result = corvane::QtPlatform().showOpen(
            {u"Load Init File"_s, QDir::toNativeSeparators(dir.path()), true, {}, kFilter, 4});
        QCOMPARE(shown, QStringList({u"Load Init File"_s, QDir(dir.path()).absolutePath()})
                            << corvane::qtNameFilters(kFilter));
        QCOMPARE(result ? result->path + u'|' + result->fileTitle : QString(),
                 key == Qt::Key_Return ? chosen + u"|scope.dat"_s : QString());
    }

    void opensAsAUserExpects() {
        // Locating a program: its start folder is missing and the typed file does not exist yet.
        QTemporaryDir dir;
        const QString typed = dir.filePath(u"quintrel"_s);
        QStringList shown;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
            shown << name->text() << dialog->selectedNameFilter();
            dialog->setDirectory(dir.path());  // the user browses to the folder
            QTest::keyClicks(name, u"quintrel"_s);
            QTest::keyClick(name, Qt::Key_Return);
            if (dialog->isVisible()) {
                dialog->reject();  // the name was refused
            }
        });
        const auto result =
            corvane::QtPlatform().showOpen({u"Find Quintrel"_s,
                                            dir.filePath(u"missing"_s),
                                            true,
                                            {},
                                            u"Program Files (*.exe)|*.exe|All Files (*.*)|*.*"_s,
                                            12});
#ifdef Q_OS_WIN
        QCOMPARE(shown.constFirst(), QString());
#else
        QCOMPARE(shown, QStringList({QString(), u"All Files (*)"_s}));
#endif
        QCOMPARE(result ? result->path : QString(), QDir::toNativeSeparators(typed));
    }

    void drivesTheMessageBox_data() {
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<int>("key");
        QTest::addColumn<MessageAnswer>("answer");
        QTest::newRow("Enter answers the question with its default Yes")
            << MessageIcon::Question << int(Qt::Key_Return) << MessageAnswer::Yes;
        QTest::newRow("N answers the question No")
            << MessageIcon::Question << int(Qt::Key_N) << MessageAnswer::No;
        QTest::newRow("a refusal shows Ok alone")
            << MessageIcon::Critical << int(Qt::Key_Return) << MessageAnswer::Ok;
    }
    void drivesTheMessageBox() {
        QFETCH(MessageIcon, icon);
        QFETCH(int, key);
        QFETCH(MessageAnswer, answer);
        const bool question = icon == MessageIcon::Question;
        const QString text = u"/s/New_ref.dat already exists !\n\nDo want to overwrite it ?"_s;
        QString caption;
        QList<int> shown;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            caption = box->windowTitle() + u'|' + box->text();
            shown << box->icon() << box->standardButtons().toInt()
                  << box->standardButton(box->defaultButton());
            QTest::keyClick(box, Qt::Key(key));
        });
        QCOMPARE(
            corvane::QtPlatform().message(text, u"File Error"_s, icon,
                                          question ? MessageButtons::YesNo : MessageButtons::Ok),
            answer);
        QCOMPARE(caption, u"File Error|"_s + text);
        QCOMPARE(shown.mid(0, question ? 3 : 2),
                 question ? QList<int>({QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                                        QMessageBox::Yes})
                          : QList<int>({QMessageBox::Critical, QMessageBox::Ok}));
    }
};

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
