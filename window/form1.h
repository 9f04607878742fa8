#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "core/error.h"
#include "platform/platform.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace corvane {

class SettingsStore;
class PathLabel;
class TriStateCheckBox;

/// Giving a control the focus while the window is not shown.
class FocusRefused : public Error {
public:
    using Error::Error;
};

/// The six values the window holds for its procedures, created empty, 0 and false.
struct WindowVariables {
    QString startDir;
    QString newDir;
    QString toolPath;
    QString savedSeparator;
    qint16 savedOpenFile = 0;
    bool toolPathUnset = false;
};

/// The one window of the program: its controls, its variables and its event procedures.
class Form1 : public QWidget {
    Q_OBJECT

public:
    /// Builds the controls in their initial state and loads the window; it is not shown yet.
    Form1(Platform& platform, SettingsStore& settings, QWidget* parent = nullptr);
    ~Form1() override;

    /// The window variables, for the procedures' observers.
    const WindowVariables& variables() const { return vars_; }

    // The window's method and event procedures, named as the user's actions reach them.

    /// Enables Run when all three inputs are there and moves the focus to the next missing one.
    void EnableRun();
    /// Empties both file labels and the New file's text, then focuses the first "Find".
    void Command_Clear_Click();
    /// Lets the user choose the Init (0) or Reference (other) file.
    void Command_File_Click(qint16 Index);
    /// Locates Quintrel while no path was stored, then starts it.
    void Command_Quintrel_Click();
    /// Compares the two files into the New file.
    void Command_Run_Click();
    /// Restores the remembered settings; runs once before the window is shown.
    void Form_Load();
    /// Writes back the settings that changed; Cancel is left as it is.
    void Form_Unload(qint16& Cancel);
    /// Empties the file label Index and focuses that row's "Find".
    void Label_File_DblClick(qint16 Index);
    /// Fills and locks, or unlocks, the separator box for option Index.
    void Option_Separator_Click(qint16 Index);
    /// Re-evaluates Run after every change of the New file's text.
    void Text_File_Change();
    /// Empties the New file's text.
    void Text_File_DblClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Runs Form_Unload the first time the window closes or the session or program ends.
    void unloadOnce();
    void buildControls();
    void wireEvents();
    /// Sets the window's font to one in which every caption fits its control.
    void chooseWindowFont();
    /// True when every caption is shown whole in its control with the window's current font.
    bool captionsFit() const;
    /// Gives control the focus; throws FocusRefused while the window is not shown.
    void giveFocus(QWidget* control);
    /// Selects option index as a procedure does: its Click runs only when it was not selected.
    void selectOption(int index);
    /// Runs a procedure that has no handler of its own; its Error goes to the error report.
    void reported(const std::function<void()>& procedure);
    /// Takes a file dropped on row index as if it had been chosen in that row's dialog.
    void takeChosenFile(qint16 index, const OpenFileResult& chosen);

    Platform& platform_;
    SettingsStore& settings_;
    WindowVariables vars_;
    bool unloaded_ = false;
    OpenFileRequest CommonDialog1;  // the dialog's settings, applied before each ShowOpen

    std::array<QPushButton*, 2> Command_File{};
    QLineEdit* Text_File = nullptr;
    QPushButton* Command_Run = nullptr;
    std::array<QRadioButton*, 3> Option_Separator{};
    QLineEdit* Text_Separator = nullptr;
    TriStateCheckBox* Check_OpenFile = nullptr;
    QPushButton* Command_Quintrel = nullptr;
    QPushButton* Command_Clear = nullptr;
    std::array<PathLabel*, 2> Label_File{};
    std::array<QLabel*, 3> Label1{};
    QGroupBox* Frame1 = nullptr;
};

}  // namespace corvane
