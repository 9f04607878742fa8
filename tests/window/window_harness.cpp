#include "window_harness.h"

#include <QFile>

namespace corvane::test {

QString WindowHarness::writeFile(const QString& name, const QByteArray& bytes) const {
    const QString filePath = path(name);
    QFile file(filePath);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return filePath;
}

QByteArray WindowHarness::readFile(const QString& filePath) const {
    QFile file(filePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace corvane::test
