#include "window_harness.h"

#include <QFile>
#include <tuple>

namespace corvane::test {

WindowHarness::WindowHarness(const QList<std::pair<QLatin1String, QString>>& stored, bool shown) {
    platform.currentDir = dir.path();
    for (const auto& [key, value] : stored) {
        store.save(key, value);
    }
    form = std::make_unique<Form1>(platform, store);
    if (shown) {
        form->show();
        // Not fatal here: the focus checks that need the keyboard then fail with a clear message.
        std::ignore = QTest::qWaitForWindowActive(form.get());
    }
}

void WindowHarness::fill(const QString& init, const QString& reference, const QString& newFile) {
    label(0)->setCaption(init);
    label(1)->setCaption(reference);
    textFile()->setText(newFile);
}

QString WindowHarness::focused() {
    const QWidget* widget = QApplication::focusWidget();
    return widget != nullptr ? widget->objectName() : QString();
}

QString WindowHarness::state() const {
    return QStringList{label(0)->text(), label(1)->text(), textFile()->text(),
                       run()->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"), focused()}
        .join(QLatin1Char('|'));
}

QString WindowHarness::write(const QString& fileName, const QByteArray& bytes) const {
    QFile file(path(fileName));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName()
                                                                                : QString();
}

QByteArray WindowHarness::read(const QString& filePath) {
    QFile file(filePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace corvane::test
