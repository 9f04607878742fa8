#include "core/command_scan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <thread>
#include <type_traits>
#include <vector>

#include <QHash>

#include "core/command_list.h"
#include "core/compiler.h"
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

ScanTuning& scanTuning() {
    static ScanTuning tuning;
    return tuning;
}

namespace {

constexpr std::uint32_t kNone = UINT32_MAX;
// Text is searched in blocks of this many characters, so that a search that has found every
// command stops soon and each block stays in the processor's cache.
constexpr qsizetype kBlock = 256 * 1024;
// Characters between the starts of two interleaved walks; a divisor of kBlock.
constexpr qsizetype kLaneStride = 16 * 1024;
// A lane must do more than this much beyond its overlap to be worth starting.
constexpr qsizetype kLaneWorkMin = 64;

}  // namespace

struct CommandSearch::Impl {
    qsizetype commandCount = 0;
    qsizetype longest = 0;
    // Characters that occur in no command share class 0.
    std::uint32_t classes = 1;
    std::array<std::uint32_t, 256> byteClass{};
    std::vector<std::uint16_t> wideClass;  // all 65536 code units, when commands hold any >= 256

    // States are numbered breadth first, those where a command ends (itself or as a suffix)
    // after all others, so one comparison with firstOutput tells a state that needs a look.
    std::uint32_t stateCount = 0;
    std::uint32_t firstOutput = 0;  // as a state number
    // The walk's state variable is the state's number in the 16-bit form and its row offset in
    // the 32-bit one; a state at or above hot needs a look.
    std::uint32_t hot = 0;
    std::vector<std::int32_t> command;    // command ending exactly at the state, or -1
    std::vector<std::uint32_t> dictLink;  // nearest shorter suffix state where a command ends

    // Dense forms. Column form (16-bit): one column of stateCount entries per class, each the
    // next state's number; breadth-first numbering keeps the states met most often together
    // at the top of each column. Row form (32-bit): one row per state, each entry the next
    // state's row offset. Either way one step is state = table[state + step[character]].
    std::vector<std::uint16_t> columns;
    std::vector<std::uint32_t> rows;
    std::array<std::uint32_t, 256> byteStep{};
    std::vector<std::uint32_t> wideStep;  // all 65536 code units, when commands hold any >= 256
    // List form: children sorted by class, and the failure link of each state.
    std::vector<std::uint32_t> childBegin;  // stateCount + 1 offsets into childClass/childState
    std::vector<std::uint32_t> childClass;
    std::vector<std::uint32_t> childState;
    std::vector<std::uint32_t> fail;

    std::unique_ptr<std::atomic<std::uint8_t>[]> stateDone;
    std::unique_ptr<std::atomic<std::uint8_t>[]> commandFound;
    std::atomic<qsizetype> remaining{0};

    void build(const QList<QStringView>& commands);

    // Records every command that ends at state (by number), unless that was done before.
    // Rare, and kept out of line so that the walks keep their states in registers.
    [[gnu::noinline, gnu::cold]] void reached(std::uint32_t state) {
        if (stateDone[state].load(std::memory_order_relaxed)) {
            return;
        }
        for (std::uint32_t s = state; s != kNone; s = dictLink[s]) {
            if (s != state && stateDone[s].load(std::memory_order_relaxed)) {
                break;  // everything further along this chain is found already
            }
            const std::int32_t c = command[s];
            if (c >= 0 && !commandFound[c].exchange(1, std::memory_order_relaxed)) {
                remaining.fetch_sub(1, std::memory_order_relaxed);
            }
        }
        stateDone[state].store(1, std::memory_order_relaxed);
    }

    bool allFound() const { return remaining.load(std::memory_order_relaxed) == 0; }

    template <typename Unit, typename ClassOf, typename StepOf>
    void scanRange(const Unit* text, qsizetype n, ClassOf classOf, StepOf stepOf);
    template <int kLanes, typename Entry, typename Unit, typename StepOf>
    void scanDense(const Entry* table, const Unit* text, qsizetype n, StepOf stepOf);
    template <typename Entry, typename Unit, typename StepOf>
    void scanDenseLanes(const Entry* table, const Unit* text, qsizetype n, StepOf stepOf);
    template <typename Unit, typename ClassOf>
    void scanLists(const Unit* text, qsizetype n, ClassOf classOf);
    template <typename Unit, typename ClassOf, typename StepOf>
    void scanParallel(const Unit* text, qsizetype n, ClassOf classOf, StepOf stepOf);
};

