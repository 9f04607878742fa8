// The path rules on any texts: completing a bare name adds exactly one folder separator,
// remembering a folder gives what lies before the last separator, and a proposed New file lies
// in the Reference file's folder. Positions past 32,767 are refused, never wrapped.
#include <QString>
#include <cstdint>
#include <optional>

#include "core/error.h"
#include "core/paths.h"
#include "fuzz/fuzz_input.h"

using corvane::fuzz::FuzzInput;
using corvane::fuzz::require;

namespace {

template <typename Step>
std::optional<QString> unlessOverflow(Step step) {
    try {
        return step();
    } catch (const corvane::OverflowError&) {
        return std::nullopt;
    }
}

void checkCompletion(const QString& path, const QString& dir, QChar sep) {
    const QString completed = corvane::completeWithFolder(path, dir, sep);
    if (path.contains(sep)) {
        require(completed == path, "a path with a folder is left as it is");
        return;
    }
    require(completed.endsWith(path), "the name is kept whole at the end");
    require(completed.contains(sep), "a completed path has a folder");
    const QString doubled(2, sep);
    if (!dir.contains(doubled)) {
        const QString expected = dir.endsWith(sep) ? dir + path : dir + sep + path;
        require(completed == expected, "exactly one separator joins folder and name");
    }
}

void checkFolder(const QString& path, QChar sep) {
    const qsizetype last = path.lastIndexOf(sep) + 1;
    const auto folder = unlessOverflow([&] { return corvane::folderOf(path, sep); });
    require(folder.has_value() == (last <= 32767), "refused exactly past position 32,767");
    if (!folder || last == 0) {
        return;
    }
    if (last == 1 && sep == QLatin1Char('/')) {
        require(*folder == QStringLiteral("/"), "a file in the root keeps the root");
    } else {
        require(*folder == path.left(last - 1),
                "the folder is what lies before the last separator");
    }
}

void checkProposal(const QString& reference, const QString& name, QChar sep) {
    const qsizetype last = reference.lastIndexOf(sep) + 1;
    const auto proposed =
        unlessOverflow([&] { return corvane::proposeNewFile(reference, name, sep); });
    require(proposed.has_value() == (last <= 32767), "refused exactly past position 32,767");
    if (!proposed) {
        return;
    }
    require(proposed->endsWith(QStringLiteral("New_") + name), "the name is New_ and the file's");
    require(proposed->startsWith(reference.left(last)), "it starts with the Reference's folder");
    if (last > 1 && !name.contains(sep)) {
        const auto a = unlessOverflow([&] { return corvane::folderOf(*proposed, sep); });
        const auto b = unlessOverflow([&] { return corvane::folderOf(reference, sep); });
        require(!a || a == b, "the New file lies in the Reference file's folder");
        require(
            corvane::completeWithFolder(*proposed, QStringLiteral("/elsewhere"), sep) == *proposed,
            "a proposal is never completed again");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.byte();
    const QChar sep = (flags & 1) ? QLatin1Char('\\') : QLatin1Char('/');
    static const QString alphabet = QStringLiteral("a/\\.:*? ");
    const int mode = (flags >> 1) % 3;  // 0 ISO 8859-1, 1 UTF-16, 2 path characters
    const int unit = mode == 1 ? 2 : 1;
    const auto text = [&](std::size_t length) {
        return FuzzInput::decode(in.bytes(length * unit), mode, alphabet);
    };

    QString path = text(in.byte());
    const QString dir = text(in.byte());
    const QString name = text(in.byte());
    if (flags & 8) {
        // A separator just before, at or just after position 32,767.
        const qsizetype at = 32765 + in.byte() % 5;
        path = corvane::fuzz::repeatedTo(path, at - 1) + sep + path;
    }

    checkCompletion(path, dir, sep);
    checkFolder(path, sep);
    checkProposal(path, name, sep);
    return 0;
}
