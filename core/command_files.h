#pragma once

#include <QString>
#include <optional>

#include "core/error.h"
#include "core/search_options.h"

namespace corvane {

/// The first line of the file at path (every byte before the first CR, read as ISO 8859-1);
/// throws FileError for role when the file cannot be opened or holds no line at all.
QString readFirstLine(const QString& path, FileRole role);

/// The bytes a separator typed by the user stands for in the files, one character per byte.
QString separatorInFiles(const QString& typed);

/// Follows a comparison from another thread, and stops it.
class CompareObserver {
public:
    virtual ~CompareObserver() = default;
    /// done of total bytes (the Init file's size) searched so far, never less than before;
    /// called from the comparing threads, one at a time.
    virtual void searched(qint64 done, qint64 total) = 0;
    /// True once the comparison is to stop; asked by every comparing thread before it reads its
    /// next chunk of the Init file.
    virtual bool cancelled() const = 0;
};

/// Reads the Init file's first line, then the Reference file's, and returns the New file's line;
/// the separator is taken as typed (see separatorInFiles).
QString compareCommandFiles(const QString& initPath, const QString& referencePath,
                            const QString& separator);

/// As compareCommandFiles, with the separator given as file bytes, reporting to observer when
/// there is one; nothing when the observer cancelled it.
std::optional<QString> compareCommandFileLines(const QString& initPath,
                                               const QString& referencePath,
                                               const QString& separator, CompareObserver* observer);

/// As compareCommandFileLines, reading and searching as options say.
std::optional<QString> compareCommandFileLines(const QString& initPath,
                                               const QString& referencePath,
                                               const QString& separator, CompareObserver* observer,
                                               const SearchOptions& options);

/// Creates or replaces path with line and CR LF; on failure an earlier file stays as it was.
void writeNewFile(const QString& path, const QString& line);

/// True when both paths name one existing file, however each is spelt.
bool isSameFile(const QString& a, const QString& b);

}  // namespace corvane
