#include "core/literal_oracle.h"

#include "core/command_list.h"

#include "core/error.h"

namespace corvane {

QString literalFilterCommandList(const QString& reference, const QString& init,
                                 const QString& separator) {
    const qsizetype n = reference.size();
    const qsizetype k = separator.size();
    // The last cut always computes N + K; past the 16-bit range there is no result at all.
    if (n + k > kCommandListLimit) {
        throw OverflowError(QStringLiteral("The Reference command list is too long."));
    }

    QString result;
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
            const QStringView command = QStringView(reference).mid(start - 1, found - start + k);
            if (!command.isEmpty() && !init.contains(command)) {
                result += command;
            }
        }
        start = found + k;
        if (found == n) {
            break;
        }
    }
    return result;
}

}  // namespace corvane
