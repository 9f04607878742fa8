#pragma once

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/stat.h>

namespace corvane {

/// What an entry of this mode is, when it is neither a regular file nor a folder: "a named
/// pipe", "a socket", "a device" or "a special file"; such an entry is neither read nor replaced.
inline QString entryKind(mode_t mode) {
    const char* kind = S_ISFIFO(mode)   ? QT_TRANSLATE_NOOP("corvane::FileError", "a named pipe")
                       : S_ISSOCK(mode) ? QT_TRANSLATE_NOOP("corvane::FileError", "a socket")
                       : S_ISCHR(mode) || S_ISBLK(mode)
                           ? QT_TRANSLATE_NOOP("corvane::FileError", "a device")
                           : QT_TRANSLATE_NOOP("corvane::FileError", "a special file");
    return QCoreApplication::translate("corvane::FileError", kind);
}

}  // namespace corvane
#endif