void CommandSearch::Impl::build(const QList<QStringView>& commands) {
    commandCount = commands.size();
    remaining = commandCount;
    commandFound = std::make_unique<std::atomic<std::uint8_t>[]>(std::size_t(commandCount));
    for (qsizetype i = 0; i < commandCount; ++i) {
        commandFound[i] = 0;
    }

    // Alphabet: one class per distinct code unit that some command holds. Tables for every
    // code unit are made only when a command needs them, as they cost more than a short search.
    qsizetype total = 0;
    bool wide = false;
    for (const QStringView c : commands) {
        longest = std::max(longest, c.size());
        total += c.size();
        for (const QChar ch : c) {
            wide = wide || ch.unicode() >= 256;
        }
    }
    const std::size_t units = wide ? 65536 : 256;
    std::vector<std::uint8_t> seen(units, 0);
    for (const QStringView c : commands) {
        for (const QChar ch : c) {
            seen[ch.unicode()] = 1;
        }
    }
    std::vector<std::uint16_t> classOfUnit(units, 0);
    for (std::size_t u = 0; u < units; ++u) {
        if (seen[u]) {
            classOfUnit[u] = std::uint16_t(classes++);
        }
    }
    for (std::uint32_t u = 0; u < 256; ++u) {
        byteClass[u] = classOfUnit[u];
    }
    if (wide) {
        wideClass = std::move(classOfUnit);
    }
    const auto classOf = [&](QChar ch) -> std::uint32_t {
        return wide ? wideClass[ch.unicode()] : byteClass[ch.unicode()];
    };

    // Trie, children as sibling lists while it grows.
    std::vector<std::uint32_t> firstChild{kNone}, nextSibling{kNone}, label{0};
    std::vector<std::int32_t> ends{-1};
    firstChild.reserve(std::size_t(total) + 1);
    nextSibling.reserve(std::size_t(total) + 1);
    label.reserve(std::size_t(total) + 1);
    ends.reserve(std::size_t(total) + 1);
    const auto childOf = [&](std::uint32_t node, std::uint32_t cls) {
        for (std::uint32_t c = firstChild[node]; c != kNone; c = nextSibling[c]) {
            if (label[c] == cls) {
                return c;
            }
        }
        return kNone;
    };
    for (qsizetype i = 0; i < commandCount; ++i) {
        std::uint32_t node = 0;
        for (const QChar ch : commands[i]) {
            const std::uint32_t cls = classOf(ch);
            std::uint32_t next = childOf(node, cls);
            if (next == kNone) {
                next = std::uint32_t(label.size());
                firstChild.push_back(kNone);
                nextSibling.push_back(firstChild[node]);
                label.push_back(cls);
                ends.push_back(-1);
                firstChild[node] = next;
            }
            node = next;
        }
        ends[node] = std::int32_t(i);
    }
    const std::uint32_t nodes = std::uint32_t(label.size());
    stateCount = nodes;

    // Breadth-first order, failure links and the suffix chains of ending commands.
    std::vector<std::uint32_t> order;
    order.reserve(nodes);
    order.push_back(0);
    std::vector<std::uint32_t> nodeFail(nodes, 0), nodeDict(nodes, kNone);
    std::vector<std::uint8_t> output(nodes, 0);
    for (std::size_t head = 0; head < order.size(); ++head) {
        const std::uint32_t u = order[head];
        for (std::uint32_t v = firstChild[u]; v != kNone; v = nextSibling[v]) {
            order.push_back(v);
            std::uint32_t f = 0;
            if (u != 0) {
                for (std::uint32_t g = nodeFail[u];; g = nodeFail[g]) {
                    const std::uint32_t c = childOf(g, label[v]);
                    if (c != kNone) {
                        f = c;
                        break;
                    }
                    if (g == 0) {
                        break;
                    }
                }
            }
            nodeFail[v] = f;
            nodeDict[v] = ends[f] >= 0 ? f : nodeDict[f];
            output[v] = ends[v] >= 0 || nodeDict[v] != kNone;
        }
    }

    // Final numbers: quiet states first, then those where something ends, each breadth first.
    std::vector<std::uint32_t> id(nodes);
    std::uint32_t next = 0;
    for (const std::uint32_t v : order) {
        if (!output[v]) {
            id[v] = next++;
        }
    }
    firstOutput = next;
    for (const std::uint32_t v : order) {
        if (output[v]) {
            id[v] = next++;
        }
    }
    command.assign(nodes, -1);
    dictLink.assign(nodes, kNone);
    for (std::uint32_t v = 0; v < nodes; ++v) {
        command[id[v]] = ends[v];
        dictLink[id[v]] = nodeDict[v] == kNone ? kNone : id[nodeDict[v]];
    }
    stateDone = std::make_unique<std::atomic<std::uint8_t>[]>(nodes);
    for (std::uint32_t s = 0; s < nodes; ++s) {
        stateDone[s] = 0;
    }

    const ScanTuning& tuning = scanTuning();
    const std::size_t entries = std::size_t(nodes) * classes;
    if (qsizetype(entries) <= tuning.tableEntriesMax && tuning.rowTable) {
        // Each row starts as a copy of its failure state's row, which breadth-first order has
        // completed already, and then takes its own children.
        rows.assign(entries, 0);
        for (const std::uint32_t v : order) {
            std::uint32_t* row = rows.data() + std::size_t(id[v]) * classes;
            if (v != 0) {
                const std::uint32_t* failRow = rows.data() + std::size_t(id[nodeFail[v]]) * classes;
                std::copy(failRow, failRow + classes, row);
            }
            for (std::uint32_t c = firstChild[v]; c != kNone; c = nextSibling[c]) {
                row[label[c]] = id[c] * classes;
            }
        }
        hot = firstOutput * classes;
        for (std::uint32_t u = 0; u < 256; ++u) {
            byteStep[u] = byteClass[u];
        }
        if (wide) {
            wideStep.assign(wideClass.begin(), wideClass.end());
        }
    } else if (qsizetype(entries) <= tuning.tableEntriesMax) {
        // The same filling, by columns.
        columns.assign(entries, 0);
        const std::size_t height = nodes;
        for (const std::uint32_t v : order) {
            const std::size_t to = id[v];
            if (v != 0) {
                const std::size_t from = id[nodeFail[v]];
                for (std::size_t c = 0; c < classes; ++c) {
                    columns[c * height + to] = columns[c * height + from];
                }
            }
            for (std::uint32_t c = firstChild[v]; c != kNone; c = nextSibling[c]) {
                columns[label[c] * height + to] = std::uint16_t(id[c]);
            }
        }
        hot = firstOutput;
        for (std::uint32_t u = 0; u < 256; ++u) {
            byteStep[u] = byteClass[u] * nodes;
        }
        if (wide) {
            wideStep.resize(wideClass.size());
            for (std::size_t u = 0; u < wideClass.size(); ++u) {
                wideStep[u] = wideClass[u] * nodes;
            }
        }
    } else {
        childBegin.assign(nodes + 1, 0);
        fail.assign(nodes, 0);
        for (std::uint32_t v = 0; v < nodes; ++v) {
            fail[id[v]] = id[nodeFail[v]];
            for (std::uint32_t c = firstChild[v]; c != kNone; c = nextSibling[c]) {
                ++childBegin[id[v] + 1];
            }
        }
        for (std::uint32_t s = 0; s < nodes; ++s) {
            childBegin[s + 1] += childBegin[s];
        }
        childClass.resize(nodes - 1);
        childState.resize(nodes - 1);
        std::vector<std::pair<std::uint32_t, std::uint32_t>> children;
        for (std::uint32_t v = 0; v < nodes; ++v) {
            children.clear();
            for (std::uint32_t c = firstChild[v]; c != kNone; c = nextSibling[c]) {
                children.emplace_back(label[c], id[c]);
            }
            std::sort(children.begin(), children.end());
            std::uint32_t at = childBegin[id[v]];
            for (const auto& [cls, child] : children) {
                childClass[at] = cls;
                childState[at] = child;
                ++at;
            }
        }
    }
}

