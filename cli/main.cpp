// corvane-cli: the comparison of the window for scripts, without a display.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/command_files.h"
#include "core/command_list.h"
#include "core/error.h"
#include "core/paths.h"
#include "core/standard_output.h"

namespace {

using corvane::Error;

// The exit status tells a script what went wrong.
enum Status { Written = 0, Usage = 1, ReadFailed = 2, Refused = 3, WriteFailed = 4 };

// A failure with its exit status and the text for the standard error.
struct Failure {
    Status status;
    QString message;
};

void printError(const QString& message) {
    std::fprintf(stderr, "corvane-cli: %s\n", message.toLocal8Bit().constData());
}

QString quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}

struct Options {
    QCommandLineOption separator{{QStringLiteral("s"), QStringLiteral("separator")},
                                 QStringLiteral("The command separator, byte for byte as typed "
                                                "(default \";\")."),
                                 QStringLiteral("SEP"),
                                 QStringLiteral(";")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("Write the New file FILE instead of the standard "
                                             "output."),
                              QStringLiteral("FILE")};
    QCommandLineOption write{{QStringLiteral("w"), QStringLiteral("write")},
                             QStringLiteral("Write the New file of each REFERENCE beside it, "
                                            "named New_ and its name.")};
    QCommandLineOption force{{QStringLiteral("f"), QStringLiteral("force")},
                             QStringLiteral("Replace a New file that already exists.")};
    QCommandLineOption list{{QStringLiteral("l"), QStringLiteral("list")},
                            QStringLiteral("Print the kept commands one per line, without "
                                           "their separator, instead of the New line.")};
    QCommandLineOption count{{QStringLiteral("c"), QStringLiteral("count")},
                             QStringLiteral("Report \"K of N commands kept\" on the standard "
                                            "error.")};

    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(QStringLiteral(
            "Writes the New line: the commands of the REFERENCE file's first line that do\n"
            "not occur in the INIT file's first line, in their Reference order, ended by\n"
            "CR LF; to the standard output, to -o FILE, or with --write beside each\n"
            "REFERENCE as New_ and its name.\n"
            "\n"
            "Exit status: 0 written, 1 usage error, 2 an input could not be read or is over\n"
            "the limit, 3 refused (an existing New file without --force, a New file that is\n"
            "an input, an empty separator), 4 the New file could not be written."));
        parser.addOptions({separator, output, write, force, list, count});
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(QStringLiteral("INIT"),
                                     QStringLiteral("The set-up the instrument is in now."));
        parser.addPositionalArgument(QStringLiteral("REFERENCE"),
                                     QStringLiteral("The set-up to reach; several with --write."),
                                     QStringLiteral("REFERENCE..."));
    }
};

// The separator as the bytes typed, one character per byte, as the files are read. Paths keep
// the system's decoding of the command line.
QString separatorBytes(const QStringList& rawArguments, const QStringList& arguments) {
    const Options options;
    QCommandLineParser raw;
    options.addTo(raw);
    if (rawArguments.size() == arguments.size() && raw.parse(rawArguments)) {
        return raw.value(options.separator);
    }
    QCommandLineParser decoded;
    options.addTo(decoded);
    decoded.parse(arguments);
    return decoded.value(options.separator);
}

// The steps for one Reference file, each failure turned into its exit status.
class Comparison {
public:
    Comparison(QString separator, QStringList inputs, bool force)
        : separator_(std::move(separator)), inputs_(std::move(inputs)), force_(force) {}

    // Refuses a New file that is one of the inputs under any spelling, or one that exists
    // (a dangling link included) unless it may be replaced.
    void checkNewFile(const QString& path) const {
        for (const QString& input : inputs_) {
            if (path == input || corvane::isSameFile(path, input)) {
                throw Failure{Refused, QStringLiteral("New file could not be the same as any of "
                                                      "the other ! (%1)")
                                           .arg(quoted(path))};
            }
        }
        const QFileInfo info(path);
        if (!force_ && (info.exists() || info.isSymLink())) {
            throw Failure{Refused, QStringLiteral("%1 already exists ! Give --force to "
                                                  "overwrite it.")
                                       .arg(quoted(path))};
        }
    }

    // The New line, as Run computes it.
    QString compare(const QString& init, const QString& reference) const {
        try {
            // The separator is already the bytes typed, as the files are read.
            return *corvane::compareCommandFileLines(init, reference, separator_, nullptr);
        } catch (const Error& error) {
            throw Failure{ReadFailed, error.message()};
        }
    }

