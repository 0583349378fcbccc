// The headless report: one check run without a window, printed as text or JSON.
#pragma once

#include "check/PlainMainView.h"

#include <QString>

namespace lq {

struct Services;

// Loads the main window's controller on a plain view, runs the first check run, waits until every
// asynchronous result of it has arrived, and gives back what to print.
struct HeadlessResult {
    QString text; // exactly what an export would write
    QString json; // the JSON object
};
HeadlessResult runHeadlessCheck(Services services, const QString& referenceBaseUrl,
                                const std::function<void(const QString&)>& onAlert);

// The JSON key of each status field.
QString jsonKeyOf(Field field);

} // namespace lq
