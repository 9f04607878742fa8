// The leading-number conversion of "Open New File" on any text, held against the C library's
// correctly rounded decimal reading wherever a double carries the number exactly enough.
#include <QString>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/error.h"
#include "core/number.h"
#include "fuzz/fuzz_input.h"

using corvane::fuzz::FuzzInput;
using corvane::fuzz::require;

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The number at the start of text, blanks, tabs and line feeds removed first, written out
// plainly for strtod; also how many significant digits it has.
struct Plain {
    std::string text;
    int significant = 0;
};

Plain plainNumber(const QString& text) {
    QString s;
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n')) {
            s += c;
        }
    }
    Plain out;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        out.text += static_cast<char>(s[i++].unicode());
    }
    std::string digits;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            digits += static_cast<char>(s[i].unicode());
        } else if (s[i] == QLatin1Char('.') && !point) {
            point = true;
            digits += '.';
        } else {
            break;
        }
    }
    if (digits.find_first_of("0123456789") == std::string::npos) {
        return {};
    }
    out.text += digits;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-'))) {
            exponent += static_cast<char>(s[j++].unicode());
        }
        const qsizetype firstDigit = j;
        while (j < s.size() && isDigit(s[j])) {
            exponent += static_cast<char>(s[j++].unicode());
        }
        if (j > firstDigit) {
            out.text += exponent;
        }
    }
    std::string bare;
    for (const char c : digits) {
        if (c != '.') {
            bare += c;
        }
    }
    const auto first = bare.find_first_not_of('0');
    out.significant =
        first == std::string::npos ? 0 : static_cast<int>(bare.find_last_not_of('0') - first + 1);
    return out;
}

std::optional<qint16> converted(const QString& text) {
    try {
        return corvane::leadingNumberToInt16(text);
    } catch (const corvane::OverflowError&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.byte();
    const std::uint16_t probe = in.word();
    static const QString alphabet = QStringLiteral("0123456789.+-eE \t\n\rx,5");
    const QString text = FuzzInput::decode(in.rest(), flags % 3, alphabet);

    // Any 16-bit integer written out reads back as itself, however it is padded.
    const auto i = static_cast<qint16>(probe);
    require(converted(QStringLiteral(" \t%1\nabc").arg(i)) == i, "an integer reads back");

    const auto result = converted(text);
    const Plain plain = plainNumber(text);
    if (plain.text.empty()) {
        require(result == qint16(0), "a text without a number gives 0");
        return 0;
    }
    if (plain.significant > 15) {
        return 0;  // beyond what a double tells apart; only the absence of a crash counts here
    }
    std::fesetround(FE_TONEAREST);
    const double value = std::nearbyint(std::strtod(plain.text.c_str(), nullptr));
    if (value < -32768.0 || value > 32767.0) {
        require(!result, "a number outside the 16-bit range is refused");
    } else {
        require(result == static_cast<qint16>(value), "the nearest integer, halves to even");
    }

    return 0;
}
