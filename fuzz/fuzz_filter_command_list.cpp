// FilterCommandList on any three texts keeps what the plain oracle keeps, and refuses exactly
// when the Reference list and the separator together exceed the limit.
#include "core/command_list.h"
#include "fuzz/fuzz.h"

using namespace corvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::uint8_t flags = in.byte(), shift = in.byte();
    const corvane::SearchOptions options = in.options();
    // Small alphabets make separators and repeated commands frequent; the others reach every
    // 8-bit character and every UTF-16 code unit.
    const int mode = flags & 3;
    const QString alphabet = mode == 2 ? QStringLiteral("AB;:") : QStringLiteral("A;: \n\r\u2603");
    const QString separator = in.text(1 + in.byte() % 4, mode, alphabet);
    QString reference = in.text(in.word() % 2048, mode, alphabet);
    QString init = in.text(size, mode, alphabet);
    if ((flags & 4) && shift < 16) {
        // N + K of 32766, 32767 or 32768; rare, because the oracle is slow on long lines.
        reference = repeatedTo(reference, 32766 + shift % 3 - separator.size());
    }
    if ((flags & 8) && !reference.isEmpty()) {
        // An Init list cut from the Reference list, so that many commands are found.
        const qsizetype from = init.size() % reference.size();
        init = reference.mid(from, (init.size() * 7) % (reference.size() - from + 1)) + init;
    }
    const auto kept = unlessOverflow(
        [&] { return corvane::filterCommandList(reference, init, separator, options); });
    require(kept.has_value() == (reference.size() + separator.size() <= 32767),
            "refused exactly when N + K exceeds 32767");
    require(separator.isEmpty() || !kept ||
                *kept == corvane::test::keptCommands(reference, init, separator).join(QString()),
            "keeps what the plain oracle keeps");
    return 0;
}