    // "K of N commands kept", counting repeated commands each time they occur.
    QString counted(const QString& reference, const QString& line) const {
        try {
            const QString all = corvane::readFirstLine(reference, corvane::FileRole::Reference);
            return QStringLiteral("%1 of %2 commands kept")
                .arg(corvane::cutCommands(line, separator_).size())
                .arg(corvane::cutCommands(all, separator_).size());
        } catch (const Error& error) {
            throw Failure{ReadFailed, error.message()};
        }
    }

    // The kept commands one per line. Cutting the New line again gives the kept commands
    // back: each ends at the first separator after its own start.
    QByteArray listed(const QString& line) const {
        QByteArray text;
        for (const corvane::CommandSpan& span : corvane::cutCommands(line, separator_)) {
            QStringView command = QStringView(line).mid(span.start, span.length);
            if (command.endsWith(separator_)) {
                command.chop(separator_.size());
            }
            text += command.toLatin1() + '\n';
        }
        return text;
    }

private:
    QString separator_;
    QStringList inputs_;
    bool force_;
};

void writeFile(const QString& path, const QString& line) {
    try {
        corvane::writeNewFile(path, line);
    } catch (const Error& error) {
        throw Failure{WriteFailed, error.message()};
    }
}

void writeOutput(const QByteArray& bytes) {
    try {
        corvane::writeStandardOutput(bytes);
    } catch (const Error& error) {
        throw Failure{WriteFailed, error.message()};
    }
}

[[noreturn]] void usageError(const QString& message) {
    printError(message);
    std::fprintf(stderr, "Try 'corvane-cli --help' for more information.\n");
    std::exit(Usage);
}

}  // namespace

int main(int argc, char* argv[]) {
    // Taken before QCoreApplication may take Qt's own options out of argv.
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i) {
        rawArguments << QString::fromLatin1(argv[i]);
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION_TEXT));

    const Options options;
    QCommandLineParser parser;
    options.addTo(parser);
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    const bool write = parser.isSet(options.write);
    const bool toFile = parser.isSet(options.output);
    const bool list = parser.isSet(options.list);
    if (files.size() < 2) {
        usageError(QStringLiteral("Give the INIT file and a REFERENCE file."));
    }
    if (files.size() > 2 && !write) {
        usageError(QStringLiteral("Several REFERENCE files need --write."));
    }
    if (toFile && parser.value(options.output).isEmpty()) {
        usageError(QStringLiteral("--output needs the New file's name."));
    }
    if (write && toFile) {
        usageError(QStringLiteral("--write and --output cannot be given together."));
    }
    if (list && (write || toFile)) {
        usageError(
            QStringLiteral("--list prints to the standard output: give neither "
                           "--write nor --output with it."));
    }

    const QString separator = separatorBytes(rawArguments, QCoreApplication::arguments());
    if (separator.isEmpty()) {
        printError(QStringLiteral("Command Separator can't be empty !"));
        return Refused;
    }

    const Comparison comparison(separator, files, parser.isSet(options.force));
    const QString init = files.first();
    const bool count = parser.isSet(options.count);
    int status = Written;
    for (const QString& reference : files.mid(1)) {
        try {
            QString newFile = parser.value(options.output);
            if (write) {
                try {
                    newFile = corvane::proposeNewFile(QDir::toNativeSeparators(reference),
                                                      QFileInfo(reference).fileName(),
                                                      corvane::nativeSeparator());
                } catch (const Error& error) {
                    throw Failure{ReadFailed, error.message()};
                }
            }
            if (!newFile.isEmpty()) {
                comparison.checkNewFile(newFile);
            }
            const QString line = comparison.compare(init, reference);
            if (list) {
                writeOutput(comparison.listed(line));
            } else if (newFile.isEmpty()) {
                writeOutput(line.toLatin1() + QByteArrayLiteral("\r\n"));
            } else {
                writeFile(newFile, line);
            }
            if (count) {
                const QString kept = comparison.counted(reference, line);
                const QString shown =
                    write ? quoted(reference) + QStringLiteral(": ") + kept : kept;
                std::fprintf(stderr, "%s\n", shown.toLocal8Bit().constData());
            }
        } catch (const Failure& failure) {
            printError(failure.message);
            if (status == Written) {
                status = failure.status;
            }
        }
    }
    return status;
}
