#include "core/command_scan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include <QHash>

#include "core/compiler.h"
#include "core/run_on_threads.h"

namespace corvane {

namespace {

constexpr std::uint32_t kNone = UINT32_MAX;
// Text is searched in blocks of this many characters, so that a search that has found every
// command stops soon and each block stays in the processor's cache.
constexpr qsizetype kBlock = 256 * 1024;
// Characters between the starts of two interleaved walks; a divisor of kBlock.
constexpr qsizetype kLaneStride = 16 * 1024;
// Interleaved walks through each piece of text, each hiding the others' table loads; eight
// measured fastest, and beyond them the walks run out of registers.
constexpr int kLanes = 8;
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
    std::uint32_t firstOutput = 0;        // as a state number
    std::vector<std::int32_t> command;    // command ending exactly at the state, or -1
    std::vector<std::uint32_t> dictLink;  // nearest shorter suffix state where a command ends

    // Dense form: one column of stateCount 16-bit entries per class, each the next state's
    // number; breadth-first numbering keeps the states met most often together at the top of
    // each column. One step is state = columns[state + step[character]].
    std::vector<std::uint16_t> columns;
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
    SearchOptions options;

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
    template <typename Unit, typename StepOf>
    void scanDense(const Unit* text, qsizetype n, StepOf stepOf);
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

    const std::size_t entries = std::size_t(nodes) * classes;
    if (qsizetype(entries) <= options.tableEntriesMax) {
        // A state's entries start as a copy of its failure state's, which breadth-first order
        // has completed already, and then take its own children.
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

template <typename Unit, typename StepOf>
void CommandSearch::Impl::scanDense(const Unit* text, qsizetype n, StepOf stepOf) {
    const std::uint16_t* t = columns.data();
    const std::uint32_t threshold = firstOutput;
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
                    reached(s[j]);
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
                    reached(s[j]);
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
            reached(state);
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

template <typename Unit, typename ClassOf, typename StepOf>
void CommandSearch::Impl::scanRange(const Unit* text, qsizetype n, ClassOf classOf, StepOf stepOf) {
    const qsizetype overlap = longest - 1;
    for (qsizetype begin = 0; begin < n && !allFound(); begin += kBlock) {
        // Each block reaches overlap characters into the next, like the caller's pieces.
        const qsizetype end = std::min(n, begin + kBlock + overlap);
        if (!columns.empty()) {
            scanDense(text + begin, end - begin, stepOf);
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
    const int parts = n >= options.parallelFrom ? std::max(1, options.threads) : 1;
    const qsizetype overlap = longest - 1;
    const qsizetype share = n / parts;
    runOnThreads(parts, [&](int i) {
        const qsizetype from = std::max<qsizetype>(0, i * share - overlap);
        const qsizetype to = i + 1 == parts ? n : (i + 1) * share;
        scanRange(text + from, to - from, classOf, stepOf);
    });
}

CommandSearch::CommandSearch(const QList<QStringView>& commands, const SearchOptions& options)
    : d(std::make_unique<Impl>()) {
    d->options = options;
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

int searchThreadsHere() {
    // One thread searches at about a quarter of the speed at which the Init file is read, so
    // past four threads reading is the limit.
    return std::clamp(int(std::thread::hardware_concurrency()), 1, 4);
}

}  // namespace corvane
