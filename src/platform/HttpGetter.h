// One HTTP(S) GET with the platform's client.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace lq {

struct HttpResponse {
    bool transportError = false; // no answer: refused, reset, TLS failure, time-out, too large
    QString errorText;           // the client's description of a transport error
    bool isHttp = false;         // an HTTP response arrived
    int status = 0;              // its status code
    QString mediaType;           // Content-Type without parameters ("text/xml"), empty when absent
    QByteArray body;
};

class HttpGetter {
public:
    virtual ~HttpGetter() = default;
    // Starts the GET and returns; `done` runs later on the calling (main) thread, exactly once.
    virtual void get(const QString& url, std::function<void(const HttpResponse&)> done) = 0;
};

} // namespace lq
