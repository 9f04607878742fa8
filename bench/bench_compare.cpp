// Measures the comparison of two command files side by side with the cost of reading the Init
// file: a bare read pass, a read pass that looks for the line's CR, the literal method (each
// command searched on its own in the whole Init line) and the engine as Run calls it.
//
//   bench_compare [benchmark flags]           runs everything and prints a summary table
//   bench_compare --peak METHOD INIT REF      (internal) runs one method once, prints its peak
//
// CORVANE_BENCH_DATA names the folder for the generated files (default /tmp/corvane-bench),
// CORVANE_BENCH_MIB the Init sizes in MiB (default "1,64,256").

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "bench/bench_data.h"
#include "core/command_files.h"
#include "core/command_list.h"
#include "tests/support.h"

using corvane::bench::BenchCase;

namespace {

constexpr qint64 kReadChunk = 256 * 1024;
// Characters the literal method may search per measured run before it is sampled: searching
// a few thousand million characters takes about a second.
constexpr double kLiteralBudget = 4e9;

const QString kSeparator = QStringLiteral(";");

qint64 readPass(const QString& path, bool findCr) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return -1;
    }
    static thread_local QByteArray buffer(kReadChunk, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(buffer.data(), kReadChunk);
        if (got <= 0) {
            break;
        }
        if (findCr) {
            if (const void* cr = std::memchr(buffer.constData(), '\r', std::size_t(got))) {
                return total + (static_cast<const char*>(cr) - buffer.constData());
            }
        }
        total += got;
    }
    return total;
}

// The literal method on every step-th Reference command; its search time is scaled up to all
// commands. Commands here all end with the separator, so the sampled commands cut the same.
struct LiteralRun {
    double readSeconds = 0;
    double searchSeconds = 0;  // already scaled to all commands
    double cpuSeconds = 0;     // the same, in processor time
    int step = 1;
};

// Processor time of all this program's threads, user and system.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int literalStep(qint64 initBytes, qsizetype commands) {
    const double all = double(initBytes) * double(commands);
    return std::max(1, int(std::ceil(all / kLiteralBudget)));
}

LiteralRun literalRun(const BenchCase& c) {
    LiteralRun run;
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = processCpuSeconds();
    const QString init = corvane::readFirstLine(c.initPath, corvane::FileRole::Init);
    const QString reference = corvane::readFirstLine(c.referencePath, corvane::FileRole::Reference);
    run.readSeconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpuRead = processCpuSeconds() - cpuStart;

    const QList<corvane::CommandSpan> spans = corvane::cutCommands(reference, kSeparator);
    run.step = literalStep(init.size(), spans.size());
    QString sampled;
    qsizetype count = 0;
    for (qsizetype i = 0; i < spans.size(); i += run.step) {
        sampled += QStringView(reference).mid(spans[i].start, spans[i].length);
        ++count;
    }
    timer.restart();
    const double cpuSearchStart = processCpuSeconds();
    benchmark::DoNotOptimize(corvane::test::keptCommands(sampled, init, kSeparator));
    const double scale = double(spans.size()) / double(std::max<qsizetype>(1, count));
    run.searchSeconds = double(timer.nsecsElapsed()) / 1e9 * scale;
    run.cpuSeconds = cpuRead + (processCpuSeconds() - cpuSearchStart) * scale;
    return run;
}

// The comparison as Run calls it, with the given number of searching threads (0: the
// program's own choice for this machine).
QString engineRun(const BenchCase& c, int threads = 0) {
    corvane::SearchOptions options;
    options.threads = threads > 0 ? threads : options.threads;
    return *corvane::compareCommandFileLines(c.initPath, c.referencePath, kSeparator, nullptr,
                                             options);
}

// The peak resident size of this program image. getrusage() would do elsewhere, but on Linux its
// maximum survives exec() and so starts at the launching benchmark's own size; VmHWM does not.
long maxRssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                return line.mid(6).trimmed().split(' ').value(0).toLong();
            }
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Child mode: one run of one method, then the growth of the peak resident size over the
// process's own baseline.
int peakChild(const char* method, const char* init, const char* reference) {
    const BenchCase c{QString(), QString::fromLocal8Bit(init), QString::fromLocal8Bit(reference),
                      0};
    const long before = maxRssKiB();
    if (std::strcmp(method, "read") == 0) {
        benchmark::DoNotOptimize(readPass(c.initPath, false));
    } else if (std::strcmp(method, "memchr") == 0) {
        benchmark::DoNotOptimize(readPass(c.initPath, true));
    } else if (std::strcmp(method, "literal") == 0) {
        benchmark::DoNotOptimize(literalRun(c));
    } else {
        benchmark::DoNotOptimize(engineRun(c));
    }
    std::printf("%ld %ld\n", before, maxRssKiB());
    return 0;
}

