#pragma once

#include <QString>

namespace corvane {

/// Positions in a Reference command list are 16-bit: its length plus the separator's must fit.
inline constexpr qsizetype kCommandListLimit = 32767;

/// The Reference commands, cut by separator, whose text occurs nowhere in init, in Reference
/// order; throws OverflowError when reference and separator together exceed kCommandListLimit.
QString FilterCommandList(const QString& reference, const QString& init, const QString& separator);

}  // namespace corvane
