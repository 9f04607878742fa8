// Reads the first line of files holding arbitrary bytes: it is every byte before the first CR,
// as ISO 8859-1, never holding a CR; an empty file has none; and comparing two files gives what
// comparing their first lines gives, with the Init file read first.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <variant>

#include "core/command_files.h"
#include "core/command_list.h"
#include "core/error.h"
#include "fuzz/fuzz_input.h"

using corvane::fuzz::FuzzInput;
using corvane::fuzz::require;

namespace {

enum class Failure { File, Overflow };
using Outcome = std::variant<QString, Failure>;

// In memory where the system offers it: two files are written for every input.
const QTemporaryDir& folder() {
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/corvane-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/corvane-fuzz-XXXXXX"));
    require(dir.isValid(), "a temporary folder can be made");
    return dir;
}

QString written(const QString& name, const QByteArray& bytes) {
    const QString path = folder().filePath(name);
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the input file can be written");
    require(file.write(bytes) == bytes.size(), "the input file is written whole");
    file.close();
    return path;
}

template <typename Step>
Outcome outcomeOf(Step step) {
    try {
        return step();
    } catch (const corvane::OverflowError&) {
        return Failure::Overflow;
    } catch (const corvane::FileError& error) {
        if (std::getenv("FUZZ_VERBOSE")) {
            std::fprintf(stderr, "%s\n", error.what());
        }
        return Failure::File;
    }
}

// What the comparison must give, worked out from the bytes alone.
Outcome expected(const QByteArray& init, const QByteArray& reference, const QString& separator) {
    if (init.isEmpty() || reference.isEmpty()) {
        return Failure::File;
    }
    const auto firstLine = [](const QByteArray& bytes) {
        const qsizetype cr = bytes.indexOf('\r');
        return QString::fromLatin1(cr < 0 ? bytes : bytes.left(cr));
    };
    return outcomeOf([&] {
        return corvane::FilterCommandList(firstLine(reference), firstLine(init), separator);
    });
}

QByteArray describe(const Outcome& outcome) {
    if (const auto* line = std::get_if<QString>(&outcome)) {
        return '"' + line->toUtf8() + '"';
    }
    return std::get<Failure>(outcome) == Failure::File ? "file error" : "overflow";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t flags = in.byte();
    const std::uint8_t shift = in.byte();
    corvane::fuzz::tuneScanFrom(in);
    const QString separator = (flags & 1) ? QStringLiteral(";:") : QStringLiteral(";");
    const QByteArray init = in.bytes(in.word() % 1024);
    QByteArray reference = in.rest();
    if ((flags & 2) && shift < 32) {
        // A first line around the limit, then maybe a CR and more lines. Rare, because long
        // lines are slow to compare twice.
        const qsizetype length = 32764 + shift % 5;
        QByteArray line = reference.isEmpty() ? QByteArrayLiteral("A") : reference;
        line.replace('\r', ';');
        while (line.size() < length) {
            line += line;
        }
        line.truncate(length);
        reference = line + ((flags & 4) ? reference : QByteArray());
    }

    const QString referencePath = written(QStringLiteral("ref.dat"), reference);
    const Outcome line = outcomeOf([&] { return corvane::readFirstLine(referencePath); });
    if (reference.isEmpty()) {
        require(std::holds_alternative<Failure>(line), "an empty file has no first line");
    } else {
        require(std::holds_alternative<QString>(line), "a file with bytes has a first line");
        const QString& text = std::get<QString>(line);
        require(!text.contains(QLatin1Char('\r')), "the first line holds no CR");
        require(QString::fromLatin1(reference).startsWith(text), "the first line is a prefix");
        require(text.size() == reference.size() || reference[text.size()] == '\r',
                "the first line ends at the first CR or at the end of the file");
    }

    const QString initPath = written(QStringLiteral("init.dat"), init);
    const Outcome compared =
        outcomeOf([&] { return corvane::compareCommandFiles(initPath, referencePath, separator); });
    const Outcome wanted = expected(init, reference, separator);
    if (compared != wanted) {
        std::fprintf(stderr, "compared: %s\nexpected: %s\n", describe(compared).constData(),
                     describe(wanted).constData());
    }
    require(compared == wanted, "comparing the files gives what comparing their first lines gives");
    return 0;
}
