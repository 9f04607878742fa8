#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include "core/search_options.h"

namespace corvane {

class CommandSearch;

/// Positions in a Reference command list are 16-bit: its length plus the separator's must fit.
inline constexpr qsizetype kCommandListLimit = 32767;

/// The Reference commands, cut by separator, whose text occurs nowhere in init, in Reference
/// order; throws OverflowError when reference and separator together exceed kCommandListLimit.
QString FilterCommandList(const QString& reference, const QString& init, const QString& separator);

/// As FilterCommandList, searching as options say.
QString filterCommandList(const QString& reference, const QString& init, const QString& separator,
                          const SearchOptions& options);

/// One command of a Reference command list: its first character (counted from 0) and length.
struct CommandSpan {
    qsizetype start = 0;
    qsizetype length = 0;
};

/// Throws OverflowError when a Reference command list of n characters with a separator of k
/// characters does not fit the 16-bit positions; atLeast says that n is only a lower bound.
void checkCommandListLimit(qsizetype n, qsizetype k, bool atLeast = false);

/// The non-empty commands that the cutting rule takes from reference, in Reference order.
QList<CommandSpan> cutCommands(QStringView reference, QStringView separator);

/// The commands of a Reference command list with each distinct text listed once.
struct CommandSet {
    QList<CommandSpan> spans;     // in Reference order, repeats included
    QList<qsizetype> distinctOf;  // for each span, its text's index in distinct
    QList<QStringView> distinct;  // views into the Reference command list
};

/// Cuts reference and gathers its distinct commands; reference must outlive the result.
CommandSet commandSetOf(QStringView reference, QStringView separator);

/// The commands of set that search has not found, joined in Reference order.
QString keptCommands(const CommandSet& set, const CommandSearch& search);

}  // namespace corvane
