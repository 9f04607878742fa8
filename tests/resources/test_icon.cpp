#include <QFile>
#include <QImage>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

// The icon is one picture in three places: the window's (a resource linked with the window
// library), the program file's on Windows (app/corvane.ico) and the desktop menu's (the same
// PNG, installed into the icon theme). Each must be 32 x 32 with a 256-entry palette and
// transparency, and all must show the same pixels.
class TestIcon : public QObject {
    Q_OBJECT

private slots:
    void isPalettedWithTransparency_data();
    void isPalettedWithTransparency();
    void programFileIconHoldsOnePalettedImageWithMask();
    void programFileAndWindowShowTheSamePicture();
};

namespace {

const QString kWindowIcon = u":/icons/corvane.png"_s;
const QString kProgramFileIcon = QStringLiteral(CORVANE_SOURCE_DIR "/app/corvane.ico");

}  // namespace

void TestIcon::isPalettedWithTransparency_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("the window's icon is linked in with the window") << kWindowIcon;
    QTest::newRow("the program file's icon") << kProgramFileIcon;
}

void TestIcon::isPalettedWithTransparency() {
    QFETCH(QString, path);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(u"cannot load "_s + path));
    QCOMPARE(image.size(), QSize(32, 32));

    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    int transparent = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb pixel = argb.pixel(x, y);
            // A mask, not a blend: every pixel is either fully transparent or fully opaque.
            QVERIFY(qAlpha(pixel) == 0 || qAlpha(pixel) == 255);
            transparent += qAlpha(pixel) == 0 ? 1 : 0;
            colours.insert(pixel);
        }
    }
    QVERIFY(transparent > 0);
    QVERIFY(transparent < 32 * 32 / 2);
    QVERIFY(colours.size() <= 256);
}

void TestIcon::programFileIconHoldsOnePalettedImageWithMask() {
    QFile file(kProgramFileIcon);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() >= 6 + 16 + 40);
    const auto u16 = [&bytes](int at) {
        return int(quint8(bytes[at])) | int(quint8(bytes[at + 1])) << 8;
    };
    const auto u32 = [&](int at) { return u16(at) | u16(at + 2) << 16; };

    QCOMPARE(u16(2), 1);  // an icon file
    QCOMPARE(u16(4), 1);  // with one image
    QCOMPARE(quint8(bytes[6]), quint8(32));
    QCOMPARE(quint8(bytes[7]), quint8(32));
    const int image = u32(6 + 12);
    QCOMPARE(u32(6 + 8), bytes.size() - image);
    // The image's bitmap header: colour and mask stacked (twice the height), 8 bits per pixel,
    // a palette of 256 entries, then 32 x 32 colour indices and a 1-bit mask of 4-byte rows.
    QCOMPARE(u32(image + 4), 32);
    QCOMPARE(u32(image + 8), 64);
    QCOMPARE(u16(image + 14), 8);
    QCOMPARE(u32(image + 32), 256);
    QCOMPARE(bytes.size() - image, 40 + 256 * 4 + 32 * 32 + 32 * 4);
}

void TestIcon::programFileAndWindowShowTheSamePicture() {
    const QImage window = QImage(kWindowIcon).convertToFormat(QImage::Format_ARGB32);
    const QImage programFile = QImage(kProgramFileIcon).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(programFile.size(), window.size());
    for (int y = 0; y < window.height(); ++y) {
        for (int x = 0; x < window.width(); ++x) {
            const QRgb a = window.pixel(x, y);
            const QRgb b = programFile.pixel(x, y);
            // Under the mask the colour does not matter.
            if (qAlpha(a) == 0 && qAlpha(b) == 0) {
                continue;
            }
            QVERIFY2(a == b,
                     qPrintable(u"pixel %1,%2: %3 against %4"_s.arg(x).arg(y).arg(a, 8, 16).arg(
                         b, 8, 16)));
        }
    }
}

QTEST_MAIN(TestIcon)
#include "test_icon.moc"
