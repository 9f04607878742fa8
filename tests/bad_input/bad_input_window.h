#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "platform/fake_platform.h"
#include "settings/settings_store.h"
#include "window/form1.h"

class QLineEdit;
class QPushButton;

namespace corvane::test {

/// Every file under a folder as it was when taken: its bytes, or for very large files its
/// size, modification time and identity, so that a case can prove that nothing was lost.
class FileSnapshot {
public:
    explicit FileSnapshot(const QString& root);
    /// The files that differ from the snapshot: changed, gone, or new (unless allowed).
    QStringList differences(const QStringList& allowedNew = {}) const;

private:
    struct Entry {
        QByteArray bytes;
        qint64 size = 0;
        QDateTime modified;
        bool whole = true;
    };
    static QHash<QString, Entry> take(const QString& root);

    QString root_;
    QHash<QString, Entry> entries_;
};

/// One window over the scripted platform, its settings in an INI file of its own, and a
/// temporary folder for the files of a case. The window is shown, as a user meets it.
class BadInputWindow {
public:
    QTemporaryDir dir;
    std::unique_ptr<QSettings> ini;
    std::unique_ptr<SettingsStore> store;
    FakePlatform platform;
    std::unique_ptr<Form1> form;

    /// iniText, when given, is written to the settings file before the window loads, with
    /// every "%1" in it replaced by the case's folder.
    explicit BadInputWindow(const QByteArray& iniText = {});
    ~BadInputWindow();

    /// Whether programs are only recorded by the scripted platform or really started too.
    enum class Launches { Recorded, Started };
    /// Opens the settings file, builds the window and shows it; false when it is not shown.
    bool open(Launches launches = Launches::Recorded);
    /// The settings file.
    QString iniPath() const;

    /// The path of name in the case's folder; an absolute name stays as it is.
    QString path(const QString& name) const;
    /// Writes bytes to name in the case's folder (folders on the way are made) and returns it.
    QString write(const QString& name, const QByteArray& bytes) const;
    /// The bytes of a file; empty when it cannot be read.
    static QByteArray read(const QString& path);

    /// Chooses path in row 0 (Init) or 1 (Reference) through the "Find" dialog.
    void choose(int row, const QString& path);
    /// Types text into the New file's box, replacing what it held.
    void setNewFile(const QString& text);
    /// Selects "Other" and puts text into the separator box.
    void typeSeparator(const QString& text);
    /// Presses Run with the mouse; false when Run was not enabled.
    bool pressRun();

    /// Every message shown so far as "title | text", and forgets them.
    QStringList takeMessages();
    /// One critical error report titled "Corvane" with text, as takeMessages() lists it.
    static QStringList report(const QString& text);

    /// Chooses fresh inputs under "afterwards/" with ";" and runs; empty when the New file was
    /// written with the right line and nothing was shown, else what went wrong.
    QString normalRunFails();

    QLineEdit* textFile() const;
    QLineEdit* textSeparator() const;
    QPushButton* button(const char* name) const;

private:
    std::unique_ptr<Platform> starter_;
};

/// Whether the tests run with administrator rights, which every permission bit yields to.
bool runningAsRoot();

/// When running as root, runs the current test function and data row again as the
/// unprivileged user "nobody" in a child process and returns true, with *failure empty when
/// the child passed; false when the caller should run the case itself.
bool ranAsUnprivilegedUser(QString* failure);

}  // namespace corvane::test
