// The path rules on any texts: one separator joins a bare name to the current folder, the
// folder is what lies before the last separator, and the proposal is "New_" and the name in
// it. A last separator past position 32,767 is refused, never wrapped.
#include "core/paths.h"
#include "fuzz/fuzz.h"

using namespace corvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::uint8_t flags = in.byte();
    const QChar sep = (flags & 1) ? u'\\' : u'/';
    const int mode = (flags >> 1) % 3;  // ISO 8859-1, UTF-16, or path characters
    const auto text = [&] { return in.text(in.byte(), mode, u"a/\\.:*? "); };
    QString path = text();
    const QString dir = text(), name = text();
    if (flags & 8) {
        path = repeatedTo(path, 32764 + in.byte() % 5) + sep + path;
    }
    const QString completed = corvane::completeWithFolder(path, dir, sep);
    // Two separators that open the folder name a network folder and stay; the rule for a folder
    // that holds doubled separators elsewhere is not checked here.
    const QString pair(2, sep);
    require(path.contains(sep) ? completed == path
                               : dir.indexOf(pair, 1) >= 0 || dir == pair ||
                                     completed == (dir.endsWith(sep) ? dir : dir + sep) + path,
            "a path with a folder stays; exactly one separator joins folder and bare name");
    const qsizetype last = path.lastIndexOf(sep) + 1;
    const auto folder = unlessOverflow([&] { return corvane::folderOf(path, sep); });
    const auto proposed = unlessOverflow([&] { return corvane::proposeNewFile(path, name, sep); });
    require(folder.has_value() == (last <= 32767) && proposed.has_value() == folder.has_value(),
            "refused exactly past position 32,767");
    require(!folder ||
                *folder == (last == 1 && sep == u'/' ? QString(sep) : path.left(qMax(last - 1, 0))),
            "the folder is what lies before the last separator");
    require(!proposed || *proposed == path.left(last) + QStringLiteral("New_") + name,
            "the proposal is New_ and the name in the Reference file's folder");
    return 0;
}
