// The current directory: read it, and change it the way a remembered start folder is entered.
#include <QDir>
#include <string>

#include "platform/qt_platform.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace corvane {

QString QtPlatform::currentDirectory() {
    return QDir::toNativeSeparators(QDir::currentPath());
}

#ifdef Q_OS_WIN

namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// The drive letter that a full path starts with, upper case; a null QChar for UNC paths.
QChar driveOf(const QString& path) {
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter()) {
        return path[0].toUpper();
    }
    return {};
}

}  // namespace

// Windows keeps one current directory per drive: the process's own for the current drive and
// an "=D:" environment variable for each other one. A folder on another drive changes only
// that drive's entry, so the current drive, and the folder Run completes names with, stay.
bool QtPlatform::changeDirectory(const QString& dir) {
    const QString wanted = QDir::toNativeSeparators(dir);
    // "D:" and "D:sub" are resolved against drive D's own current directory.
    const DWORD needed = GetFullPathNameW(wide(wanted), 0, nullptr, nullptr);
    if (needed == 0) {
        return false;
    }
    std::wstring buffer(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide(wanted), needed, buffer.data(), nullptr);
    if (written == 0 || written >= needed) {
        return false;
    }
    buffer.resize(written);
    const QString full = QString::fromStdWString(buffer);

    // A removable drive without a disk would make Windows ask with a system box; the thread
    // takes the failure as an answer instead, and the folder is passed over.
    DWORD previousMode = 0;
    const bool quiet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != 0;
    const DWORD attributes = GetFileAttributesW(wide(full));
    if (quiet) {
        SetThreadErrorMode(previousMode, nullptr);
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }

    const QChar drive = driveOf(full);
    const QChar currentDrive = driveOf(QDir::toNativeSeparators(QDir::currentPath()));
    if (!drive.isNull() && drive != currentDrive) {
        const QString variable = QLatin1Char('=') + drive + QLatin1Char(':');
        return SetEnvironmentVariableW(wide(variable), wide(full)) != 0;
    }
    return SetCurrentDirectoryW(wide(full)) != 0;
}

#else

// Without drives the remembered folder simply becomes the current directory.
bool QtPlatform::changeDirectory(const QString& dir) {
    return QDir::setCurrent(dir);
}

#endif

}  // namespace corvane
