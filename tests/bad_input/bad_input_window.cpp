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

// Larger files are compared by size, time and identity: reading a gigabyte twice per case
// would make the suite slow without telling more.
constexpr qint64 kWholeUpTo = 64 * 1024 * 1024;

QString iconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QStringLiteral("critical");
        case MessageIcon::Question:
            return QStringLiteral("question");
        case MessageIcon::Exclamation:
            return QStringLiteral("exclamation");
    }
    return {};
}

// The scripted platform, except that programs are really started (and still recorded).
class StartingPlatform final : public Platform {
public:
    explicit StartingPlatform(FakePlatform& fake) : fake_(fake) {}

    std::optional<OpenFileResult> showOpen(const OpenFileRequest& request) override {
        return fake_.showOpen(request);
    }
    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                          MessageButtons buttons) override {
        return fake_.message(text, title, icon, buttons);
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        fake_.launches.append({program, arguments});
        return real_.startProgram(program, arguments);
    }
    bool openInEditor(const QString& path) override { return fake_.openInEditor(path); }
    QString currentDirectory() override { return fake_.currentDirectory(); }
    bool changeDirectory(const QString& dir) override { return fake_.changeDirectory(dir); }
    bool fileExists(const QString& path) override { return fake_.fileExists(path); }

private:
    FakePlatform& fake_;
    QtPlatform real_;
};

}  // namespace

FileSnapshot::FileSnapshot(const QString& root) : root_(root), entries_(take(root)) {}

QHash<QString, FileSnapshot::Entry> FileSnapshot::take(const QString& root) {
    QHash<QString, Entry> entries;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        if (info.isSymLink()) {
            continue;  // its target is listed in its own right
        }
        Entry entry;
        entry.size = info.size();
        entry.modified = info.lastModified();
        QFile file(path);
        entry.whole = entry.size <= kWholeUpTo && file.open(QIODevice::ReadOnly);
        if (entry.whole) {
            entry.bytes = file.readAll();
        }
        entries.insert(path, entry);
    }
    return entries;
}

QStringList FileSnapshot::differences(const QStringList& allowed) const {
    const QHash<QString, Entry> now = take(root_);
    QStringList found;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it) {
        if (allowed.contains(it.key())) {
            continue;
        }
        const auto later = now.constFind(it.key());
        if (later == now.cend()) {
            found.append(QStringLiteral("gone: ") + it.key());
        } else if (later->size != it->size || later->modified != it->modified ||
                   later->whole != it->whole || later->bytes != it->bytes) {
            found.append(QStringLiteral("changed: ") + it.key());
        }
    }
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (!entries_.contains(it.key()) && !allowed.contains(it.key())) {
            found.append(QStringLiteral("new: ") + it.key());
        }
    }
    found.sort();
    return found;
}

BadInputWindow::BadInputWindow(const QByteArray& iniText) {
    if (!iniText.isNull()) {
        write(iniPath(), QByteArray(iniText).replace("%1", QFile::encodeName(dir.path())));
    }
    platform.currentDir = dir.path();
}

