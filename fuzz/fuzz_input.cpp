#include "fuzz/fuzz_input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/command_scan.h"

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

void tuneScanFrom(FuzzInput& in) {
    const std::uint8_t sizes = in.byte();
    const std::uint8_t ways = in.byte();
    corvane::ScanTuning tuning;
    // Inputs are a few kilobytes, so a chunk of 8 KiB behaves like the usual megabyte without
    // a fresh megabyte of memory for every run.
    tuning.chunkBytes = (sizes & 0x80) ? 1 + sizes % 32 : 8192;
    tuning.threads = 1 + ways % 3;
    if (ways & 0x10) {
        tuning.parallelFrom = 0;
    }
    if (ways & 0x20) {
        tuning.directBelow = 0;  // always the combined search
    } else if (ways & 0x40) {
        tuning.directBelow = qint64(1) << 62;  // always one command at a time
    }
    if (ways & 0x80) {
        tuning.tableEntriesMax = 0;  // transitions kept as lists
    }
    corvane::scanTuning() = tuning;
}

QString repeatedTo(const QString& seed, qsizetype length) {
    // Filled in place: a string that grew past its length would be a large allocation, which
    // costs the fuzzer far more than the work it checks.
    const QString unit = seed.isEmpty() ? QStringLiteral("A") : seed;
    QString out(length, Qt::Uninitialized);
    QChar* data = out.data();
    for (qsizetype i = 0; i < length; ++i) {
        data[i] = unit[i % unit.size()];
    }
    return out;
}

}  // namespace corvane::fuzz