template <int kLanes, typename Entry, typename Unit, typename StepOf>
void CommandSearch::Impl::scanDense(const Entry* t, const Unit* text, qsizetype n, StepOf stepOf) {
    // The number of the state that the walk's state variable stands for.
    const std::uint32_t per = std::is_same_v<Entry, std::uint16_t> ? 1 : classes;
    const std::uint32_t threshold = hot;
    const qsizetype overlap = longest - 1;
    std::uint32_t state = 0;
    qsizetype at = 0;
    // Groups of kLanes walks kLaneStride apart, each kLaneStride + overlap long, so that each
    // sees every occurrence that ends in its own stretch. With the distance between walks
    // known to the compiler, one pointer serves them all and the states stay in registers.
    const qsizetype length = kLaneStride + overlap;
    while (n - at >= kLanes * kLaneStride + overlap) {
        std::array<std::uint32_t, kLanes> s{};
        const Unit* q = text + at;
        const Unit* const last = q + length;
        for (; q != last; ++q) {
            CORVANE_UNROLL_16
            for (int j = 0; j < kLanes; ++j) {
                s[j] = t[s[j] + stepOf(q[j * kLaneStride])];
            }
            CORVANE_UNROLL_16
            for (int j = 0; j < kLanes; ++j) {
                if (s[j] >= threshold) [[unlikely]] {
                    reached(s[j] / per);
                }
            }
        }
        at += kLanes * kLaneStride;
    }
    // The rest: walks of equal length that share it out.
    text += at;
    n -= at;
    at = 0;
    if (n >= kLanes * (overlap + kLaneWorkMin)) {
        // kLanes walks of equal length; each after the first starts overlap characters early
        // so that it sees every occurrence that ends in its own part.
        const qsizetype share = (n + (kLanes - 1) * overlap) / kLanes;
        const qsizetype step = share - overlap;
        std::array<std::uint32_t, kLanes> s{};
        std::array<const Unit*, kLanes> p;
        for (int j = 0; j < kLanes; ++j) {
            p[j] = text + j * step;
        }
        for (qsizetype i = 0; i < share; ++i) {
            CORVANE_UNROLL_16
            for (int j = 0; j < kLanes; ++j) {
                s[j] = t[s[j] + stepOf(p[j][i])];
            }
            CORVANE_UNROLL_16
            for (int j = 0; j < kLanes; ++j) {
                if (s[j] >= threshold) [[unlikely]] {
                    reached(s[j] / per);
                }
            }
        }
        // The last walk goes on alone to the end.
        state = s[kLanes - 1];
        at = (kLanes - 1) * step + share;
    }
    for (; at < n; ++at) {
        state = t[state + stepOf(text[at])];
        if (state >= threshold) [[unlikely]] {
            reached(state / per);
        }
    }
}

