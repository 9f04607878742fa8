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

/// A file that could not be opened, read or written; the text names the file and the reason.
class FileError : public Error {
public:
    using Error::Error;
};

}  // namespace corvane
