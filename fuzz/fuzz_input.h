#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>

namespace corvane::fuzz {

/// Hands out a fuzz input piece by piece; reading past its end yields zeros and empty texts,
/// so every input, however short, decodes to some case.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size);

    /// The next byte, or 0 at the end.
    std::uint8_t byte();
    /// The next two bytes as a little-endian number, or 0 at the end.
    std::uint16_t word();
    /// Up to count of the next bytes, fewer at the end.
    QByteArray bytes(std::size_t count);
    /// Everything not read yet.
    QByteArray rest();
    /// Bytes decoded by mode: 0 as ISO 8859-1, 1 as UTF-16 pairs (any code unit, lone
    /// surrogates included), otherwise each byte picks a character of alphabet.
    static QString decode(const QByteArray& raw, int mode, QStringView alphabet);

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

/// Stops the process with what went wrong when condition fails, so the fuzzer keeps the input.
void require(bool condition, const char* invariant);

/// Sets the comparison's sizes from two bytes of in: tiny chunks, several threads and the
/// other search strategies reach borders that the usual sizes only meet in huge files.
void tuneScanFrom(FuzzInput& in);

/// Repeats seed (or "A" when it is empty) up to exactly length characters.
QString repeatedTo(const QString& seed, qsizetype length);

}  // namespace corvane::fuzz
