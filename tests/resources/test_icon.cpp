// The window's icon and the program file's icon are one 32 x 32 paletted picture with a mask.
#include <QImage>
#include <QTest>

class TestIcon : public QObject {
    Q_OBJECT

private slots:
    void programFileAndWindowShowOnePalettedPicture() {
        const QImage window(QStringLiteral(":/icons/corvane.png"));
        const QImage programFile(QStringLiteral(CORVANE_SOURCE_DIR "/app/corvane.ico"));
        QCOMPARE(window.size(), QSize(32, 32));
        QCOMPARE(window.format(), QImage::Format_Indexed8);
        QVERIFY(window.hasAlphaChannel());
        QCOMPARE(programFile.convertToFormat(QImage::Format_ARGB32),
                 window.convertToFormat(QImage::Format_ARGB32));
    }
};

QTEST_MAIN(TestIcon)
#include "test_icon.moc"
