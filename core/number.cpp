#include "core/number.h"

#include <algorithm>
#include <string>

#include "core/error.h"

namespace corvane {

namespace {

// An exponent past this is saturated: it already puts any non-zero number far out of range.
constexpr long kExponentLimit = 100000;

bool isSkipped(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads characters of text from position on, stepping over the skipped ones.
class Reader {
public:
    explicit Reader(const QString& text) : text_(text) {}

    QChar peek() {
        while (pos_ < text_.size() && isSkipped(text_[pos_])) {
            ++pos_;
        }
        return pos_ < text_.size() ? text_[pos_] : QChar();
    }
    void take() { ++pos_; }
    qsizetype position() const { return pos_; }
    void rewind(qsizetype position) { pos_ = position; }

private:
    const QString& text_;
    qsizetype pos_ = 0;
};

[[noreturn]] void overflow(const QString& text) {
    throw OverflowError(
        QStringLiteral("Overflow: the number in \"%1\" lies outside -32768 to 32767.").arg(text));
}

}  // namespace

qint16 leadingNumberToInt16(const QString& text) {
    Reader in(text);

    bool negative = false;
    if (in.peek() == QLatin1Char('+') || in.peek() == QLatin1Char('-')) {
        negative = in.peek() == QLatin1Char('-');
        in.take();
    }

    // The significant digits without the point, and how many of them stand before it.
    std::string digits;
    long pointAt = 0;
    bool seenPoint = false;
    for (;;) {
        const QChar c = in.peek();
        if (isDigit(c)) {
            digits.push_back(static_cast<char>(c.unicode()));
            if (!seenPoint) {
                ++pointAt;
            }
        } else if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        in.take();
    }
    if (digits.empty()) {
        return 0;
    }

    // An exponent counts only when at least one digit follows its letter and sign.
    if (in.peek() == QLatin1Char('e') || in.peek() == QLatin1Char('E')) {
        const qsizetype beforeExponent = in.position();
        in.take();
        bool exponentNegative = false;
        if (in.peek() == QLatin1Char('+') || in.peek() == QLatin1Char('-')) {
            exponentNegative = in.peek() == QLatin1Char('-');
            in.take();
        }
        if (isDigit(in.peek())) {
            long exponent = 0;
            while (isDigit(in.peek())) {
                exponent = std::min(kExponentLimit, exponent * 10 + in.peek().digitValue());
                in.take();
            }
            pointAt += exponentNegative ? -exponent : exponent;
        } else {
            in.rewind(beforeExponent);
        }
    }

    // Leading zeros carry no value: drop them so that pointAt counts the integer digits.
    const std::size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos) {
        return 0;
    }
    digits.erase(0, firstSignificant);
    pointAt -= static_cast<long>(firstSignificant);

    // Six integer digits or more are at least 100000.
    if (pointAt > 5) {
        overflow(text);
    }

    long magnitude = 0;
    for (long i = 0; i < pointAt; ++i) {
        const auto index = static_cast<std::size_t>(i);
        magnitude = magnitude * 10 + (index < digits.size() ? digits[index] - '0' : 0);
    }

    // Round the fraction exactly in decimal: above a half up, below down, a half to even.
    if (pointAt >= 0 && static_cast<std::size_t>(pointAt) < digits.size()) {
        const auto first = static_cast<std::size_t>(pointAt);
        const int firstFraction = digits[first] - '0';
        const bool moreAfterFirst = digits.find_first_not_of('0', first + 1) != std::string::npos;
        if (firstFraction > 5 || (firstFraction == 5 && (moreAfterFirst || magnitude % 2 == 1))) {
            ++magnitude;
        }
    }

    const long value = negative ? -magnitude : magnitude;
    if (value < -32768 || value > 32767) {
        overflow(text);
    }
    return static_cast<qint16>(value);
}

}  // namespace corvane