template <typename Unit, typename ClassOf>
void CommandSearch::Impl::scanLists(const Unit* text, qsizetype n, ClassOf classOf) {
    std::uint32_t state = 0;
    for (qsizetype at = 0; at < n; ++at) {
        const std::uint32_t cls = classOf(text[at]);
        if (cls == 0) {
            state = 0;
            continue;
        }
        for (;;) {
            const std::uint32_t* first = childClass.data() + childBegin[state];
            const std::uint32_t* last = childClass.data() + childBegin[state + 1];
            const std::uint32_t* hit = std::lower_bound(first, last, cls);
            if (hit != last && *hit == cls) {
                state = childState[std::size_t(hit - childClass.data())];
                break;
            }
            if (state == 0) {
                break;
            }
            state = fail[state];
        }
        if (state >= firstOutput) {
            reached(state);
        }
    }
}

template <typename Entry, typename Unit, typename StepOf>
void CommandSearch::Impl::scanDenseLanes(const Entry* t, const Unit* text, qsizetype n,
                                         StepOf stepOf) {
    switch (scanTuning().lanes) {
        case 1:
            return scanDense<1>(t, text, n, stepOf);
        case 2:
            return scanDense<2>(t, text, n, stepOf);
        case 4:
            return scanDense<4>(t, text, n, stepOf);
        case 12:
            return scanDense<12>(t, text, n, stepOf);
        case 16:
            return scanDense<16>(t, text, n, stepOf);
        default:
            return scanDense<8>(t, text, n, stepOf);
    }
}

