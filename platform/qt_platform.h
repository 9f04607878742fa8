#pragma once

#include "platform/platform.h"

namespace corvane {

/// The platform as Qt and the operating system provide it.
class QtPlatform final : public Platform {
public:
    std::optional<OpenFileResult> showOpen(const OpenFileRequest& request) override;
    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                          MessageButtons buttons) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openInEditor(const QString& path, const std::function<void()>& failedLater) override;
    QString currentDirectory() override;
    bool changeDirectory(const QString& dir) override;
    bool fileExists(const QString& path) override;
};

/// Translates a "Name|pattern|..." filter into the name filters a Qt file dialog takes.
QStringList qtNameFilters(const QString& filter);

}  // namespace corvane
