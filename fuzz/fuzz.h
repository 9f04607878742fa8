// What every fuzz target shares: its input read piece by piece, its checks, the scan sizes.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/support.h"

namespace corvane::fuzz {

using test::unlessOverflow;

/// Stops the process with what went wrong when condition fails, so the fuzzer keeps the input.
inline void require(bool condition, const char* invariant) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", invariant);
        std::abort();
    }
}

/// Hands out a fuzz input piece by piece; past its end come zeros and empty texts, so every
/// input, however short, is some case.
struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size, at = 0;

    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::uint16_t word() {
        const std::uint8_t low = byte();
        return std::uint16_t(low | byte() << 8);
    }
    /// Up to count of the next bytes.
    QByteArray bytes(std::size_t count) {
        const std::size_t from = at;
        at += std::min(count, size - at);
        return QByteArray(reinterpret_cast<const char*>(data + from), qsizetype(at - from));
    }
    /// Up to count characters: mode 0 reads bytes as ISO 8859-1, mode 1 UTF-16 pairs (lone
    /// surrogates included), other modes let each byte pick a character of alphabet.
    QString text(std::size_t count, int mode, QStringView alphabet = {}) {
        const QByteArray raw = bytes(mode == 1 ? 2 * count : count);
        QString text = mode == 0 ? QString::fromLatin1(raw) : QString();
        for (qsizetype i = 0; mode != 0 && i + (mode == 1) < raw.size(); i += 1 + (mode == 1)) {
            const auto b = std::uint8_t(raw[i]);
            text += mode == 1 ? QChar(char16_t(b | std::uint8_t(raw[i + 1]) << 8))
                              : alphabet[b % alphabet.size()];
        }
        return text;
    }
    /// The comparison's sizes from two bytes: tiny chunks, several threads and the other
    /// search strategies reach borders that the usual sizes only meet in huge files.
    SearchOptions options() {
        const std::uint8_t sizes = byte(), ways = byte();
        SearchOptions o;
        o.chunkBytes = (sizes & 0x80) ? 1 + sizes % 32 : 8192;
        o.threads = 1 + ways % 3;
        o.parallelFrom = (ways & 0x10) ? 0 : o.parallelFrom;
        o.directBelow = (ways & 0x20) ? 0 : (ways & 0x40) ? qint64(1) << 62 : o.directBelow;
        o.tableEntriesMax = (ways & 0x80) ? 0 : o.tableEntriesMax;
        return o;
    }
};

/// seed (or "A" when empty) repeated to exactly length characters.
inline QString repeatedTo(QString seed, qsizetype length) {
    seed = seed.isEmpty() ? QStringLiteral("A") : seed;
    return seed.repeated(length / seed.size() + 1).left(length);
}

}  // namespace corvane::fuzz
