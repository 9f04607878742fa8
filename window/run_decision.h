#pragma once

#include <QChar>
#include <QString>
#include <variant>

#include "platform/platform.h"

namespace corvane {

/// What Run is given: the window's inputs as the user left them.
struct RunInputs {
    QString separator;      ///< as typed
    QString newFileText;    ///< the New file box's text
    QString initPath;       ///< the Init file's label
    QString referencePath;  ///< the Reference file's label
    QString currentDir;     ///< where a bare New file name goes
    QChar folderSeparator;  ///< between folders in the paths above
};

/// The file system as Run's checks see it.
class RunFiles {
public:
    virtual ~RunFiles() = default;
    /// True when both paths name one existing file, however each is spelt.
    virtual bool isSameFile(const QString& a, const QString& b) const = 0;
    /// True when an entry other than a folder exists at exactly path.
    virtual bool exists(const QString& path) const = 0;
};

/// Run stops before it touches a file and tells the user why.
struct RunRefusal {
    /// The control that takes the focus after the message, if any.
    enum class Focus { None, Separator };
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::Critical;
    Focus focus = Focus::None;

    bool operator==(const RunRefusal&) const = default;
};

/// Run goes on to compare the files into newPath.
struct RunPlan {
    QString newPath;
    QString folderToRemember;  ///< the New file's folder, remembered once Run goes ahead
    bool askBeforeReplacing = false;

    bool operator==(const RunPlan&) const = default;
};

/// What Run decided, and the New file box's text after it completed the name.
struct RunDecision {
    QString newFileText;
    std::variant<RunRefusal, RunPlan> outcome;
};

/// Applies Run's checks in their order: the separator, the New file's folder and ".dat", the
/// two inputs against each other, the New file against both, and whether it exists. Throws
/// OverflowError for a separator or a folder past 16-bit lengths.
RunDecision decideRun(const RunInputs& inputs, const RunFiles& files);

/// The question Run asks before it replaces the existing file at path.
QString replaceQuestion(const QString& path);

}  // namespace corvane
