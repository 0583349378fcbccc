// How the system describes a date in its own texts.
#pragma once

#include <QDateTime>
#include <QString>

namespace lq {

// The platform's standard description of a date: "2025-01-31 14:05:09 +0000" (UTC).
inline QString standardDateDescription(const QDateTime& date) {
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

} // namespace lq
