// Holds FilterCommandList against the literal transcription of its rule on any three texts:
// both give the same result, or both refuse with an overflow, and exactly past the limit.
#include <QString>
#include <cstdint>
#include <optional>

#include "core/command_list.h"
#include "core/error.h"
#include "core/literal_oracle.h"
#include "fuzz/fuzz_input.h"

using corvane::fuzz::FuzzInput;
using corvane::fuzz::require;

namespace {

template <typename Filter>
std::optional<QString> filtered(Filter filter, const QString& reference, const QString& init,
                                const QString& separator) {
    try {
        return filter(reference, init, separator);
    } catch (const corvane::OverflowError&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.byte();
    const std::uint8_t shift = in.byte();
    corvane::fuzz::tuneScanFrom(in);
    // Small alphabets make separators and repeated commands frequent; the others reach every
    // 8-bit character and every UTF-16 code unit.
    static const QString alphabets[] = {QString(), QString(), QStringLiteral("AB;:"),
                                        QStringLiteral("A;: \n\r") + QChar(0) + QChar(0x2603)};
    const int mode = flags & 3;
    const QString& alphabet = alphabets[mode];
    const int decodeMode = mode == 1 ? 1 : (mode == 0 ? 0 : 2);
    const int unit = mode == 1 ? 2 : 1;

    const std::size_t separatorLength = 1 + in.byte() % 4;
    const QString separator =
        FuzzInput::decode(in.bytes(separatorLength * unit), decodeMode, alphabet);
    if (separator.isEmpty()) {
        return 0;  // Run refuses an empty separator before comparing
    }
    QString reference = FuzzInput::decode(in.bytes(in.word() % 2048), decodeMode, alphabet);
    QString init = FuzzInput::decode(in.rest(), decodeMode, alphabet);

    if ((flags & 4) && shift < 16) {
        // Lengths on both sides of the limit: N + K is 32766, 32767 or 32768. Rare, because
        // the literal rule is slow on long lines.
        const qsizetype total = 32766 + shift % 3;
        reference = corvane::fuzz::repeatedTo(reference, total - separator.size());
    }
    if ((flags & 8) && !reference.isEmpty()) {
        // An Init list cut from the Reference list, so that many commands are found.
        const qsizetype from = init.size() % reference.size();
        init = reference.mid(from, (init.size() * 7) % (reference.size() - from + 1)) + init;
    }

    const auto fast = filtered(corvane::FilterCommandList, reference, init, separator);
    const auto literal = filtered(corvane::literalFilterCommandList, reference, init, separator);
    require(fast.has_value() == literal.has_value(), "both refuse, or neither does");
    require(fast == literal, "same result as the literal rule");
    const bool overLimit = reference.size() + separator.size() > corvane::kCommandListLimit;
    require(fast.has_value() != overLimit, "refused exactly when N + K exceeds 32767");
    if (fast) {
        require(fast->size() <= reference.size(), "the result is never longer than the Reference");
        if (init.isEmpty()) {
            require(*fast == reference, "with an empty Init list every command is kept");
        }
        if (init.contains(reference)) {
            require(fast->isEmpty(), "a Reference list found whole in Init keeps nothing");
        }
    }
    return 0;
}
