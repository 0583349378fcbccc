// HTTP(S) GETs through Qt Network: certificate verification on, no redirect from HTTPS to HTTP, and a
// cap on the body so a hostile server cannot fill memory.
#pragma once

#include "platform/HttpGetter.h"

#include <QList>
#include <QSslCertificate>

class QNetworkAccessManager;

namespace lq {

inline constexpr qint64 kMaxReferenceListBytes = 16LL * 1024 * 1024;

class QtHttpGetter : public HttpGetter {
public:
    // `extraCaCertificates` are trusted besides the system's (a test CA).
    explicit QtHttpGetter(QList<QSslCertificate> extraCaCertificates = {},
                          qint64 maxBodyBytes = kMaxReferenceListBytes);
    ~QtHttpGetter() override;
    void get(const QString& url, std::function<void(const HttpResponse&)> done) override;

private:
    QNetworkAccessManager* manager_;
    QList<QSslCertificate> extraCa_;
    qint64 maxBodyBytes_;
};

// "text/xml; charset=utf-8" → "text/xml".
QString mediaTypeOf(const QString& contentType);

} // namespace lq
