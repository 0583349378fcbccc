// HTTP(S) GETs through Qt Network.
#include "platform/QtHttpGetter.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>

#include <memory>

namespace lq {

QString mediaTypeOf(const QString& contentType) {
    return contentType.section(QLatin1Char(';'), 0, 0).trimmed();
}

QtHttpGetter::QtHttpGetter(QList<QSslCertificate> extraCaCertificates, qint64 maxBodyBytes,
                           std::chrono::milliseconds transferTimeout)
    : manager_(new QNetworkAccessManager), extraCa_(std::move(extraCaCertificates)),
      maxBodyBytes_(maxBodyBytes) {
    manager_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    // Qt waits for ever unless told otherwise; the fetch's caller counts on an answer.
    manager_->setTransferTimeout(static_cast<int>(transferTimeout.count()));
}

QtHttpGetter::~QtHttpGetter() {
    delete manager_;
}

void QtHttpGetter::get(const QString& url, std::function<void(const HttpResponse&)> done) {
    QNetworkRequest request{QUrl(url)};
    if (!extraCa_.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(extraCa_);
        request.setSslConfiguration(tls);
    }
    QNetworkReply* reply = manager_->get(request);
    auto tooLarge = std::make_shared<bool>(false);
    const qint64 cap = maxBodyBytes_;
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, tooLarge, cap](qint64 received, qint64) {
                         if (received > cap && !*tooLarge) {
                             *tooLarge = true;
                             reply->abort();
                         }
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, tooLarge, done = std::move(done)] {
        HttpResponse response;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError error = reply->error();
        // Errors below 200 are the network's and the proxy's (refused, reset, TLS, time-out, a body cut
        // off); from 200 on the server answered and its status says the rest. A content error that
        // comes with a success status is a body that could not be read whole (a compressed body cut off,
        // or one that inflates beyond Qt's safety limit): that is no list, never an empty one.
        const int code = status.toInt();
        const bool networkFailure =
            error != QNetworkReply::NoError &&
            (error < QNetworkReply::ContentAccessDenied || !status.isValid() || (code >= 200 && code <= 299));
        if (*tooLarge) {
            response.transportError = true;
            response.errorText = QStringLiteral("The reference list is larger than the application accepts.");
        } else if (networkFailure) {
            response.transportError = true;
            response.errorText = reply->errorString();
        } else {
            response.isHttp = status.isValid();
            response.status = code;
            response.mediaType = mediaTypeOf(reply->header(QNetworkRequest::ContentTypeHeader).toString());
            response.body = reply->readAll();
            // Qt sometimes finishes a reply whose connection closed early without an error. The length
            // the server announced tells (Qt drops the header when it inflates a compressed body).
            const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
            if (announced.isValid() && announced.toLongLong() != response.body.size()) {
                response = HttpResponse();
                response.transportError = true;
                response.errorText =
                    QStringLiteral("The connection was closed before the whole answer arrived.");
            }
        }
        reply->deleteLater();
        done(response);
    });
}

} // namespace lq
