#include "bench/bench_data.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <vector>

#include "core/command_list.h"

namespace corvane::bench {

namespace {

// Commands are two capital letters and a number below 1000, then ";" (about six characters,
// so a Reference line at the limit holds about 5,500 of them). All codes have two letters, so
// one command occurs inside an Init line made of such commands only where it stands whole.
constexpr int kCodes = 30;
constexpr int kValues = 1000;
constexpr int kUniverse = kCodes * kValues;

const char* const kCode[kCodes] = {"VS", "IS", "OV", "OC", "RG", "TR", "SR", "DL", "AZ", "FL",
                                   "MD", "CL", "OP", "NP", "RS", "GT", "ST", "FN", "DS", "TM",
                                   "HZ", "LV", "SL", "PW", "CH", "RO", "SN", "FM", "AV", "TC"};

void appendCommand(QByteArray& out, int id) {
    out += kCode[id / kValues];
    out += QByteArray::number(id % kValues);
    out += ';';
}

struct References {
    std::vector<int> half;     // Reference commands of which every other one is in the Init
    std::vector<int> present;  // the ones that are
    std::vector<int> none;     // Reference commands that are nowhere in the Init
    std::vector<bool> used;    // every command of either Reference, kept out of the filler
};

// Picks distinct commands until the line reaches the limit with the separator ";".
std::vector<int> referenceAtLimit(std::mt19937_64& rng, std::vector<bool>& used, qsizetype limit) {
    std::vector<int> picked;
    QByteArray line;
    std::uniform_int_distribution<int> any(0, kUniverse - 1);
    for (;;) {
        const int id = any(rng);
        if (used[std::size_t(id)]) {
            continue;
        }
        QByteArray one;
        appendCommand(one, id);
        if (line.size() + one.size() + 1 > limit) {
            return picked;
        }
        line += one;
        used[std::size_t(id)] = true;
        picked.push_back(id);
    }
}

References references(qsizetype limit) {
    std::mt19937_64 rng(1);
    References r;
    r.used.assign(kUniverse, false);
    r.half = referenceAtLimit(rng, r.used, limit);
    r.none = referenceAtLimit(rng, r.used, limit);
    for (std::size_t i = 0; i < r.half.size(); i += 2) {
        r.present.push_back(r.half[i]);
    }
    return r;
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

QByteArray lineOf(const std::vector<int>& ids) {
    QByteArray line;
    for (const int id : ids) {
        appendCommand(line, id);
    }
    return line;
}

// Writes an Init line of about bytes: filler commands that are in no Reference, with the
// present commands at random places, each once.
void writeInit(const QString& path, qint64 bytes, const References& r, std::uint64_t seed) {
    QFile file(path + QStringLiteral(".part"));
    if (!file.open(QIODevice::WriteOnly)) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> any(0, kUniverse - 1);
    // Where the present commands go, as byte offsets, in order.
    std::vector<qint64> at;
    std::uniform_int_distribution<qint64> where(0, std::max<qint64>(0, bytes - 16));
    for (std::size_t i = 0; i < r.present.size(); ++i) {
        at.push_back(where(rng));
    }
    std::sort(at.begin(), at.end());
    std::vector<int> present = r.present;
    std::shuffle(present.begin(), present.end(), rng);

    QByteArray buffer;
    qint64 written = 0;
    std::size_t next = 0;
    while (written + buffer.size() < bytes || next < present.size()) {
        if (next < present.size() && written + buffer.size() >= at[next]) {
            appendCommand(buffer, present[next++]);
        } else {
            const int id = any(rng);
            if (!r.used[std::size_t(id)]) {
                appendCommand(buffer, id);
            }
        }
        if (buffer.size() >= (1 << 20)) {
            file.write(buffer);
            written += buffer.size();
            buffer.clear();
        }
    }
    buffer += "\r\nRS0;\r\n";
    file.write(buffer);
    file.close();
    QFile::remove(path);
    if (!file.rename(path)) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

}  // namespace

void makeInit(const QString& folder, qint64 bytes, QString* initPath, QString* halfReferencePath,
              QString* noneReferencePath) {
    QDir().mkpath(folder);
    const References r = references(kCommandListLimit - 1);
    *halfReferencePath = folder + QStringLiteral("/ref-half.dat");
    *noneReferencePath = folder + QStringLiteral("/ref-none.dat");
    *initPath = folder + QStringLiteral("/init-%1.dat").arg(bytes);
    if (!QFileInfo::exists(*halfReferencePath)) {
        writeAll(*halfReferencePath, lineOf(r.half) + "\r\n");
    }
    if (!QFileInfo::exists(*noneReferencePath)) {
        writeAll(*noneReferencePath, lineOf(r.none) + "\r\n");
    }
    if (!QFileInfo::exists(*initPath)) {
        writeInit(*initPath, bytes, r, std::uint64_t(bytes));
    }
}

void makeSmall(const QString& folder, qint64 bytes, QString* initPath, QString* referencePath) {
    QDir().mkpath(folder);
    *initPath = folder + QStringLiteral("/small-init-%1.dat").arg(bytes);
    *referencePath = folder + QStringLiteral("/small-ref-%1.dat").arg(bytes);
    if (QFileInfo::exists(*initPath) && QFileInfo::exists(*referencePath)) {
        return;
    }
    const References r = references(qsizetype(bytes));
    writeAll(*referencePath, lineOf(r.half) + "\r\n");
    writeInit(*initPath, bytes, r, 7);
}

}  // namespace corvane::bench
