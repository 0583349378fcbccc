// Fetching and screening a reference list, and the parse steps its readers share.
#include "securitydata/ReferenceList.h"

#include "platform/Background.h"

#include <QDateTime>

#include <utility>

namespace lq {

namespace {

// Runs the caller's end hook when the handling of an answer is over, whichever way it ended.
class WorkEnd {
public:
    explicit WorkEnd(const std::function<void()>& end) : end_(end) {}
    ~WorkEnd() {
        if (end_)
            end_();
    }
    WorkEnd(const WorkEnd&) = delete;
    WorkEnd& operator=(const WorkEnd&) = delete;

private:
    const std::function<void()>& end_;
};

} // namespace

ScreenedResponse screenResponse(const HttpResponse& response) {
    if (response.transportError)
        return {FetchOutcome::Failed, kURLSessionError};
    if (!response.isHttp || response.status < 200 || response.status > 299)
        return {FetchOutcome::Failed, kHttpResponseError};
    // Anything else, an HTML error page above all, is not a list; it is not worth a word to the user.
    if (response.mediaType != QLatin1String("text/xml") && response.mediaType != QLatin1String("text/plain"))
        return {FetchOutcome::Ignored, QString()};
    return {FetchOutcome::Accepted, QString()};
}

void fetchReferenceList(const ReferenceFetch& fetch, const QString& url,
                        std::function<void(const QByteArray& body)> continuation) {
    if (fetch.beginWork)
        fetch.beginWork();
    // A caller without an owner object cannot go away before its answer; one with an owner can.
    const bool watched = !fetch.owner.isNull();
    fetch.http.get(url, [owner = fetch.owner, watched, reportFailure = fetch.reportFailure,
                         endWork = fetch.endWork, recorded = fetch.recorded, url,
                         continuation = std::move(continuation)](const HttpResponse& response) {
        if (watched && owner.isNull())
            return;
        const WorkEnd end(endWork);
        const ScreenedResponse screened = screenResponse(response);
        if (recorded) {
            ListRecord record = pendingListRecord(url);
            if (response.transportError)
                record.outcome = ListOutcome::TransportError;
            else if (screened.outcome == FetchOutcome::Failed) {
                record.outcome = ListOutcome::HttpError;
                record.httpStatus = response.status;
            } else if (screened.outcome == FetchOutcome::Ignored)
                record.outcome = ListOutcome::WrongContentType;
            else
                record.outcome = ListOutcome::Ok;
            recorded(record);
        }
        switch (screened.outcome) {
        case FetchOutcome::Failed:
            if (reportFailure)
                reportFailure(screened.failure);
            break;
        case FetchOutcome::Ignored:
            break;
        case FetchOutcome::Accepted:
            continuation(response.body);
            break;
        }
    });
}

QString listOutcomeName(ListOutcome outcome) {
    switch (outcome) {
    case ListOutcome::Pending:
        return QStringLiteral("pending");
    case ListOutcome::Ok:
        return QStringLiteral("ok");
    case ListOutcome::TransportError:
        return QStringLiteral("transportError");
    case ListOutcome::HttpError:
        return QStringLiteral("httpError");
    case ListOutcome::WrongContentType:
        return QStringLiteral("wrongContentType");
    case ListOutcome::Unparsable:
        return QStringLiteral("unparsable");
    case ListOutcome::Empty:
        return QStringLiteral("empty");
    }
    return QString();
}

ListRecord pendingListRecord(const QString& url) {
    ListRecord record;
    record.url = url;
    record.name = url.section(QLatin1Char('/'), -1);
    return record;
}

void noteListAlerts(ListRecord& record, const QStringList& alerts) {
    if (alerts.contains(kBadListAlert))
        record.outcome = ListOutcome::Unparsable;
    else if (alerts.contains(kNoEntriesAlert))
        record.outcome = ListOutcome::Empty;
}

QString publishedDate(const plist::Node& root) {
    const auto dateIn = [](const plist::Node& dictionary) {
        const plist::Node published = dictionary["Published"];
        if (const std::optional<QDateTime> date = published.date())
            return date->toUTC().toString(Qt::ISODate);
        return published.string().value_or(QString());
    };
    if (root.isDictionary())
        return dateIn(root);
    QString first;
    root.forEachElement([&](const plist::Node& entry) {
        if (first.isEmpty() && entry.isDictionary())
            first = dateIn(entry);
    });
    return first;
}

ReferenceFetch stepFetch(const StepServices& step, std::function<void(const QString& failureLine)> failed,
                         std::function<void(const ListRecord&)> recorded) {
    ReferenceFetch fetch{step.services.http, &step.background.owner(), {}, {}, {}};
    fetch.reportFailure = [failed = std::move(failed)](const QString& failure) {
        if (failed)
            failed(failure + QLatin1Char('\n'));
    };
    const Background& background = step.background;
    fetch.beginWork = [&background] { background.beginWork(); };
    fetch.endWork = [&background] { background.endWork(); };
    fetch.recorded = std::move(recorded);
    return fetch;
}

std::optional<plist::Document> parseReferenceList(const QByteArray& body, const AlertFunction& showErrorAlert,
                                                  ListShape shape) {
    plist::ParseResult parsed = plist::parse(body);
    bool usable = parsed.document.has_value();
    if (usable && shape == ListShape::Array)
        usable = parsed.document->root().isArray();
    if (usable && shape == ListShape::Dictionary)
        usable = parsed.document->root().isDictionary();
    if (!usable) {
        showErrorAlert(kBadListAlert);
        return std::nullopt;
    }
    return std::move(parsed.document);
}

bool checkHasEntries(const plist::Node& array, const AlertFunction& showErrorAlert) {
    if (array.size() < 1) {
        showErrorAlert(kNoEntriesAlert);
        return false;
    }
    return true;
}

QString referenceString(const plist::Node& dictionary, const char* key) {
    return dictionary[key].string().value_or(QString());
}

QString firstReferenceString(const plist::Node& dictionary, const QStringList& keys) {
    for (const QString& key : keys) {
        const QString value = referenceString(dictionary, key.toUtf8().constData());
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

} // namespace lq
