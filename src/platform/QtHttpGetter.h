// HTTP(S) GETs through Qt Network: certificate verification on, no redirect from HTTPS to HTTP, a cap
// on the body so a hostile server cannot fill memory, and a stall time-out and an overall deadline so a
// stalled or trickling server cannot hold a check run open for ever.
#pragma once

#include "platform/HttpGetter.h"

#include <QList>
#include <QSslCertificate>
#include <QThread>

#include <chrono>

class QNetworkAccessManager;

namespace lq {

inline constexpr qint64 kMaxReferenceListBytes = 16LL * 1024 * 1024;
// A transfer that moves no data for this long fails, as the usual system HTTP clients do by default.
inline constexpr std::chrono::milliseconds kTransferTimeout{60000};
// A fetch that has not ended this long after it started fails, however steadily data arrives: a server
// that sends a byte now and then restarts the stall time-out each time.
inline constexpr std::chrono::milliseconds kFetchDeadline{120000};

// The network work (the client's first-use set-up, TLS, reading and inflating bodies) runs on a
// thread of its own, so that none of it holds up the window; each answer is handed back on the thread
// that made the getter.
class QtHttpGetter : public HttpGetter {
public:
    // `extraCaCertificates` are trusted besides the system's (a test CA).
    explicit QtHttpGetter(QList<QSslCertificate> extraCaCertificates = {},
                          qint64 maxBodyBytes = kMaxReferenceListBytes,
                          std::chrono::milliseconds transferTimeout = kTransferTimeout,
                          std::chrono::milliseconds deadline = kFetchDeadline);
    ~QtHttpGetter() override;
    void get(const QString& url, std::function<void(const HttpResponse&)> done) override;

private:
    void start(const QString& url, std::function<void(const HttpResponse&)> done);

    QThread thread_;
    QObject* worker_; // lives on thread_: the network manager's context
    QObject* home_;   // lives on the making thread: where answers are handed back
    QNetworkAccessManager* manager_ = nullptr;
    QList<QSslCertificate> extraCa_;
    qint64 maxBodyBytes_;
    std::chrono::milliseconds deadline_;
};

// "text/xml; charset=utf-8" → "text/xml".
QString mediaTypeOf(const QString& contentType);

} // namespace lq
