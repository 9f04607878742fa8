#pragma once

#include <QString>

namespace corvane::bench {

/// One comparison to measure: an Init file and a Reference file on disk.
struct BenchCase {
    QString name;
    QString initPath;
    QString referencePath;
    qint64 initBytes = 0;
};

/// The Init file of the given size (a few bytes more) in folder, written once and reused:
/// one line of instrument commands, ended by CR LF, that holds about half of the commands of
/// halfReferencePath and none of noneReferencePath, spread over the whole line.
void makeInit(const QString& folder, qint64 bytes, QString* initPath, QString* halfReferencePath,
              QString* noneReferencePath);

/// A Reference and an Init file of about bytes each, half of the Reference commands present.
void makeSmall(const QString& folder, qint64 bytes, QString* initPath, QString* referencePath);

}  // namespace corvane::bench