BadInputWindow::~BadInputWindow() {
    form.reset();  // before the platform it uses
    // Folders a case made read-only are opened again, so that the temporary folder goes.
    QDirIterator it(dir.path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QFile(dir.path()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    while (it.hasNext()) {
        QFile(it.next()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

bool BadInputWindow::open(Launches launches) {
    Platform* used = &platform;
    if (launches == Launches::Started) {
        starter_ = std::make_unique<StartingPlatform>(platform);
        used = starter_.get();
    }
    // The settings file is read when it is opened, so a case can change it until now.
    ini = std::make_unique<QSettings>(iniPath(), QSettings::IniFormat);
    store = std::make_unique<SettingsStore>(*ini);
    form = std::make_unique<Form1>(*used, *store);
    form->show();
    return QTest::qWaitForWindowActive(form.get());
}

QString BadInputWindow::iniPath() const {
    return path(QStringLiteral("Corvane.ini"));
}

QString BadInputWindow::path(const QString& name) const {
    return QDir(dir.path()).filePath(name);
}

QString BadInputWindow::write(const QString& name, const QByteArray& bytes) const {
    const QString filePath = path(name);
    QDir().mkpath(QFileInfo(filePath).path());
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
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

void BadInputWindow::setNewFile(const QString& text) {
    textFile()->setText(text);
}

void BadInputWindow::typeSeparator(const QString& text) {
    QTest::mouseClick(form->findChild<QRadioButton*>(QStringLiteral("Option_Separator_2")),
                      Qt::LeftButton);
    textSeparator()->setText(text);
}

bool BadInputWindow::pressRun() {
    QPushButton* run = button("Command_Run");
    if (!run->isEnabled()) {
        return false;
    }
    QTest::mouseClick(run, Qt::LeftButton);
    return true;
}

QStringList BadInputWindow::takeMessages() {
    QStringList shown;
    for (const FakePlatform::Message& message : platform.messages) {
        shown.append(message.title + QStringLiteral(" [") + iconName(message.icon) +
                     QStringLiteral("] ") + message.text);
    }
    platform.messages.clear();
    return shown;
}

QStringList BadInputWindow::report(const QString& text) {
    return {QStringLiteral("Corvane [critical] ") + text};
}

QString BadInputWindow::normalRunFails() {
    takeMessages();
    QTest::mouseClick(form->findChild<QRadioButton*>(QStringLiteral("Option_Separator_0")),
                      Qt::LeftButton);
    QTest::mouseClick(button("Command_Clear"), Qt::LeftButton);
    const QString init = write(QStringLiteral("afterwards/init.dat"), "RST;VOLT 1;\r\n");
    const QString reference =
        write(QStringLiteral("afterwards/ref.dat"), "RST;VOLT 2;OUTP ON\r\nsecond line\r\n");
    const QString newFile = path(QStringLiteral("afterwards/New_ref.dat"));
    QFile::remove(newFile);
    choose(0, init);
    choose(1, reference);
    if (textFile()->text() != QDir::toNativeSeparators(newFile)) {
        return QStringLiteral("the New file proposed was ") + textFile()->text();
    }
    if (!pressRun()) {
        return QStringLiteral("Run was not enabled");
    }
    const QStringList shown = takeMessages();
    if (!shown.isEmpty()) {
        return QStringLiteral("Run showed: ") + shown.join(QLatin1Char('\n'));
    }
    const QByteArray written = read(newFile);
    if (written != "VOLT 2;OUTP ON\r\n") {
        return QStringLiteral("the New file holds ") +
               QString::fromLatin1(written.toPercentEncoding());
    }
    return {};
}

QLineEdit* BadInputWindow::textFile() const {
    return form->findChild<QLineEdit*>(QStringLiteral("Text_File"));
}

QLineEdit* BadInputWindow::textSeparator() const {
    return form->findChild<QLineEdit*>(QStringLiteral("Text_Separator"));
}

QPushButton* BadInputWindow::button(const char* name) const {
    return form->findChild<QPushButton*>(QLatin1String(name));
}

namespace {

// A copy of this test program that every user may run: the build folder can lie where only
// its owner may enter, as a checkout under /root does. Made once per process.
QString programForEveryone() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/corvane-as-user-XXXXXX"));
    static const QString copy = [] {
        const QString path =
            folder.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                              QFileDevice::ExeGroup | QFileDevice::ReadOther |
                              QFileDevice::ExeOther;
        const bool copied = folder.isValid() && QFile::setPermissions(folder.path(), everyone) &&
                            QFile::copy(QCoreApplication::applicationFilePath(), path) &&
                            QFile::setPermissions(path, everyone);
        return copied ? path : QString();
    }();
    return copy;
}

}  // namespace

bool runningAsRoot() {
    return ::geteuid() == 0;
}

bool ranAsUnprivilegedUser(QString* failure) {
    if (!runningAsRoot()) {
        return false;
    }
    const QString row = QString::fromUtf8(QTest::currentTestFunction()) + QLatin1Char(':') +
                        QString::fromUtf8(QTest::currentDataTag());
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), QStringLiteral("/tmp"));
    environment.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(QDir::tempPath());
    const QString program = programForEveryone();
    if (program.isEmpty()) {
        *failure = QStringLiteral("the test program could not be copied for user nobody");
        return true;
    }
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                 QStringLiteral("--clear-groups"), program, row});
    if (!child.waitForFinished(300000)) {
        *failure = QStringLiteral("the case as user nobody did not finish: ") + child.errorString();
        child.kill();
        child.waitForFinished();
        return true;
    }
    const QString output = QString::fromLocal8Bit(child.readAll());
    static const QRegularExpression passed(
        QStringLiteral("Totals: \\d+ passed, 0 failed, 0 skipped"));
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 ||
        !output.contains(passed) || !output.contains(QStringLiteral("PASS   : "))) {
        *failure = QStringLiteral("the case failed as user nobody:\n") + output;
    } else {
        failure->clear();
    }
    return true;
}

}  // namespace corvane::test
