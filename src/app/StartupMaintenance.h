// The start-up test of whether the unified log can be read here, which switches the XProtect
// Remediator scan summary off when it cannot.
#pragma once

#include "platform/Services.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace lq {

inline const QString kDiagnosticsPersistFolder = QStringLiteral("/var/db/diagnostics/Persist");
inline const QString kDiagnosticsTimesyncFolder = QStringLiteral("/var/db/diagnostics/timesync");
inline const QString kIdToolPath = QStringLiteral("/usr/bin/id");
inline const QString kLogToolPath = QStringLiteral("/usr/bin/log");
// The group every administrator of a Mac belongs to.
inline const QString kAdminGroupId = QStringLiteral("80");

// The four tests, for one run of the start-up test.
class deDysfunction {
public:
    explicit deDysfunction(Services services) : services_(services) {}

    // The running user belongs to the administrators' group.
    bool isAdminUser() const;
    // The folder exists and lists at least one entry.
    bool folderHasEntries(const QString& macPath) const;
    // The log tool answers a short query with at least one line.
    bool logShowWorks() const;

private:
    Services services_;
};

// Reads "noCheckXPRem", stores it as true at once, and only when it was false before runs the tests,
// storing false again when all of them pass.
void runStartupMaintenance(Services services);

// The same in two halves, so that the tests (which run tools) can run off the main thread while the
// settings stay on it: the first tells whether the tests are to run, the second (any thread) runs
// them, and the result goes to finishStartupMaintenance on the main thread.
bool beginStartupMaintenance(Services services);
bool unifiedLogWorks(Services services);
void finishStartupMaintenance(Services services, bool works);

// Tool output as text; nothing when it is not valid UTF-8.
std::optional<QString> decodeToolOutput(const QByteArray& bytes);
// Whether the group numbers printed by `id -G`, separated by single spaces, include the administrators'.
bool groupListHasAdmin(const QString& idOutput);
// Whether the log tool's output holds at least one line break.
bool logOutputHasLineBreak(const QString& logOutput);

} // namespace lq
