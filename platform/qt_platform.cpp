#include "platform/qt_platform.h"

namespace corvane {

std::optional<OpenFileResult> QtPlatform::showOpen(const OpenFileRequest&) {
    return std::nullopt;
}
MessageAnswer QtPlatform::message(const QString&, const QString&, MessageIcon, MessageButtons) {
    return MessageAnswer::Ok;
}
bool QtPlatform::startProgram(const QString&, const QStringList&) {
    return false;
}
bool QtPlatform::openInEditor(const QString&) {
    return false;
}
QString QtPlatform::currentDirectory() {
    return {};
}
bool QtPlatform::changeDirectory(const QString&) {
    return false;
}
bool QtPlatform::fileExists(const QString&) {
    return false;
}
QStringList qtNameFilters(const QString&) {
    return {};
}

}  // namespace corvane
