// Fetching one published reference list, screening the answer, and the parse steps every reader of
// a list shares.
#pragma once

#include "platform/HttpGetter.h"
#include "platform/PropertyList.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace lq {

struct StepServices;

inline const QString kURLSessionError = QStringLiteral("Got URLSession error.");
inline const QString kHttpResponseError = QStringLiteral("Got httpResponse error.");
inline const QString kBadListAlert = QStringLiteral("Error in update Property List.");
inline const QString kNoEntriesAlert = QStringLiteral("Update Property List has no entries.");

using AlertFunction = std::function<void(const QString& informativeText)>;

// What became of an answer before anyone reads its body.
enum class FetchOutcome {
    Accepted, // the body goes to the caller
    Failed,   // `failure` holds the line a reporting caller shows
    Ignored,  // another media type: nothing happens at all
};
struct ScreenedResponse {
    FetchOutcome outcome = FetchOutcome::Ignored;
    QString failure;
};
ScreenedResponse screenResponse(const HttpResponse& response);

// What became of one list: the answer's screening, then the reading of its body.
enum class ListOutcome { Pending, Ok, TransportError, HttpError, WrongContentType, Unparsable, Empty };
QString listOutcomeName(ListOutcome outcome);
struct ListRecord {
    QString name; // the file name, e.g. "sysupdates.plist"
    QString url;
    ListOutcome outcome = ListOutcome::Pending;
    int httpStatus = 0;  // with HttpError
    QString published;   // the list's "Published" date (ISO 8601), when it carries one
    QDateTime fetchedAt; // when its answer arrived (invalid while pending)
};
ListRecord pendingListRecord(const QString& url);
// The record after reading the body: unparsable or empty when reading it raised that alert.
void noteListAlerts(ListRecord& record, const QStringList& alerts);
// The "Published" date of a list, as ISO 8601 (UTC); empty when it has none. A dictionary list carries
// it at the top; a list of entries carries it in each entry (a row of its own could be taken for an
// entry by older readers), and the first entry that has one gives it.
QString publishedDate(const plist::Node& root);

// Who asked for a list and what it wants done around the fetch. Empty functions are skipped.
struct ReferenceFetch {
    HttpGetter& http;
    // The caller; once it is gone, its answer is dropped without running anything of it.
    QPointer<QObject> owner;
    // Takes the failure line. Callers that keep failures to themselves leave it empty.
    std::function<void(const QString& failure)> reportFailure;
    // Called when the GET starts, and exactly once after the answer has been dealt with (continuation
    // run, failure reported or answer ignored).
    std::function<void()> beginWork;
    std::function<void()> endWork;
    // Takes the record of the screened answer (before its body is read).
    std::function<void(const ListRecord&)> recorded = {};
};

// Starts one GET of `url` and returns at once. An accepted body reaches `continuation` on the main
// thread; a failure goes to `reportFailure`; another media type ends the fetch silently.
void fetchReferenceList(const ReferenceFetch& fetch, const QString& url,
                        std::function<void(const QByteArray& body)> continuation);

// The fetch of one step of a check run: it counts as the run's pending work, and its failure line
// (ended by a line break, so that it never runs into the next result) goes to `failed`.
// `recorded` takes the record of the screened answer.
ReferenceFetch stepFetch(const StepServices& step, std::function<void(const QString& failureLine)> failed,
                         std::function<void(const ListRecord&)> recorded = {});

// The top-level value a reader needs. A list of the other kind cannot be read, so it is treated like
// a body that is no property list at all.
enum class ListShape { Any, Array, Dictionary };

// Decodes XML or binary property-list bytes; on failure shows the alert and gives nothing.
std::optional<plist::Document> parseReferenceList(const QByteArray& body, const AlertFunction& showErrorAlert,
                                                  ListShape shape = ListShape::Any);

// True when the array has an entry; otherwise shows the alert and gives false.
bool checkHasEntries(const plist::Node& array, const AlertFunction& showErrorAlert);

// The string under `key` of a dictionary; a missing key or a value of another type reads as empty.
QString referenceString(const plist::Node& dictionary, const char* key);
// The first of the keys that holds a non-empty string, or "" when none does.
QString firstReferenceString(const plist::Node& dictionary, const QStringList& keys);

} // namespace lq
