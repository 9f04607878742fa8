#include "core/standard_output.h"

#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/error.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace corvane {

void writeStandardOutput(const QByteArray& bytes) {
#ifdef Q_OS_WIN
    // Text mode would turn the New line's CR LF into CR CR LF.
    ::_setmode(::_fileno(stdout), _O_BINARY);
#endif
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) ==
                         std::size_t(bytes.size());
    if (!written || std::fflush(stdout) != 0) {
        const int error = errno;
        throw FileError(FileReason::WriteFailed, FileRole::Output, QString(),
                        error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                   : QStringLiteral("the output was cut short"));
    }
}

}  // namespace corvane
