#include "core/command_list.h"

#include "core/command_scan.h"

namespace corvane {

QString FilterCommandList(const QString& reference, const QString& init, const QString& separator) {
    checkCommandListLimit(reference.size(), separator.size());
    if (qint64(reference.size()) * init.size() < scanTuning().directBelow) {
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
    CommandSearch search(set.distinct);
    search.scan(init);
    return keptCommands(set, search);
}

}  // namespace corvane
