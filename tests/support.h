// What the tests and the fuzz targets share: overflow as "no result", and the plain oracle.
#pragma once

#include <QStringList>
#include <optional>

#include "core/command_list.h"
#include "core/error.h"

namespace corvane::test {

/// What step gives, or nothing when it refuses with an OverflowError.
template <typename Step>
auto unlessOverflow(Step step) -> std::optional<decltype(step())> {
    try {
        return step();
    } catch (const OverflowError&) {
        return std::nullopt;
    }
}

/// The Reference commands, cut as the product cuts them, that init does not hold: a plain
/// membership test for each, which every faster search must agree with.
inline QStringList keptCommands(const QString& reference, const QString& init,
                                const QString& separator) {
    QStringList kept;
    for (const CommandSpan& span : cutCommands(reference, separator)) {
        const QString command = reference.sliced(span.start, span.length);
        if (!init.contains(command)) {
            kept << command;
        }
    }
    return kept;
}

}  // namespace corvane::test
