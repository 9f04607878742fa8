#include "bad_input_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

#include "platform/qt_platform.h"

namespace corvane::test {

namespace {

// The scripted platform, except that programs are really started (and still recorded).
class StartingPlatform final : public Platform {
public:
    explicit StartingPlatform(FakePlatform& fake) : fake_(fake) {}
    std::optional<OpenFileResult> showOpen(const OpenFileRequest& r) override {
        return fake_.showOpen(r);
    }
    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                          MessageButtons buttons) override {
        return fake_.message(text, title, icon, buttons);
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        fake_.launches.append({program, arguments});
        return real_.startProgram(program, arguments);
    }
    bool openInEditor(const QString& path, const std::function<void()>& failedLater) override {
        return fake_.openInEditor(path, failedLater);
    }
    QString currentDirectory() override { return fake_.currentDirectory(); }
    bool changeDirectory(const QString& dir) override { return fake_.changeDirectory(dir); }
    bool fileExists(const QString& path) override { return fake_.fileExists(path); }

private:
    FakePlatform& fake_;
    QtPlatform real_;
};

// Every file under root: its bytes, or past 64 MiB (too slow to read twice) its size and time.
QHash<QString, QByteArray> snapshot(const QString& root) {
    QHash<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile file(info.filePath());
        files.insert(info.filePath(),
                     info.size() <= (64 << 20) && file.open(QIODevice::ReadOnly)
                         ? file.readAll()
                         : QByteArray::number(info.size()) + ' ' +
                               info.lastModified().toString(Qt::ISODateWithMs).toUtf8());
    }
    return files;
}

}  // namespace

BadInputWindow::BadInputWindow(const QByteArray& iniText) {
    if (!iniText.isNull()) {
        write(iniPath(), QByteArray(iniText).replace("%1", QFile::encodeName(dir.path())));
    }
    platform.currentDir = dir.path();
}

BadInputWindow::~BadInputWindow() {
    form.reset();
    // Folders a case made read-only are opened again, so that the temporary folder goes.
    QDirIterator it(dir.path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

bool BadInputWindow::open(Launches launches) {
    if (launches == Launches::Started) {
        starter_ = std::make_unique<StartingPlatform>(platform);
    }
    ini = std::make_unique<QSettings>(iniPath(), QSettings::IniFormat);
    store = std::make_unique<SettingsStore>(*ini);
    form = std::make_unique<Form1>(starter_ ? *starter_ : static_cast<Platform&>(platform), *store);
    form->show();
    return QTest::qWaitForWindowActive(form.get());
}

QString BadInputWindow::write(const QString& name, const QByteArray& bytes) const {
    const QString filePath = path(name);
    QDir().mkpath(QFileInfo(filePath).path());
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        qWarning("could not write %s", qPrintable(filePath));
    }
    return filePath;
}

QByteArray BadInputWindow::read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void BadInputWindow::choose(int row, const QString& path) {
    platform.planChoice(path);
    QTest::mouseClick(button(row == 0 ? "Command_File_0" : "Command_File_1"), Qt::LeftButton);
}

void BadInputWindow::typeSeparator(const QString& text) {
    QTest::mouseClick(form->findChild<QRadioButton*>(QStringLiteral("Option_Separator_2")),
                      Qt::LeftButton);
    textSeparator()->setText(text);
}

QStringList BadInputWindow::takeMessages() {
    QStringList shown;
    for (const FakePlatform::Message& m : platform.messages) {
        const char* icon = m.icon == MessageIcon::Critical   ? "critical"
                           : m.icon == MessageIcon::Question ? "question"
                                                             : "exclamation";
        shown.append(m.title + QStringLiteral(" [%1] ").arg(QLatin1String(icon)) + m.text);
    }
    platform.messages.clear();
    return shown;
}

QString BadInputWindow::pressAndCheck(const char* name, const QStringList& expected,
                                      const QString& newFile, const QByteArray& written) {
    const QHash<QString, QByteArray> before = snapshot(dir.path());
    QPushButton* pressed = button(name);
    if (!pressed->isEnabled()) {
        return QStringLiteral("the button was not enabled");
    }
    QTest::mouseClick(pressed, Qt::LeftButton);
    const QString shown = takeMessages().join(QStringLiteral("\n---\n"));
    const QString pattern = QRegularExpression::escape(expected.join(QStringLiteral("\n---\n")))
                                .replace(QStringLiteral("\\<n\\>"), QStringLiteral("\\d+"));
    if (!QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(shown).hasMatch()) {
        return QStringLiteral("shown:\n") + shown.left(2000);
    }
    QHash<QString, QByteArray> after = snapshot(dir.path());
    if (!written.isNull()) {
        if (after.value(newFile) != written) {
            return QStringLiteral("the New file holds ") +
                   QString::fromLatin1(after.value(newFile).toPercentEncoding());
        }
        after.insert(newFile, before.value(newFile, written));
        if (!before.contains(newFile)) {
            after.remove(newFile);
        }
    }
    if (after != before) {
        return QStringLiteral("files changed, appeared or went");
    }
    return normalRunFails();
}

QString BadInputWindow::normalRunFails() {
    takeMessages();
    QTest::mouseClick(form->findChild<QRadioButton*>(QStringLiteral("Option_Separator_0")),
                      Qt::LeftButton);
    QTest::mouseClick(button("Command_Clear"), Qt::LeftButton);
    const QString newFile = path(QStringLiteral("afterwards/New_ref.dat"));
    QFile::remove(newFile);
    choose(0, write(QStringLiteral("afterwards/init.dat"), "RST;VOLT 1;\r\n"));
    choose(1, write(QStringLiteral("afterwards/ref.dat"), "RST;VOLT 2;OUTP ON\r\nsecond\r\n"));
    if (textFile()->text() != QDir::toNativeSeparators(newFile) ||
        !button("Command_Run")->isEnabled()) {
        return QStringLiteral("a normal Run could not start: ") + textFile()->text();
    }
    QTest::mouseClick(button("Command_Run"), Qt::LeftButton);
    const QStringList shown = takeMessages();
    if (!shown.isEmpty() || read(newFile) != "VOLT 2;OUTP ON\r\n") {
        return QStringLiteral("a normal Run failed: ") + shown.join(QLatin1Char('\n'));
    }
    return {};
}

bool ranAsUnprivilegedUser(QString* failure) {
    if (::geteuid() != 0) {
        return false;
    }
    // A copy that user nobody may run: the build folder can lie where only root may enter.
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/corvane-as-user-XXXXXX"));
    const QString program = folder.filePath(QStringLiteral("as-user"));
    const auto everyone = QFileDevice::Permissions::fromInt(0x7755);
    if (!QFileInfo::exists(program) &&
        !(QFile::setPermissions(folder.path(), everyone) &&
          QFile::copy(QCoreApplication::applicationFilePath(), program) &&
          QFile::setPermissions(program, everyone))) {
        *failure = QStringLiteral("the test program could not be copied for user nobody");
        return true;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), QStringLiteral("/tmp"));
    environment.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(QDir::tempPath());
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                 QStringLiteral("--clear-groups"), program,
                 QString::fromUtf8(QTest::currentTestFunction()) + QLatin1Char(':') +
                     QString::fromUtf8(QTest::currentDataTag())});
    child.waitForFinished(300000);
    const QString output = QString::fromLocal8Bit(child.readAll());
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
                        output.contains(QStringLiteral("PASS   : ")) &&
                        output.contains(QStringLiteral(", 0 failed, 0 skipped"));
    *failure = passed ? QString() : QStringLiteral("the case failed as user nobody:\n") + output;
    return true;
}

}  // namespace corvane::test
