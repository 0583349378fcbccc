// Runs the install history listing or the scan summary once and prints how much the process's peak
// resident memory grew over its baseline, and the input's size, as "extra=<bytes> input=<bytes>",
// and for the summary its counts as "counts=<scans>/<alerts>/<warnings>".
//     lq-bench-memory listing FILE | summary FILE
#include "bench_inputs.h"

#include "platform/RootFileSystem.h"
#include "platform/SystemRoot.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

// The peak resident set size so far (VmHWM), in bytes; -1 when the system does not say.
long long peakResidentBytes() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long long kib = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            std::sscanf(line + 6, "%lld", &kib);
            break;
        }
    }
    std::fclose(status);
    return kib < 0 ? -1 : kib * 1024;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "listing") != 0 && std::strcmp(argv[1], "summary") != 0)) {
        std::fprintf(stderr, "usage: lq-bench-memory listing|summary FILE\n");
        return 2;
    }
    const QFileInfo input(QString::fromLocal8Bit(argv[2]));
    if (!input.isFile()) {
        std::fprintf(stderr, "lq-bench-memory: no such file: %s\n", argv[2]);
        return 2;
    }
    // Everything but the work itself is in place before the baseline is taken.
    const lq::RootFileSystem rootFiles{lq::SystemRoot(input.absolutePath())};
    const lq::FileSystem& files = rootFiles;
    const QString macPath = QLatin1Char('/') + input.fileName();
    const QDateTime runDate = QDateTime::fromMSecsSinceEpoch(1'790'000'000'000LL, Qt::UTC);
    const long long baseline = peakResidentBytes();

    bool ok = false;
    QString counts;
    if (std::strcmp(argv[1], "listing") == 0) {
        ok = lq::bench::installHistoryListing(files, macPath, runDate)
                 .startsWith(QStringLiteral("Latest updates installed:\n\t"));
    } else {
        // The summary gets the tool's whole output in memory, so holding it is part of its cost.
        const lq::FileRead read = files.readMacFile(macPath);
        if (read.bytes) {
            const lq::XPRCounts found = lq::classifyXPREvents(*read.bytes);
            ok = found.scans > 0;
            counts =
                QStringLiteral(" counts=%1/%2/%3").arg(found.scans).arg(found.alerts).arg(found.warnings);
        }
    }
    const long long peak = peakResidentBytes();
    if (!ok || baseline < 0 || peak < 0) {
        std::fprintf(stderr, "lq-bench-memory: the %s failed or the peak memory is unknown\n", argv[1]);
        return 1;
    }
    std::printf("extra=%lld input=%lld%s\n", peak - baseline, static_cast<long long>(input.size()),
                qPrintable(counts));
    return 0;
}
