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

/// One window over the scripted platform and a settings file of its own in a temporary folder,
/// which also holds the files a test writes.
class WindowHarness {
public:
    QTemporaryDir dir;
    QSettings ini{dir.filePath(QStringLiteral("Corvane.ini")), QSettings::IniFormat};
    SettingsStore store{ini};
    FakePlatform platform;
    std::unique_ptr<Form1> form;

    /// Stores the settings the window loads, then builds the window (not shown yet).
    explicit WindowHarness(const QList<std::pair<QLatin1String, QString>>& stored = {}) {
        platform.currentDir = dir.path();
        for (const auto& [key, value] : stored) {
            store.save(key, value);
        }
        form = std::make_unique<Form1>(platform, store);
    }

    /// Shows the window and waits until it has the keyboard.
    bool show() {
        form->show();
        return QTest::qWaitForWindowActive(form.get());
    }

    template <typename Control>
    Control* control(const char* name) const {
        return form->findChild<Control*>(QLatin1String(name));
    }
    QPushButton* findButton(int row) const {
        return control<QPushButton>(row == 0 ? "Command_File_0" : "Command_File_1");
    }
    PathLabel* label(int row) const {
        return control<PathLabel>(row == 0 ? "Label_File_0" : "Label_File_1");
    }
    QLineEdit* textFile() const { return control<QLineEdit>("Text_File"); }
    QLineEdit* textSeparator() const { return control<QLineEdit>("Text_Separator"); }
    QPushButton* run() const { return control<QPushButton>("Command_Run"); }
    QRadioButton* option(int index) const {
        return form->findChild<QRadioButton*>(QStringLiteral("Option_Separator_%1").arg(index));
    }
    TriStateCheckBox* openFile() const { return control<TriStateCheckBox>("Check_OpenFile"); }

    /// The object name of the control that has the keyboard focus.
    static QString focused() {
        const QWidget* widget = QApplication::focusWidget();
        return widget != nullptr ? widget->objectName() : QString();
    }

    /// A path in the temporary folder.
    QString path(const QString& name) const { return dir.filePath(name); }

    /// Writes bytes to a file in the temporary folder and returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes) const;
    /// The bytes of a file in the temporary folder; empty when it cannot be read.
    QByteArray readFile(const QString& filePath) const;
};

}  // namespace corvane::test
