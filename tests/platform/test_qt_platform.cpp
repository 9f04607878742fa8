// The real platform layer: filter translation, the literal existence test, and the Qt file
// dialog and message boxes driven as a user would drive them.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/qt_platform.h"

using namespace Qt::StringLiterals;
using corvane::MessageAnswer;
using corvane::MessageButtons;
using corvane::MessageIcon;

namespace {

// Acts on the modal dialog as soon as it is shown; the dialog's own event loop runs the act.
void whenModal(const std::function<void(QWidget*)>& act) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            act(modal);
        }
    });
    poll->start(10);
}

const QString kFilter = u"Data Files (*.dat)|*.dat|All Files (*.*)|*.*"_s;

}  // namespace

class TestQtPlatform : public QObject {
    Q_OBJECT

private slots:
    void translatesFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("qtFilters");
#ifdef Q_OS_WIN
        const QString every = u"All Files (*.*)"_s;
#else
        const QString every = u"All Files (*)"_s;  // "*.*" would hide files without a dot
#endif
        QTest::newRow("the file choice keeps data files and shows every file")
            << kFilter << QStringList{u"Data Files (*.dat)"_s, every};
        QTest::newRow("several patterns become one list")
            << u"Text|*.txt;*.log"_s << QStringList{u"Text (*.txt *.log)"_s};
        QTest::newRow("a name without patterns is dropped") << u"Lonely"_s << QStringList{};
    }
    void translatesFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, qtFilters);
        QCOMPARE(corvane::qtNameFilters(filter), qtFilters);
    }

    void findsFilesLiterally() {
        QTemporaryDir dir;
        for (const QString& name : {u"a.dat"_s, u".hidden.dat"_s}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(dir.path()).mkdir(u"folder.dat"_s));
        corvane::QtPlatform platform;
        QStringList found;
        for (const QString& name :
             {u"a.dat"_s, u".hidden.dat"_s, u"folder.dat"_s, u"b.dat"_s, u"*.dat"_s, u"?.dat"_s}) {
            if (platform.fileExists(dir.filePath(name))) {
                found << name;
            }
        }
        QCOMPARE(found, QStringList({u"a.dat"_s, u".hidden.dat"_s}));
        QVERIFY(!platform.fileExists(QString()));
    }

    void drivesTheFileDialog_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("a file typed and confirmed is chosen") << false;
        QTest::newRow("Escape cancels and chooses nothing") << true;
    }
    void drivesTheFileDialog() {
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        QFile(dir.filePath(u"scope.dat"_s)).open(QIODevice::WriteOnly);
        QStringList shown;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            shown << dialog->windowTitle() << dialog->directory().absolutePath()
                  << dialog->nameFilters();
            auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
            QTest::keyClicks(name, u"scope.dat"_s);
            QTest::keyClick(name, cancel ? Qt::Key_Escape : Qt::Key_Return);
        });
        const auto result = corvane::QtPlatform().showOpen(
            {u"Load Init File"_s, QDir::toNativeSeparators(dir.path()), true, {}, kFilter, 4});
        QCOMPARE(shown, QStringList({u"Load Init File"_s, QDir(dir.path()).absolutePath()})
                            << corvane::qtNameFilters(kFilter));
        QCOMPARE(result.has_value(), !cancel);
        if (result) {
            QCOMPARE(result->path, QDir::toNativeSeparators(dir.filePath(u"scope.dat"_s)));
            QCOMPARE(result->fileTitle, u"scope.dat"_s);
        }
    }

    void drivesTheMessageBox_data() {
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<MessageButtons>("buttons");
        QTest::addColumn<int>("key");
        QTest::addColumn<MessageAnswer>("answer");
        QTest::newRow("Enter answers the question with its default Yes")
            << MessageIcon::Question << MessageButtons::YesNo << int(Qt::Key_Return)
            << MessageAnswer::Yes;
        QTest::newRow("N answers the question No") << MessageIcon::Question << MessageButtons::YesNo
                                                   << int(Qt::Key_N) << MessageAnswer::No;
        QTest::newRow("a refusal shows Ok alone") << MessageIcon::Critical << MessageButtons::Ok
                                                  << int(Qt::Key_Return) << MessageAnswer::Ok;
    }
    void drivesTheMessageBox() {
        QFETCH(MessageIcon, icon);
        QFETCH(MessageButtons, buttons);
        QFETCH(int, key);
        QFETCH(MessageAnswer, answer);
        const QString text = u"/s/New_ref.dat already exists !\n\nDo want to overwrite it ?"_s;
        QStringList shown;
        bool yesIsDefault = false;
        whenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            shown << box->windowTitle() << box->text() << QString::number(box->icon())
                  << QString::number(box->standardButtons().toInt());
            yesIsDefault = box->standardButton(box->defaultButton()) == QMessageBox::Yes;
            QTest::keyClick(box, Qt::Key(key));
        });
        QCOMPARE(corvane::QtPlatform().message(text, u"File Error"_s, icon, buttons), answer);
        const bool question = icon == MessageIcon::Question;
        const int expectedButtons = question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
        QCOMPARE(
            shown,
            QStringList({u"File Error"_s, text,
                         QString::number(question ? QMessageBox::Question : QMessageBox::Critical),
                         QString::number(expectedButtons)}));
        QVERIFY(yesIsDefault || !question);
    }
};

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
