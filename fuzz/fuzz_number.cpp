// The leading number of "Open New File" on any text: the nearest 16-bit integer, halves to the
// even one, as the C library's correctly rounded reading gives it where a double is exact
// enough; a text without a number gives 0.
#include <QRegularExpression>
#include <cfenv>
#include <cmath>

#include "core/number.h"
#include "fuzz/fuzz.h"

using namespace corvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::uint8_t flags = in.byte();
    const auto probe = qint16(in.word());
    const QString text = in.text(size, flags % 3, u"0123456789.+-eE \t\n\rx,5");
    const auto read = [](const QString& t) {
        return unlessOverflow([&] { return corvane::leadingNumberToInt16(t); });
    };
    require(read(QStringLiteral(" \t%1\nabc").arg(probe)) == probe, "an integer reads back");

    // Blanks, tabs and line feeds go; then come a sign, digits with one point, an exponent.
    static const QRegularExpression number(
        QStringLiteral("^[+-]?([0-9]*)\\.?([0-9]*)([eE][+-]?[0-9]+)?"));
    const auto plain = number.match(QString(text).remove(QRegularExpression(u"[ \t\n]"_qs)));
    QString digits = plain.captured(1) + plain.captured(2);
    if (digits.remove(QRegularExpression(u"^0+|0+$"_qs)).size() > 15) {
        return 0;  // beyond what a double tells apart; only the absence of a crash counts here
    }
    std::fesetround(FE_TONEAREST);
    const double value = plain.captured(1).isEmpty() && plain.captured(2).isEmpty()
                             ? 0
                             : std::nearbyint(std::strtod(plain.captured().toLatin1(), nullptr));
    require(value < -32768.0 || value > 32767.0 ? !read(text) : read(text) == qint16(value),
            "the nearest integer, halves to even, or refused past the 16-bit range");
    return 0;
}
