#pragma once

#include <QString>

namespace corvane {

/// The number at the start of text as the nearest 16-bit integer, halves going to the even one.
/// Blanks, tabs and line feeds are skipped wherever they stand; an optional sign, digits with
/// "." as the decimal point and an exponent ("e" or "E", optional sign, digits) are read up to
/// the first character that cannot continue the number; text without a number gives 0.
/// Throws OverflowError when the result lies outside -32768..32767.
qint16 leadingNumberToInt16(const QString& text);

}  // namespace corvane
