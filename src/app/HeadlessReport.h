// The headless report: one check run without a window, printed as text or JSON.
#pragma once

#include "app/ReferenceBase.h"
#include "check/PlainMainView.h"

#include <QString>

namespace lq {

struct Services;

// Loads the main window's controller on a plain view, runs the first check run, waits until every
// asynchronous result of it has arrived, and gives back what to print.
struct HeadlessResult {
    QString text;       // exactly what an export would write
    QString json;       // the JSON object
    int exitStatus = 0; // 0, 1 (a check failed) or 3 (a check could not be judged)
    // One line per reference list that could not be fetched or read, and one when the time ran out:
    // standard error's summary of what kept the run from a whole answer.
    QStringList problems;
};
// When `timeoutMs` passes first, every tool still running is ended and the report is given as far as
// it got, with the checks that had no result yet unknown ("timed out").
// `source` says where the base address came from, for the JSON.
HeadlessResult runHeadlessCheck(Services services, const QString& referenceBaseUrl,
                                const std::function<void(const QString&)>& onAlert, int timeoutMs = 300000,
                                ReferenceSource source = ReferenceSource::CommandLine);

// "Version 14.5 (Build 23F79)" as its version and build; empty parts when the text has none.
struct MacosRelease {
    QString version;
    QString build;
};
MacosRelease macosRelease(const QString& osVersionText);

// The JSON key of each status field.
QString jsonKeyOf(Field field);

} // namespace lq
