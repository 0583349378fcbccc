// The command line: which Mac to judge, where the reference lists are, and the headless report.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace lq {

struct AppOptions {
    bool report = false; // --report: print the report instead of opening the window
    bool json = false;   // --json: the report as one JSON object
    bool help = false;
    bool version = false;
    QString systemRoot;                  // --system-root DIR (default: the build's default root)
    std::optional<QString> referenceUrl; // --reference-url URL or folder, made a base address
    double timeoutSeconds = 300.0;       // --timeout SECONDS: how long a headless report may take
    QString error;                       // a usage error; the caller prints it with the usage and exits 2
};

AppOptions parseOptions(const QStringList& arguments);
QString usageText();

} // namespace lq
