#pragma once

#include <QString>
#include <stdexcept>

namespace corvane {

/// Base of every failure that goes to the application's error report; the text is for the user.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
    /// The message as the user reads it.
    QString message() const { return QString::fromUtf8(what()); }
};

/// A length, position or number outside the 16-bit range that command lists are held in.
class OverflowError : public Error {
public:
    using Error::Error;
};

/// Why a file could not be used.
enum class FileReason {
    Missing,       ///< no such file, or a link to one
    Folder,        ///< a folder where a file belongs
    NotRegular,    ///< a named pipe, a socket, a device
    NoPermission,  ///< the system refuses access, or the file is read-only
    NotOpened,     ///< the system refused to open it for another reason
    Empty,         ///< no byte at all, so no first line
    ReadFailed,
    WriteFailed,
};

/// Which file of the program's work it is.
enum class FileRole { Init, Reference, New, Settings, Output };

/// A file that could not be opened, read or written; message() gives the user's text.
class FileError : public Error {
public:
    /// detail is the system's reason where there is one; for NotRegular what the entry is
    /// ("a named pipe"), for a Settings write the setting's name.
    FileError(FileReason reason, FileRole role, const QString& path, const QString& detail = {});

    FileReason reason() const { return reason_; }
    FileRole role() const { return role_; }
    QString path() const { return path_; }
    QString detail() const { return detail_; }

    /// The user's text for a failure of this reason, role and path.
    static QString describe(FileReason reason, FileRole role, const QString& path,
                            const QString& detail);

private:
    FileReason reason_;
    FileRole role_;
    QString path_;
    QString detail_;
};

}  // namespace corvane
