#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <memory>

namespace corvane {

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

class CommandSearch;

/// The commands of set that search has not found, joined in Reference order.
QString keptCommands(const CommandSet& set, const CommandSearch& search);

/// Decides in one pass over a text which of a set of commands occur in it. The text may come in
/// pieces: each piece is searched on its own, so consecutive pieces must share overlap()
/// characters for an occurrence across their join to be seen. scan() may run in several threads
/// at once; found() and allFound() tell what all of them have seen so far.
class CommandSearch {
public:
    /// Prepares the search for commands (distinct, non-empty).
    explicit CommandSearch(const QList<QStringView>& commands);
    ~CommandSearch();
    CommandSearch(const CommandSearch&) = delete;
    CommandSearch& operator=(const CommandSearch&) = delete;

    /// The longest command's length minus one.
    qsizetype overlap() const;
    /// Searches a piece of ISO 8859-1 text, one byte per character.
    void scan(const char* text, qsizetype size);
    /// Searches a piece of text by UTF-16 code units.
    void scan(QStringView text);
    /// Whether command index has occurred in a piece searched so far.
    bool found(qsizetype index) const;
    /// Whether every command has occurred, so that the rest of the text need not be read.
    bool allFound() const;
    /// Bytes of memory the prepared search holds.
    qsizetype memoryUsed() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

/// Sizes that trade speed against memory; tests make them small to reach every border case.
struct ScanTuning {
    /// Bytes read from the Init file at a time.
    qsizetype chunkBytes = 256 * 1024;
    /// Interleaved walks through each piece of text (1, 2, 4, 8, 12 or 16): each hides the
    /// others' table loads.
    int lanes = 8;
    /// Threads that search one large text together (1 keeps everything on the caller's).
    int threads = 2;
    /// Texts shorter than this are searched by one thread.
    qsizetype parallelFrom = 4 << 20;
    /// Reference characters times Init characters below which searching each command on its
    /// own is cheaper than preparing the combined search (measured: the two cost the same
    /// at about 700 characters each).
    qint64 directBelow = 1 << 19;
    /// Above this many table entries the search keeps its transitions as lists.
    qsizetype tableEntriesMax = qsizetype(4) << 20;
    /// One 32-bit row per state instead of one 16-bit column per character class.
    bool rowTable = false;
};

/// The tuning in force; tests and benchmarks may change it between calls.
ScanTuning& scanTuning();

}  // namespace corvane
