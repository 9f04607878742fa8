#pragma once

#include <QList>
#include <QStringView>

#include <memory>

#include "core/search_options.h"

namespace corvane {

/// Decides in one pass over a text which of a set of commands occur in it. The text may come in
/// pieces: each piece is searched on its own, so consecutive pieces must share overlap()
/// characters for an occurrence across their join to be seen. scan() may run in several threads
/// at once; found() and allFound() tell what all of them have seen so far.
class CommandSearch {
public:
    /// Prepares the search for commands (distinct, non-empty), with options' table size and
    /// threads.
    explicit CommandSearch(const QList<QStringView>& commands, const SearchOptions& options = {});
    ~CommandSearch();
    CommandSearch(const CommandSearch&) = delete;
    CommandSearch& operator=(const CommandSearch&) = delete;

    /// The longest command's length minus one.
    qsizetype overlap() const;
    /// Searches a piece of ISO 8859-1 text, one byte per character, on the calling thread.
    void scan(const char* text, qsizetype size);
    /// Searches a piece of text by UTF-16 code units; a long one on several threads.
    void scan(QStringView text);
    /// Whether command index has occurred in a piece searched so far.
    bool found(qsizetype index) const;
    /// Whether every command has occurred, so that the rest of the text need not be read.
    bool allFound() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace corvane
