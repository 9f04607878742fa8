#include "core/error.h"

#include <QCoreApplication>

namespace corvane {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("corvane::FileError", text);
}

}  // namespace

FileError::FileError(FileReason reason, FileRole role, const QString& path, const QString& detail)
    : Error(describe(reason, role, path, detail)),
      reason_(reason),
      role_(role),
      path_(path),
      detail_(detail) {}

QString FileError::describe(FileReason reason, FileRole role, const QString& path,
                            const QString& detail) {
    QString why = detail;
    switch (reason) {
        case FileReason::Folder:
            why = role == FileRole::New ? tr("it is a folder") : tr("it is a folder, not a file");
            break;
        case FileReason::NotRegular:
            why = tr("it is %1, not a regular file").arg(detail);
            break;
        case FileReason::Missing:
            why = detail.isEmpty() ? tr("it is a link to a file that does not exist") : detail;
            break;
        case FileReason::NoPermission:
            why = detail.isEmpty() ? tr("it is read-only") : detail;
            break;
        case FileReason::Empty:
            why = tr("it is empty and has no first line");
            break;
        default:
            break;
    }
    const QString quoted = QLatin1Char('"') + path + QLatin1Char('"');
    switch (role) {
        case FileRole::New:
            return tr("Could not write the New file %1: %2.").arg(quoted, why);
        case FileRole::Output:
            return tr("Could not write to the standard output: %1.").arg(why);
        case FileRole::Settings:
            return reason == FileReason::WriteFailed
                       ? tr("The setting \"%1\" could not be saved in %2.").arg(detail, path)
                       : tr("The remembered settings could not be read from %1.").arg(path);
        case FileRole::Init:
        case FileRole::Reference:
            break;
    }
    const QString what = role == FileRole::Init ? tr("Init file") : tr("Reference file");
    return (reason == FileReason::Empty || reason == FileReason::ReadFailed
                ? tr("Could not read the %1 %2: %3.")
                : tr("Could not open the %1 %2: %3."))
        .arg(what, quoted, why);
}

}  // namespace corvane
