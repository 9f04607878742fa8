#pragma once

#include <QString>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/stat.h>

namespace corvane {

/// Why an entry of this mode is neither read nor replaced: "it is a named pipe, not a regular
/// file" and the like; empty for a regular file.
inline QString notRegularReason(mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    const char* kind = S_ISFIFO(mode)                   ? "a named pipe"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "a special file";
    return QStringLiteral("it is %1, not a regular file").arg(QLatin1String(kind));
}

}  // namespace corvane
#endif
