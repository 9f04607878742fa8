#include "platform/fake_platform.h"

#include <QDir>

#include "core/paths.h"
#include "platform/qt_platform.h"

namespace corvane::test {

FakePlatform::FakePlatform() : currentDir(QDir::toNativeSeparators(QDir::currentPath())) {}

std::optional<OpenFileResult> FakePlatform::showOpen(const OpenFileRequest& request) {
    openRequests.append(request);
    if (openAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

MessageAnswer FakePlatform::message(const QString& text, const QString& title, MessageIcon icon,
                                    MessageButtons buttons) {
    messages.append({text, title, icon, buttons});
    if (messageAnswers.empty()) {
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    const MessageAnswer answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

bool FakePlatform::startProgram(const QString& program, const QStringList& arguments) {
    launches.append({program, arguments});
    return startSucceeds;
}

bool FakePlatform::openInEditor(const QString& path, const std::function<void()>& failedLater) {
    editorOpens.append(path);
    editorFailedLater = failedLater;
    return editorSucceeds;
}

QString FakePlatform::currentDirectory() {
    return currentDir;
}

bool FakePlatform::changeDirectory(const QString& dir) {
    directoryChanges.append(dir);
    if (changeDirectorySucceeds) {
        currentDir = dir;
    }
    return changeDirectorySucceeds;
}

bool FakePlatform::fileExists(const QString& path) {
    return QtPlatform().fileExists(path);
}

void FakePlatform::planChoice(const QString& path) {
    const qsizetype cut = path.lastIndexOf(nativeSeparator());
    openAnswers.push_back(OpenFileResult{path, path.mid(cut + 1)});
}

}  // namespace corvane::test
