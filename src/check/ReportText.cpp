// Pure text builders of the main window.
#include "check/ReportText.h"

#include <QTimeZone>

namespace lq {

int osVersionCode(int major, int minor) {
    if (major == 10)
        return minor;
    return major + 5;
}

QString mainWindowTitle(bool noInstallSWU, const QString& osVersionText) {
    const QString title = QStringLiteral("Lanternquill 2 – macOS ") + osVersionText;
    return noInstallSWU ? QStringLiteral("⚠️ ") + title : title;
}

QString exportFooter(const QDateTime& runDate) {
    return QStringLiteral("\nChecked by Lanternquill 2 at ") + standardDateDescription(runDate) +
           QLatin1Char('\n');
}

QString exportFileName(const std::optional<QDateTime>& runDate) {
    // The zone part of the stamp is "Z" because the stamp is always made in UTC.
    const QString stamp =
        runDate ? runDate->toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH_mm_ss")) + QLatin1Char('Z')
                : QStringLiteral("undated");
    return QStringLiteral("LQ_") + stamp + QStringLiteral(".text");
}

} // namespace lq
