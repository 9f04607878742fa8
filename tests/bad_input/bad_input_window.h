#pragma once

#include <QByteArray>
#include <QDir>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "platform/fake_platform.h"
#include "settings/settings_store.h"
#include "window/form1.h"

namespace corvane::test {

/// One shown window over the scripted platform, its settings in an INI file of its own, and a
/// temporary folder for the files of a case.
class BadInputWindow {
public:
    QTemporaryDir dir;
    std::unique_ptr<QSettings> ini;
    std::unique_ptr<SettingsStore> store;
    FakePlatform platform;
    std::unique_ptr<Form1> form;

    /// iniText, when not null, becomes the settings file, each "%1" replaced by the folder.
    explicit BadInputWindow(const QByteArray& iniText = {});
    ~BadInputWindow();

    enum class Launches { Recorded, Started };
    /// Builds and shows the window; Started also really starts the programs it launches.
    bool open(Launches launches = Launches::Recorded);
    QString iniPath() const { return path(QStringLiteral("Corvane.ini")); }
    /// The path of name in the case's folder; an absolute name stays as it is.
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    /// Writes bytes to name in the case's folder, making folders on the way; returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    /// The bytes of a file; empty when it cannot be read.
    static QByteArray read(const QString& path);
    /// Chooses path in row 0 (Init) or 1 (Reference) through the "Find" dialog.
    void choose(int row, const QString& path);
    /// Selects "Other" and puts text into the separator box.
    void typeSeparator(const QString& text);
    /// Every message shown so far as "title [icon] text", and forgets them.
    QStringList takeMessages();

    /// Presses button and checks the exact messages ("<n>" matches a number), that no file
    /// changed but newFile (which must then hold written), and that a normal Run works after.
    /// Empty when all holds, else what went wrong.
    QString pressAndCheck(const char* button, const QStringList& expected,
                          const QString& newFile = {}, const QByteArray& written = {});
    /// Chooses fresh inputs with ";" and runs; empty when the right line was written quietly.
    QString normalRunFails();

    QLineEdit* textFile() const { return form->findChild<QLineEdit*>(QStringLiteral("Text_File")); }
    QLineEdit* textSeparator() const {
        return form->findChild<QLineEdit*>(QStringLiteral("Text_Separator"));
    }
    QPushButton* button(const char* name) const {
        return form->findChild<QPushButton*>(QLatin1String(name));
    }

private:
    std::unique_ptr<Platform> starter_;
};

/// When running as root, runs the current test row again as user "nobody" in a child process
/// and returns true, with *failure empty when it passed; false when the caller runs it itself.
bool ranAsUnprivilegedUser(QString* failure);

}  // namespace corvane::test
