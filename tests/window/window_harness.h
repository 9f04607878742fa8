#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "platform/fake_platform.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/form1.h"

namespace corvane::test {

/// One window over the scripted platform; its settings file and the files a test writes live
/// in a temporary folder, which is also the current directory the platform reports.
class WindowHarness {
public:
    QTemporaryDir dir;
    QSettings ini{dir.filePath(QStringLiteral("Corvane.ini")), QSettings::IniFormat};
    SettingsStore store{ini};
    FakePlatform platform;
    std::unique_ptr<Form1> form;

    /// Stores the settings the window loads, builds the window and shows it unless told not to.
    explicit WindowHarness(const QList<std::pair<QLatin1String, QString>>& stored = {},
                           bool shown = true);
    /// Leaves the two file fields and the New file's text as given.
    void fill(const QString& init, const QString& reference, const QString& newFile);

    /// The control named prefix, or prefix followed by index.
    template <typename Control = QWidget>
    Control* get(const char* prefix, int index = -1) const {
        const QString name = QLatin1String(prefix);
        return form->findChild<Control*>(index < 0 ? name : name + QString::number(index));
    }
    QPushButton* find(int row) const { return get<QPushButton>("Command_File_", row); }
    PathLabel* label(int row) const { return get<PathLabel>("Label_File_", row); }
    QRadioButton* option(int index) const { return get<QRadioButton>("Option_Separator_", index); }
    QLineEdit* textFile() const { return get<QLineEdit>("Text_File"); }
    QLineEdit* separator() const { return get<QLineEdit>("Text_Separator"); }
    QPushButton* run() const { return get<QPushButton>("Command_Run"); }
    TriStateCheckBox* openFile() const { return get<TriStateCheckBox>("Check_OpenFile"); }

    /// The object name of the control that has the keyboard focus.
    static QString focused();
    /// "Init|Reference|New file|Run on or off|focused control", to compare in one step.
    QString state() const;
    QString path(const QString& fileName) const { return dir.filePath(fileName); }
    /// Writes bytes to a file in the temporary folder and returns its path.
    QString write(const QString& fileName, const QByteArray& bytes) const;
    /// The bytes of a file; empty when it cannot be read.
    static QByteArray read(const QString& filePath);
};

}  // namespace corvane::test
