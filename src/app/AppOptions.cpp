// Command-line parsing. Unknown options and missing values are usage errors, never guesses.
#include "app/AppOptions.h"

#include "app/ReferenceBase.h"

#include <QDir>

namespace lq {

QString usageText() {
    return QStringLiteral(
               "Usage: lanternquill [--report [--json] [--timeout SECONDS]] [--system-root DIR]\n"
               "                    [--reference-url URL]\n"
               "       lanternquill --help | --version\n"
               "\n"
               "  --report             check this Mac once and print the report (no window)\n"
               "  --json               with --report: print one JSON object (report, windowTitle, alerts,\n"
               "                       status, and the typed results: schemaVersion, checkedAt, appVersion,\n"
               "                       mac, reference, checks)\n"
               "  --timeout SECONDS    with --report: end the run after SECONDS (default 300); tools still\n"
               "                       running are ended and their checks are unknown\n"
               "  --system-root DIR    judge the Mac whose files and tools are under DIR (default: %1)\n"
               "  --reference-url URL  fetch the reference lists from URL instead of the ReferenceBaseURL\n"
               "                       setting or %2: an https address ending in /\n"
               "                       (http only on this machine), a file:// address or a folder\n"
               "\n"
               "Exit status of --report: 0 no check failed and every check could be judged or had nothing\n"
               "to be judged by; 1 a check failed; 3 no check failed but one could not be judged because a\n"
               "reference list could not be fetched or read, a tool failed or the time limit passed;\n"
               "2 a usage error.\n")
        .arg(QStringLiteral(LQ_DEFAULT_SYSTEM_ROOT), QStringLiteral(LQ_REFERENCE_BASE_URL));
}

AppOptions parseOptions(const QStringList& arguments) {
    AppOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        auto value = [&](QString& target) {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--"))) {
                options.error = QStringLiteral("%1 needs a value").arg(argument);
                return;
            }
            target = arguments[++i];
        };
        if (argument == QLatin1String("--report"))
            options.report = true;
        else if (argument == QLatin1String("--json"))
            options.json = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            options.help = true;
        else if (argument == QLatin1String("--version"))
            options.version = true;
        else if (argument == QLatin1String("--system-root"))
            value(options.systemRoot);
        else if (argument == QLatin1String("--reference-url"))
            value(options.referenceUrl.emplace());
        else if (argument == QLatin1String("--timeout")) {
            QString text;
            value(text);
            bool ok = false;
            const double seconds = text.toDouble(&ok);
            // A day is far past any run; a larger number is a typing error, not a wish.
            if (options.error.isEmpty() && (!ok || !(seconds > 0 && seconds <= 86400)))
                options.error =
                    QStringLiteral("--timeout \"%1\": must be a number of seconds above 0, at most 86400")
                        .arg(text);
            options.timeoutSeconds = seconds;
        } else
            options.error = QStringLiteral("unknown argument: %1").arg(argument);
        if (!options.error.isEmpty())
            return options;
    }
    if (options.json && !options.report)
        options.error = QStringLiteral("--json goes with --report");
    if (!options.report && arguments.contains(QStringLiteral("--timeout")))
        options.error = QStringLiteral("--timeout goes with --report");
    // Given at all, the address must be usable: an empty one is no reason to fall back on the built-in.
    if (options.referenceUrl) {
        const ReferenceAddress address = referenceAddress(*options.referenceUrl, QDir::currentPath());
        if (!address.problem.isEmpty())
            options.error =
                QStringLiteral("--reference-url \"%1\": %2").arg(*options.referenceUrl, address.problem);
        else
            options.referenceUrl = address.url;
    }
    return options;
}

} // namespace lq
