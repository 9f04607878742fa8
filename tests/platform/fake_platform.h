#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

#include "platform/platform.h"

namespace corvane::test {

/// A scripted platform: records every call and returns the answers planned for it.
class FakePlatform final : public Platform {
public:
    struct Message {
        QString text;
        QString title;
        MessageIcon icon;
        MessageButtons buttons;
    };
    struct Launch {
        QString program;
        QStringList arguments;
    };

    // Planned answers. An empty queue cancels the dialog and answers Ok, or Yes to a question.
    std::deque<std::optional<OpenFileResult>> openAnswers;
    std::deque<MessageAnswer> messageAnswers;
    bool startSucceeds = true;
    bool editorSucceeds = true;
    bool changeDirectorySucceeds = true;
    QString currentDir;  ///< what currentDirectory() answers

    // What the window asked for, in order.
    QList<OpenFileRequest> openRequests;
    QList<Message> messages;
    QList<Launch> launches;
    QStringList editorOpens;
    std::function<void()> editorFailedLater;  ///< what the last openInEditor() was given
    QStringList directoryChanges;

    FakePlatform();

    std::optional<OpenFileResult> showOpen(const OpenFileRequest& request) override;
    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                          MessageButtons buttons) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openInEditor(const QString& path, const std::function<void()>& failedLater) override;
    QString currentDirectory() override;
    bool changeDirectory(const QString& dir) override;
    bool fileExists(const QString& path) override;

    /// Plans one chosen file: its full path, and its name taken from after the last separator.
    void planChoice(const QString& path);
};

}  // namespace corvane::test
