#include "core/command_list.h"

#include <QHash>

#include "core/command_scan.h"
#include "core/error.h"

namespace corvane {

void checkCommandListLimit(qsizetype n, qsizetype k, bool atLeast) {
    // The last cut always computes N + K; past the 16-bit range there is no result at all.
    if (n + k <= kCommandListLimit) {
        return;
    }
    const QString count = atLeast ? QStringLiteral("at least %1").arg(n) : QString::number(n);
    throw OverflowError(QStringLiteral("The Reference command list is too long: %1 characters with "
                                       "a separator of %2, where at most %3 fit together.")
                            .arg(count)
                            .arg(k)
                            .arg(kCommandListLimit));
}

QList<CommandSpan> cutCommands(QStringView reference, QStringView separator) {
    const qsizetype n = reference.size();
    const qsizetype k = separator.size();
    QList<CommandSpan> spans;
    qsizetype start = 1;  // S, counted from 1
    for (;;) {
        // The search begins one character after the command's start, so a separator that
        // opens a command belongs to it.
        qsizetype found = 0;  // F
        if (start + 1 <= n) {
            const qsizetype at = reference.indexOf(separator, start);
            found = at < 0 ? 0 : at + 1;
        }
        if (found == 0) {
            found = n;
        }
        if (start <= n) {
            const qsizetype length = std::min(found - start + k, n - start + 1);
            if (length > 0) {
                spans.append({start - 1, length});
            }
        }
        start = found + k;
        if (found == n) {
            break;
        }
    }
    return spans;
}

CommandSet commandSetOf(QStringView reference, QStringView separator) {
    CommandSet set;
    set.spans = cutCommands(reference, separator);
    set.distinctOf.reserve(set.spans.size());
    QHash<QStringView, qsizetype> index;
    for (const CommandSpan& span : std::as_const(set.spans)) {
        const QStringView command = reference.mid(span.start, span.length);
        auto it = index.constFind(command);
        if (it == index.constEnd()) {
            it = index.insert(command, set.distinct.size());
            set.distinct.append(command);
        }
        set.distinctOf.append(*it);
    }
    return set;
}

QString keptCommands(const CommandSet& set, const CommandSearch& search) {
    QString result;
    for (qsizetype i = 0; i < set.spans.size(); ++i) {
        const qsizetype d = set.distinctOf[i];
        if (!search.found(d)) {
            result += set.distinct[d];
        }
    }
    return result;
}

QString FilterCommandList(const QString& reference, const QString& init, const QString& separator) {
    return filterCommandList(reference, init, separator, {});
}

QString filterCommandList(const QString& reference, const QString& init, const QString& separator,
                          const SearchOptions& options) {
    checkCommandListLimit(reference.size(), separator.size());
    if (qint64(reference.size()) * init.size() < options.directBelow) {
        // Small enough that searching each command on its own costs less than preparing the
        // combined search.
        QString result;
        for (const CommandSpan& span : cutCommands(reference, separator)) {
            const QStringView command = QStringView(reference).mid(span.start, span.length);
            if (!init.contains(command)) {
                result += command;
            }
        }
        return result;
    }
    const CommandSet set = commandSetOf(reference, separator);
    if (set.distinct.isEmpty()) {
        return {};
    }
    CommandSearch search(set.distinct, options);
    search.scan(init);
    return keptCommands(set, search);
}

}  // namespace corvane