template <typename Unit, typename ClassOf, typename StepOf>
void CommandSearch::Impl::scanRange(const Unit* text, qsizetype n, ClassOf classOf, StepOf stepOf) {
    const qsizetype overlap = longest - 1;
    for (qsizetype begin = 0; begin < n && !allFound(); begin += kBlock) {
        // Each block reaches overlap characters into the next, like the caller's pieces.
        const qsizetype end = std::min(n, begin + kBlock + overlap);
        if (!columns.empty()) {
            scanDenseLanes(columns.data(), text + begin, end - begin, stepOf);
        } else if (!rows.empty()) {
            scanDenseLanes(rows.data(), text + begin, end - begin, stepOf);
        } else {
            scanLists(text + begin, end - begin, classOf);
        }
        if (end == n) {
            break;
        }
    }
}

template <typename Unit, typename ClassOf, typename StepOf>
void CommandSearch::Impl::scanParallel(const Unit* text, qsizetype n, ClassOf classOf,
                                       StepOf stepOf) {
    const ScanTuning& tuning = scanTuning();
    const int parts = n >= tuning.parallelFrom ? std::max(1, tuning.threads) : 1;
    if (parts == 1) {
        scanRange(text, n, classOf, stepOf);
        return;
    }
    const qsizetype overlap = longest - 1;
    const qsizetype share = n / parts;
    std::vector<std::thread> helpers;
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(parts));
    const auto part = [&](int i) {
        const qsizetype from = std::max<qsizetype>(0, i * share - overlap);
        const qsizetype to = i + 1 == parts ? n : (i + 1) * share;
        try {
            scanRange(text + from, to - from, classOf, stepOf);
        } catch (...) {
            failures[std::size_t(i)] = std::current_exception();
        }
    };
    for (int i = 1; i < parts; ++i) {
        helpers.emplace_back(part, i);
    }
    part(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

CommandSearch::CommandSearch(const QList<QStringView>& commands) : d(std::make_unique<Impl>()) {
    d->build(commands);
}

CommandSearch::~CommandSearch() = default;

qsizetype CommandSearch::overlap() const {
    return std::max<qsizetype>(0, d->longest - 1);
}

void CommandSearch::scan(const char* text, qsizetype size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const std::uint32_t* classes = d->byteClass.data();
    const std::uint32_t* steps = d->byteStep.data();
    d->scanRange(
        bytes, size, [classes](unsigned char b) { return classes[b]; },
        [steps](unsigned char b) { return steps[b]; });
}

void CommandSearch::scan(QStringView text) {
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    if (d->wideClass.empty()) {
        // Code units above 255 occur in no command.
        const std::uint32_t* classes = d->byteClass.data();
        const std::uint32_t* steps = d->byteStep.data();
        d->scanParallel(
            units, text.size(),
            [classes](char16_t u) -> std::uint32_t { return u < 256 ? classes[u] : 0; },
            [steps](char16_t u) -> std::uint32_t { return u < 256 ? steps[u] : 0; });
    } else {
        const std::uint16_t* classes = d->wideClass.data();
        const std::uint32_t* steps = d->wideStep.data();
        d->scanParallel(
            units, text.size(), [classes](char16_t u) -> std::uint32_t { return classes[u]; },
            [steps](char16_t u) { return steps[u]; });
    }
}

bool CommandSearch::found(qsizetype index) const {
    return d->commandFound[index].load(std::memory_order_relaxed) != 0;
}

bool CommandSearch::allFound() const {
    return d->allFound();
}

qsizetype CommandSearch::memoryUsed() const {
    const Impl& i = *d;
    return qsizetype(sizeof(std::uint32_t) *
                         (i.rows.size() + i.childBegin.size() + i.childClass.size() +
                          i.childState.size() + i.fail.size() + i.dictLink.size()) +
                     sizeof(std::int32_t) * i.command.size() + 2 * i.wideClass.size() +
                     2 * i.columns.size() + 4 * i.wideStep.size() + i.stateCount + i.commandCount);
}

}  // namespace corvane
