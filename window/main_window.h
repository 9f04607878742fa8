#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>

#include "platform/platform.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QRadioButton;

namespace corvane {

class SettingsStore;
class PathLabel;
class TriStateCheckBox;
class RunJob;
struct RunPlan;

/// The program's one window: choose an Init and a Reference file, name the New file, pick the
/// command separator and Run; it remembers the user's choices and starts Quintrel.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    /// Builds the controls and restores the remembered settings; the window is not shown yet.
    MainWindow(Platform& platform, SettingsStore& settings, QWidget* parent = nullptr);
    /// Stops a Run still working.
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The two file rows; each has a "Find" button and a path label.
    enum class Row { Init, Reference };

private slots:
    void onFindClicked(Row row);
    void onPathLabelDoubleClicked(Row row);
    void onSeparatorOptionClicked(int option);
    void onRunClicked();
    void onRunFinished();
    void onQuintrelClicked();
    void onClearClicked();
    void saveSettingsOnce();

private:
    void buildControls();
    void connectControls();
    /// Sets the window's font to one in which every caption fits its control.
    void chooseWindowFont();
    /// True when every caption is shown whole in its control with the window's current font.
    bool captionsFit() const;

    /// Enables Run when all three inputs are there and moves the focus to the next missing one.
    void updateRunReadiness();
    /// Gives control the focus, unless the window is hidden or control cannot take it.
    void focusIfPossible(QWidget* control);
    /// Selects option as a click would, running its effect only when it was not selected.
    void selectSeparatorOption(int option);
    /// Takes file as chosen in row: shows it, and proposes the New file for a Reference file.
    void takeChosenFile(Row row, const OpenFileResult& file);
    /// Shows message in the error report.
    void report(const QString& message);

    /// Compares and writes off this thread, with the controls locked until it ends.
    void startRun(const RunPlan& plan);
    /// Shows how far a Run that takes long has come, and offers to stop it.
    void showProgress();
    /// Locks or unlocks every control while a Run works.
    void lockControls(bool locked);
    /// Stops a working Run, waits for it and ends it as if it had finished.
    void stopRun();

    void loadSettings();
    void saveSettings();

    PathLabel* pathLabel(Row row) const;
    QPushButton* findButton(Row row) const;

    Platform& platform_;
    SettingsStore& settings_;

    // What was loaded and what Run chose, to write back at close only what changed.
    QString startFolder_;
    QString newFileFolder_;
    QString quintrelPath_;
    QString savedSeparator_;
    qint16 savedOpenNewFile_ = 0;
    bool quintrelPathUnset_ = false;
    bool settingsSaved_ = false;

    QPushButton* initFindButton_ = nullptr;
    QPushButton* referenceFindButton_ = nullptr;
    PathLabel* initPathLabel_ = nullptr;
    PathLabel* referencePathLabel_ = nullptr;
    QLineEdit* newFileEdit_ = nullptr;
    QPushButton* runButton_ = nullptr;
    QGroupBox* separatorFrame_ = nullptr;
    std::array<QRadioButton*, 3> separatorOptions_{};  // ";", ";:" and one typed in the box
    QLineEdit* separatorEdit_ = nullptr;
    TriStateCheckBox* openNewFileCheck_ = nullptr;
    QPushButton* quintrelButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QLabel* initCaption_ = nullptr;
    QLabel* referenceCaption_ = nullptr;
    QLabel* newFileCaption_ = nullptr;

    RunJob* runJob_ = nullptr;
    QString runNewPath_;
    QPointer<QWidget> focusBeforeRun_;
    bool runEnabledBeforeRun_ = false;
    QTimer progressDelay_;
    QTimer progressUpdates_;
    QProgressDialog* progress_ = nullptr;
};

}  // namespace corvane
