#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace corvane {

/// What an open-file dialog is given before it is shown.
struct OpenFileRequest {
    QString title;     ///< the dialog's caption
    QString initDir;   ///< the folder it opens in; empty for the platform's choice
    QString fileName;  ///< the name it starts with
    QString filter;    ///< "Name|pattern|Name|pattern..."

    bool operator==(const OpenFileRequest&) const = default;
};

/// What the user chose in an open-file dialog.
struct OpenFileResult {
    QString path;       ///< the full path, with the platform's separators
    QString fileTitle;  ///< the file's name without its folder
};

enum class MessageIcon { Critical, Question, Exclamation };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

/// Everything the window asks of the operating system, so that tests can script it.
class Platform {
public:
    virtual ~Platform() = default;

    /// Shows a modal open-file dialog; empty when the user cancels.
    virtual std::optional<OpenFileResult> showOpen(const OpenFileRequest& request) = 0;
    /// Shows a modal message box and returns the button pressed.
    virtual MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                                  MessageButtons buttons) = 0;
    /// Starts program with arguments, each passed as is with no shell; false if it cannot start.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    /// Opens path in the desktop's text editor without waiting; false if none could start.
    /// failedLater runs afterwards, from the event loop, when the launcher then reports that no
    /// application could open the file.
    virtual bool openInEditor(const QString& path, const std::function<void()>& failedLater) = 0;
    /// The process's current directory as a full path with the platform's separators.
    virtual QString currentDirectory() = 0;
    /// Changes the current directory of the drive dir names (never the current drive).
    virtual bool changeDirectory(const QString& dir) = 0;
    /// True when anything but a folder (hidden files, named pipes, devices, links that lead
    /// nowhere included) exists at exactly this path.
    virtual bool fileExists(const QString& path) = 0;
};

}  // namespace corvane
