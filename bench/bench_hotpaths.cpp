// Timings of the install history listing and the XProtect Remediator scan summary on generated inputs
// (bench/make_inputs.py), and of a bare simdjson parse of the scan log beside the summary. The folder of
// inputs is given by the environment variable LQ_BENCH_INPUTS.
#include "bench_inputs.h"

#include "platform/PropertyList.h"
#include "platform/PropertyListElements.h"
#include "platform/RootFileSystem.h"
#include "platform/SystemRoot.h"

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace lq;

void listing(benchmark::State& state, const QString& inputs, const QString& macPath) {
    const RootFileSystem files{SystemRoot(inputs)};
    const QDateTime runDate = QDateTime::fromMSecsSinceEpoch(1'790'000'000'000LL, Qt::UTC);
    for (auto _ : state) {
        const QString text = bench::installHistoryListing(files, macPath, runDate);
        // A listing that failed, or found nothing, would time the wrong thing.
        if (!text.startsWith(QStringLiteral("Latest updates installed:\n\t"))) {
            state.SkipWithError(qPrintable(QStringLiteral("unexpected listing: ") + text.left(200)));
            break;
        }
        benchmark::DoNotOptimize(text.constData());
    }
}

// The parts of the listing that are not its own code: reading the file, and decoding it into the
// property-list tree (and freeing that again). They show where the listing's time goes.
void readFile(benchmark::State& state, const QString& inputs, const QString& macPath) {
    const RootFileSystem rootFiles{SystemRoot(inputs)};
    const FileSystem& files = rootFiles;
    for (auto _ : state) {
        const FileRead read = files.readMacFile(macPath);
        if (!read.bytes) {
            state.SkipWithError(qPrintable(read.error));
            break;
        }
        benchmark::DoNotOptimize(read.bytes->constData());
    }
}

void parsePropertyList(benchmark::State& state, const QString& inputs, const QString& macPath) {
    const RootFileSystem rootFiles{SystemRoot(inputs)};
    const FileSystem& files = rootFiles;
    const FileRead read = files.readMacFile(macPath);
    for (auto _ : state) {
        const plist::ParseResult parsed = plist::parse(read.bytes.value_or(QByteArray()));
        if (!parsed.document) {
            state.SkipWithError(qPrintable(parsed.error));
            break;
        }
        benchmark::DoNotOptimize(parsed.document->root().type());
    }
}

// The listing's decoding step alone: every entry decoded, a few at a time, and visited.
void decodeElements(benchmark::State& state, const QString& inputs, const QString& macPath) {
    const RootFileSystem rootFiles{SystemRoot(inputs)};
    const FileSystem& files = rootFiles;
    const FileRead read = files.readMacFile(macPath);
    for (auto _ : state) {
        qsizetype visited = 0;
        const plist::ElementsResult result =
            plist::forEachTopLevelElement(read.bytes.value_or(QByteArray()), [&](const plist::Node& entry) {
                visited += entry.isDictionary() ? 1 : 0;
                return true;
            });
        if (!result.error.isEmpty()) {
            state.SkipWithError(qPrintable(result.error));
            break;
        }
        benchmark::DoNotOptimize(visited);
    }
}

void summary(benchmark::State& state, const QByteArray& log) {
    // The log tool's output is already in memory when the summary starts, as it is here.
    for (auto _ : state) {
        const XPRCounts counts = classifyXPREvents(log);
        if (counts.scans == 0) {
            state.SkipWithError("the log counted no scans");
            break;
        }
        benchmark::DoNotOptimize(counts);
    }
}

// simdjson alone on the same log: the whole output parsed as one document into a parser that keeps
// its memory from one parse to the next, no rules, nothing read from the result. The summary does
// this work and more (it cuts the log into runs, reads every event and parses every message), so this
// is the floor it is measured against.
void bareParse(benchmark::State& state, const QByteArray& log) {
    const simdjson::padded_string json(log.constData(), static_cast<size_t>(log.size()));
    simdjson::dom::parser parser;
    // One parse before the timing, so that the parser's memory is taken and touched already: what is
    // timed is the parse alone.
    if (parser.parse(json).error() != simdjson::SUCCESS) {
        state.SkipWithError("simdjson refused the log");
        return;
    }
    for (auto _ : state) {
        simdjson::dom::element root;
        if (parser.parse(json).get(root) != simdjson::SUCCESS) {
            state.SkipWithError("simdjson refused the log");
            break;
        }
        benchmark::DoNotOptimize(root);
    }
}

} // namespace

int main(int argc, char** argv) {
    const char* inputsEnv = std::getenv("LQ_BENCH_INPUTS");
    if (!inputsEnv) {
        std::fprintf(stderr, "lq-bench: set LQ_BENCH_INPUTS to the folder bench/make_inputs.py wrote\n");
        return 2;
    }
    const QString inputs = QString::fromLocal8Bit(inputsEnv);

    for (const char* format : {"xml", "bin"}) {
        for (int count : {2000, 20000}) {
            const QString macPath = QStringLiteral("/InstallHistory-%1-%2.plist").arg(count).arg(format);
            const std::string name =
                "InstallHistoryListing/" + std::string(format) + "/" + std::to_string(count);
            benchmark::RegisterBenchmark(name.c_str(), listing, inputs, macPath)
                ->Unit(benchmark::kMillisecond);
        }
        const QString largest = QStringLiteral("/InstallHistory-20000-%1.plist").arg(format);
        const std::string suffix = std::string(format) + "/20000";
        benchmark::RegisterBenchmark(("ReadMacFile/" + suffix).c_str(), readFile, inputs, largest)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("DecodeElements/" + suffix).c_str(), decodeElements, inputs, largest)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("PropertyListParse/" + suffix).c_str(), parsePropertyList, inputs,
                                     largest)
            ->Unit(benchmark::kMillisecond);
    }
    for (int count : {7000, 70000}) {
        QFile file(QStringLiteral("%1/log-xpr-%2.json").arg(inputs).arg(count));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "lq-bench: cannot read %s\n", qPrintable(file.fileName()));
            return 2;
        }
        const QByteArray log = file.readAll();
        const std::string name = "ScanSummary/" + std::to_string(count);
        benchmark::RegisterBenchmark(name.c_str(), summary, log)->Unit(benchmark::kMillisecond);
        const std::string bare = "BareSimdjsonParse/" + std::to_string(count);
        benchmark::RegisterBenchmark(bare.c_str(), bareParse, log)->Unit(benchmark::kMillisecond);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
