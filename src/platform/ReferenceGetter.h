// Where a reference list may come from, and the one getter every list goes through: an https address
// from the network, an http address only from this machine, and a file:// address from a folder, read
// with the same cap as a network body and answered as a server would (200, or 404 for a missing file).
// Anything else fails before anything is sent.
#pragma once

#include "platform/HttpGetter.h"
#include "platform/QtHttpGetter.h"

#include <QObject>
#include <QThreadPool>

namespace lq {

// localhost, 127.0.0.0/8 and ::1: a plain-http server there is on this machine, not on a network.
bool isLoopbackHost(const QString& host);

// Why `url` may not be fetched, or an empty string when it may.
QString unfetchableReason(const QString& url);

class ReferenceGetter : public HttpGetter {
public:
    explicit ReferenceGetter(HttpGetter& network, qint64 maxBodyBytes = kMaxReferenceListBytes);
    ~ReferenceGetter() override;
    ReferenceGetter(const ReferenceGetter&) = delete;
    ReferenceGetter& operator=(const ReferenceGetter&) = delete;

    void get(const QString& url, std::function<void(const HttpResponse&)> done) override;

    // The answer for a local file, as a server would give it: 200 with the bytes, 404 when there is
    // no such file, a transport error when it cannot be read (not a regular file, too large, no right).
    // An HTML page saved under a list's name is labelled as one, so it is screened out like a server's
    // error page; anything else is labelled an XML list and left to the property-list reader.
    static HttpResponse readLocalList(const QString& path, qint64 maxBodyBytes);

private:
    HttpGetter& network_;
    qint64 maxBodyBytes_;
    QThreadPool files_; // local reads, off the window's thread
    QObject* home_;     // where answers are handed back; dropped answers go with it
};

} // namespace lq
