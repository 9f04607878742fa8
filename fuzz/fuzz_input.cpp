#include "fuzz/fuzz_input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace corvane::fuzz {

FuzzInput::FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

std::uint8_t FuzzInput::byte() {
    return at_ < size_ ? data_[at_++] : 0;
}

std::uint16_t FuzzInput::word() {
    const std::uint16_t low = byte();
    const std::uint16_t high = byte();
    return static_cast<std::uint16_t>(low | (high << 8));
}

QByteArray FuzzInput::bytes(std::size_t count) {
    const std::size_t taken = std::min(count, size_ - at_);
    QByteArray out(reinterpret_cast<const char*>(data_ + at_), static_cast<qsizetype>(taken));
    at_ += taken;
    return out;
}

QByteArray FuzzInput::rest() {
    return bytes(size_ - at_);
}

QString FuzzInput::decode(const QByteArray& raw, int mode, QStringView alphabet) {
    if (mode == 0 || alphabet.isEmpty()) {
        return QString::fromLatin1(raw);
    }
    QString text;
    if (mode == 1) {
        for (qsizetype i = 0; i + 1 < raw.size(); i += 2) {
            const auto unit = static_cast<char16_t>(static_cast<std::uint8_t>(raw[i]) |
                                                    static_cast<std::uint8_t>(raw[i + 1]) << 8);
            text += QChar(unit);
        }
        return text;
    }
    text.reserve(raw.size());
    for (const char c : raw) {
        text += alphabet[static_cast<std::uint8_t>(c) % alphabet.size()];
    }
    return text;
}

void require(bool condition, const char* invariant) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", invariant);
        std::abort();
    }
}

QString repeatedTo(const QString& seed, qsizetype length) {
    const QString unit = seed.isEmpty() ? QStringLiteral("A") : seed;
    QString out;
    out.reserve(length + unit.size());
    while (out.size() < length) {
        out += unit;
    }
    out.truncate(length);
    return out;
}

}  // namespace corvane::fuzz
