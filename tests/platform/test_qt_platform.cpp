// The real platform layer: filter translation, the literal existence test, program start, and
// the Qt file dialog and message boxes driven as a user would drive them.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/qt_platform.h"

using corvane::MessageAnswer;
using corvane::MessageButtons;
using corvane::MessageIcon;
using corvane::OpenFileRequest;
using corvane::QtPlatform;

namespace {

// Runs act on the modal dialog as soon as it is shown; the dialog's own event loop runs it.
void whenModal(const std::function<void(QWidget*)>& act) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start();
}

const QString kFilter = QStringLiteral("Data Files (*.dat)|*.dat|All Files (*.*)|*.*");

}  // namespace

class TestQtPlatform : public QObject {
    Q_OBJECT

private slots:
    void translatesFilters_data();
    void translatesFilters();
    void findsFilesLiterally_data();
    void findsFilesLiterally();
    void startsProgramsWithoutAShell();
    void returnsTheChosenFile();
    void returnsNothingWhenCancelled();
    void asksTheOverwriteQuestion_data();
    void asksTheOverwriteQuestion();
    void showsARefusal();

private:
    QTemporaryDir dir_;
};

void TestQtPlatform::translatesFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("qtFilters");
#ifdef Q_OS_WIN
    const QString every = QStringLiteral("All Files (*.*)");
#else
    const QString every = QStringLiteral("All Files (*)");
#endif
    QTest::newRow("the file choice's filter keeps data files and shows every file")
        << kFilter << QStringList{QStringLiteral("Data Files (*.dat)"), every};
    QTest::newRow("a name that shows no patterns gets them")
        << "Programs|*.exe" << QStringList{QStringLiteral("Programs (*.exe)")};
    QTest::newRow("several patterns become one list")
        << "Text|*.txt;*.log" << QStringList{QStringLiteral("Text (*.txt *.log)")};
    QTest::newRow("a name without patterns is dropped") << "Lonely" << QStringList{};
    QTest::newRow("an empty filter shows every file") << "" << QStringList{};
}

void TestQtPlatform::translatesFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, qtFilters);
    QCOMPARE(corvane::qtNameFilters(filter), qtFilters);
}

void TestQtPlatform::findsFilesLiterally_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::newRow("an ordinary file exists") << "a.dat" << true;
    QTest::newRow("a hidden file exists") << ".hidden.dat" << true;
    QTest::newRow("a folder is no file") << "folder.dat" << false;
    QTest::newRow("a missing file does not exist") << "b.dat" << false;
    QTest::newRow("a star matches nothing") << "*.dat" << false;
    QTest::newRow("a question mark matches nothing") << "?.dat" << false;
    QTest::newRow("an empty path names nothing") << "" << false;
}

void TestQtPlatform::findsFilesLiterally() {
    QFETCH(QString, name);
    QFETCH(bool, exists);

    QVERIFY(dir_.isValid());
    for (const QString& file : {QStringLiteral("a.dat"), QStringLiteral(".hidden.dat")}) {
        QFile created(dir_.filePath(file));
        QVERIFY(created.open(QIODevice::WriteOnly));
    }
    QDir(dir_.path()).mkdir(QStringLiteral("folder.dat"));
    QtPlatform platform;
    QCOMPARE(platform.fileExists(name.isEmpty() ? name : dir_.filePath(name)), exists);
}

void TestQtPlatform::startsProgramsWithoutAShell() {
#ifdef Q_OS_WIN
    QSKIP("Uses touch from a POSIX system");
#else
    QtPlatform platform;
    // Blanks, a semicolon and a command substitution stay part of the one argument.
    const QString made = dir_.filePath(QStringLiteral("my setups; $(touch x) `y`.dat"));
    QVERIFY(platform.startProgram(QStringLiteral("/usr/bin/touch"), {made}));
    QTRY_VERIFY(QFile::exists(made));
    QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("x"))));
    QVERIFY(!platform.startProgram(dir_.filePath(QStringLiteral("no such program")), {}));
#endif
}

void TestQtPlatform::returnsTheChosenFile() {
    QVERIFY(dir_.isValid());
    const QString chosen = dir_.filePath(QStringLiteral("scope.dat"));
    QFile file(chosen);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QString title;
    QString folder;
    QStringList filters;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog != nullptr);
        title = dialog->windowTitle();
        folder = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        QTest::keyClicks(name, QStringLiteral("scope.dat"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    QtPlatform platform;
    const OpenFileRequest request{QStringLiteral("Load Init File"),
                                  QDir::toNativeSeparators(dir_.path()),
                                  true,
                                  QString(),
                                  kFilter,
                                  4};
    const auto result = platform.showOpen(request);
    QCOMPARE(title, QStringLiteral("Load Init File"));
    QCOMPARE(folder, QDir(dir_.path()).absolutePath());
    QCOMPARE(filters, corvane::qtNameFilters(kFilter));
    QVERIFY(result.has_value());
    QCOMPARE(result->path, QDir::toNativeSeparators(chosen));
    QCOMPARE(result->fileTitle, QStringLiteral("scope.dat"));
}

void TestQtPlatform::returnsNothingWhenCancelled() {
    whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QtPlatform platform;
    const OpenFileRequest request{
        QStringLiteral("Load Reference File"), dir_.path(), true, QString(), kFilter, 4};
    QVERIFY(!platform.showOpen(request).has_value());
}

void TestQtPlatform::asksTheOverwriteQuestion_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<MessageAnswer>("answer");
    QTest::newRow("Enter takes the default Yes") << int(Qt::Key_Return) << MessageAnswer::Yes;
    QTest::newRow("N answers No") << int(Qt::Key_N) << MessageAnswer::No;
    QTest::newRow("Escape answers No") << int(Qt::Key_Escape) << MessageAnswer::No;
}

void TestQtPlatform::asksTheOverwriteQuestion() {
    QFETCH(int, key);
    QFETCH(MessageAnswer, answer);

    const QString text =
        QStringLiteral("/s/New_ref.dat already exists !\n\nDo want to overwrite it ?");
    QString shownText;
    QString shownTitle;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    bool yesIsDefault = false;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownIcon = box->icon();
        yesIsDefault =
            static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::Yes);
        QTest::keyClick(box, Qt::Key(key));
    });
    QtPlatform platform;
    QCOMPARE(platform.message(text, QStringLiteral("File Error"), MessageIcon::Question,
                              MessageButtons::YesNo),
             answer);
    QCOMPARE(shownText, text);
    QCOMPARE(shownTitle, QStringLiteral("File Error"));
    QCOMPARE(shownIcon, QMessageBox::Question);
    QVERIFY(yesIsDefault);
}

void TestQtPlatform::showsARefusal() {
    QStringList buttons;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        shownIcon = box->icon();
        for (const QAbstractButton* button : box->buttons()) {
            buttons << button->text();
        }
        QTest::keyClick(box, Qt::Key_Return);
    });
    QtPlatform platform;
    QCOMPARE(platform.message(QStringLiteral("Command Separator can't be empty !"),
                              QStringLiteral("Error"), MessageIcon::Critical, MessageButtons::Ok),
             MessageAnswer::Ok);
    QCOMPARE(shownIcon, QMessageBox::Critical);
    QCOMPARE(buttons.size(), 1);
}

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
