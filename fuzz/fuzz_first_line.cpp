// Comparing two files of any bytes gives what comparing their first lines gives: every byte
// before the first CR, as ISO 8859-1. An empty file has none, and the Init file is read first.
#include <QFile>
#include <QTemporaryDir>

#include "core/command_files.h"
#include "core/command_list.h"
#include "fuzz/fuzz.h"

using namespace corvane::fuzz;
using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const QString separator = (in.byte() & 1) ? u";:"_s : u";"_s;
    in.byte();
    const corvane::SearchOptions options = in.options();
    const QByteArray init = in.bytes(in.word() % 1024), reference = in.bytes(size);
    static const QTemporaryDir dir;
    for (const auto& [name, bytes] : {std::pair(u"init"_s, init), {u"ref"_s, reference}}) {
        QFile file(dir.filePath(name));
        require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), "written");
    }
    const auto outcome = [](auto step) {  // the line, or what was refused
        try {
            return unlessOverflow(step).value_or(u"overflow"_s);
        } catch (const corvane::FileError& error) {
            return error.role() == corvane::FileRole::Init ? u"Init"_s : u"other"_s;
        }
    };
    // The first line: all of the bytes when there is no CR.
    const auto line = [](QByteArray b) { return QString::fromLatin1(b).left(b.indexOf('\r')); };
    const QString expected = init.isEmpty() || reference.isEmpty()
                                 ? (init.isEmpty() ? u"Init"_s : u"other"_s)
                                 : outcome([&] {
                                       return corvane::filterCommandList(
                                           line(reference), line(init), separator, options);
                                   });
    require(outcome([&] {
                return *corvane::compareCommandFileLines(
                    dir.filePath(u"init"_s), dir.filePath(u"ref"_s), separator, nullptr, options);
            }) == expected,
            "comparing the files gives what comparing their first lines gives");
    return 0;
}