const char* const kMethods[] = {"read", "memchr", "literal", "engine"};

struct Measured {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMiB = -1;
    int literalStep = 1;
};
std::map<std::string, std::map<std::string, Measured>> gResults;  // case, method

double peakAboveBaseline(const char* self, const char* method, const BenchCase& c) {
    QProcess child;
    child.start(
        QString::fromLocal8Bit(self),
        {QStringLiteral("--peak"), QString::fromLatin1(method), c.initPath, c.referencePath});
    if (!child.waitForFinished(-1)) {
        return -1;
    }
    const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
    if (parts.size() != 2) {
        return -1;
    }
    return double(parts[1].toLong() - parts[0].toLong()) / 1024.0;
}

// Reports the processor time of all threads per iteration as the counter cpu_ms: the engine
// uses two, and on a busy machine the elapsed time says more about the neighbours.
class CpuCounter {
public:
    explicit CpuCounter(benchmark::State& state) : state_(state), start_(processCpuSeconds()) {}
    ~CpuCounter() {
        const auto iterations = std::max<benchmark::IterationCount>(1, state_.iterations());
        state_.counters["cpu_ms"] = (processCpuSeconds() - start_) * 1e3 / double(iterations);
    }
    CpuCounter(const CpuCounter&) = delete;
    CpuCounter& operator=(const CpuCounter&) = delete;

private:
    benchmark::State& state_;
    double start_;
};

void registerCase(const BenchCase& c) {
    const std::string name = c.name.toStdString();
    const int iterations = c.initBytes >= (64 << 20) ? 5 : 0;
    const auto limit = [iterations](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->UseRealTime();
        if (iterations > 0) {
            b->Iterations(iterations);
        }
        return b;
    };
    limit(benchmark::RegisterBenchmark((name + "/read").c_str(), [c](benchmark::State& state) {
        const CpuCounter cpu(state);
        for (auto _ : state) {
            benchmark::DoNotOptimize(readPass(c.initPath, false));
        }
        state.SetBytesProcessed(state.iterations() * c.initBytes);
    }));
    limit(benchmark::RegisterBenchmark((name + "/memchr").c_str(), [c](benchmark::State& state) {
        const CpuCounter cpu(state);
        for (auto _ : state) {
            benchmark::DoNotOptimize(readPass(c.initPath, true));
        }
        state.SetBytesProcessed(state.iterations() * c.initBytes);
    }));
    benchmark::RegisterBenchmark(
        (name + "/literal").c_str(),
        [c](benchmark::State& state) {
            LiteralRun run;
            double cpuSeconds = 0;
            for (auto _ : state) {
                run = literalRun(c);
                state.SetIterationTime(run.readSeconds + run.searchSeconds);
                cpuSeconds += run.cpuSeconds;
            }
            state.counters["sample_1_in"] = run.step;
            state.counters["cpu_ms"] = cpuSeconds * 1e3 / double(state.iterations());
        })
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(c.initBytes >= (64 << 20) ? 1 : 3);
    for (const int threads : {1, 2}) {
        const std::string method = threads == 1 ? "/engine1" : "/engine";
        limit(benchmark::RegisterBenchmark(
            (name + method).c_str(), [c, threads](benchmark::State& state) {
                const CpuCounter cpu(state);
                for (auto _ : state) {
                    benchmark::DoNotOptimize(engineRun(c, threads));
                }
                state.SetBytesProcessed(state.iterations() * c.initBytes);
            }));
    }
}

