#pragma once

#include <QtGlobal>

namespace corvane {

/// Searching threads on this machine: one per processor core, at most four, where reading the
/// Init file becomes the limit.
int searchThreadsHere();

/// How the comparison reads and searches. The defaults are the program's; tests and benchmarks
/// pick small sizes to reach every border of the search in small files.
struct SearchOptions {
    /// Bytes read from the Init file at a time.
    qsizetype chunkBytes = 256 * 1024;
    /// Threads that search one large Init line together (1 keeps everything on the caller's).
    int threads = searchThreadsHere();
    /// Texts shorter than this are searched by one thread.
    qsizetype parallelFrom = 4 << 20;
    /// Reference characters times Init characters below which searching each command on its
    /// own is cheaper than preparing the combined search (measured: the two cost the same at
    /// about 700 characters each).
    qint64 directBelow = 1 << 19;
    /// Above this many table entries the search keeps its transitions as lists.
    qsizetype tableEntriesMax = qsizetype(4) << 20;
};

}  // namespace corvane