// Keeps each run's mean time for the summary, and prints as usual.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) {
                continue;
            }
            const std::string full = run.benchmark_name();
            const std::size_t slash = full.find('/');
            const std::string method =
                full.substr(slash + 1, full.find('/', slash + 1) - slash - 1);
            Measured& m = gResults[full.substr(0, slash)][method];
            m.seconds = run.real_accumulated_time / double(run.iterations);
            const auto cpu = run.counters.find("cpu_ms");
            if (cpu != run.counters.end()) {
                m.cpuSeconds = cpu->second.value / 1e3;
            }
            const auto step = run.counters.find("sample_1_in");
            if (step != run.counters.end()) {
                m.literalStep = int(step->second.value);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

// Where the combined search starts to beat searching each command alone, in memory.
void registerCutoff(const QString& folder) {
    for (const qint64 bytes : {256, 512, 1024, 2048, 4096, 8192, 16384}) {
        QString initPath;
        QString referencePath;
        corvane::bench::makeSmall(folder, bytes, &initPath, &referencePath);
        const QString init = corvane::readFirstLine(initPath, corvane::FileRole::Init);
        const QString reference =
            corvane::readFirstLine(referencePath, corvane::FileRole::Reference);
        for (const bool direct : {true, false}) {
            const std::string name =
                "cutoff/" + std::to_string(bytes) + "B/" + (direct ? "literal" : "engine");
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                corvane::SearchOptions options;
                options.directBelow = direct ? std::numeric_limits<qint64>::max() : 0;
                for (auto _ : state) {
                    benchmark::DoNotOptimize(
                        corvane::filterCommandList(reference, init, kSeparator, options));
                }
            })->Unit(benchmark::kMicrosecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--peak") == 0) {
        return peakChild(argv[2], argv[3], argv[4]);
    }
    benchmark::Initialize(&argc, argv);

    const QString folder =
        qEnvironmentVariable("CORVANE_BENCH_DATA", QStringLiteral("/tmp/corvane-bench"));
    const QString sizes = qEnvironmentVariable("CORVANE_BENCH_MIB", QStringLiteral("1,64,256"));
    std::fprintf(stderr, "Preparing the files in %s ...\n", qPrintable(folder));

    std::vector<BenchCase> cases;
    {
        BenchCase small;
        small.name = QStringLiteral("2KiB_ref+2KiB_init");
        corvane::bench::makeSmall(folder, 2048, &small.initPath, &small.referencePath);
        small.initBytes = QFile(small.initPath).size();
        cases.push_back(small);
    }
    for (const QString& mib : sizes.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qint64 bytes = mib.toLongLong() << 20;
        QString init;
        QString half;
        QString none;
        corvane::bench::makeInit(folder, bytes, &init, &half, &none);
        cases.push_back({QStringLiteral("limit_ref_half_found+%1MiB_init").arg(mib), init, half,
                         QFile(init).size()});
        cases.push_back({QStringLiteral("limit_ref_none_found+%1MiB_init").arg(mib), init, none,
                         QFile(init).size()});
    }
    for (const BenchCase& c : cases) {
        registerCase(c);
    }
    registerCutoff(folder);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf(
        "\nTimes are per run: elapsed (wall) and processor time of all threads (cpu). The\n"
        "literal method is sampled where it would take minutes: every n-th Reference command is\n"
        "searched, its search time multiplied by n and its reading time added (1/n in the\n"
        "table). Peak memory is the growth of the peak resident size over the program's own\n"
        "baseline, measured in a child process running the method once.\n\n");
    std::printf("%-33s %8s %8s %8s %11s %18s %8s %8s %8s %8s %7s %7s | %5s %6s %7s %6s\n", "case",
                "read", "memchr", "memchr", "literal", "literal", "engine1", "engine1", "engine2",
                "engine2", "eng/mch", "eng/mch", "read", "memchr", "literal", "engine");
    std::printf("%-33s %8s %8s %8s %11s %18s %8s %8s %8s %8s %7s %7s | %5s %6s %7s %6s\n", "",
                "wall ms", "wall ms", "cpu ms", "wall ms", "cpu ms", "wall ms", "cpu ms", "wall ms",
                "cpu ms", "wall", "cpu", "MiB", "MiB", "MiB", "MiB");
    for (const BenchCase& c : cases) {
        const auto found = gResults.find(c.name.toStdString());
        if (found == gResults.end()) {
            continue;
        }
        auto& row = found->second;
        for (const char* method : kMethods) {
            if (row.count(method)) {
                row[method].peakMiB = peakAboveBaseline(argv[0], method, c);
            }
        }
        const auto wall = [&row](const char* method) { return row[method].seconds * 1e3; };
        const auto cpu = [&row](const char* method) { return row[method].cpuSeconds * 1e3; };
        const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        const QString literalCpu = QString::number(cpu("literal"), 'f', 2) +
                                   (row["literal"].literalStep > 1
                                        ? QStringLiteral(" (1/%1)").arg(row["literal"].literalStep)
                                        : QString());
        std::printf(
            "%-33s %8.2f %8.2f %8.2f %11.2f %18s %8.2f %8.2f %8.2f %8.2f %7.2f %7.2f | %5.1f %6.1f "
            "%7.1f %6.1f\n",
            qPrintable(c.name), wall("read"), wall("memchr"), cpu("memchr"), wall("literal"),
            qPrintable(literalCpu), wall("engine1"), cpu("engine1"), wall("engine"), cpu("engine"),
            ratio(wall("engine"), wall("memchr")), ratio(cpu("engine"), cpu("memchr")),
            row["read"].peakMiB, row["memchr"].peakMiB, row["literal"].peakMiB,
            row["engine"].peakMiB);
    }
    return 0;
}
