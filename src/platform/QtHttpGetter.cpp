// HTTP(S) GETs through Qt Network.
#include "platform/QtHttpGetter.h"

#include "platform/ThreadPriority.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>

#include <memory>

namespace lq {

QString mediaTypeOf(const QString& contentType) {
    return contentType.section(QLatin1Char(';'), 0, 0).trimmed();
}

QtHttpGetter::QtHttpGetter(QList<QSslCertificate> extraCaCertificates, qint64 maxBodyBytes,
                           std::chrono::milliseconds transferTimeout, std::chrono::milliseconds deadline)
    : worker_(new QObject), home_(new QObject), extraCa_(std::move(extraCaCertificates)),
      maxBodyBytes_(maxBodyBytes), deadline_(deadline) {
    thread_.setObjectName(QStringLiteral("HTTP"));
    worker_->moveToThread(&thread_);
    thread_.start();
    QMetaObject::invokeMethod(
        worker_,
        [this, timeout = static_cast<int>(transferTimeout.count())] {
            lowerThisThreadsPriority();
            manager_ = new QNetworkAccessManager;
            manager_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
            // Qt waits for ever unless told otherwise; the fetch's caller counts on an answer.
            manager_->setTransferTimeout(timeout);
        },
        Qt::BlockingQueuedConnection);
}

QtHttpGetter::~QtHttpGetter() {
    // The manager and its replies go on their own thread; answers still on their way to this one are
    // dropped with `home_`.
    QMetaObject::invokeMethod(
        worker_,
        [this] {
            delete manager_;
            manager_ = nullptr;
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete worker_;
    delete home_;
}

void QtHttpGetter::get(const QString& url, std::function<void(const HttpResponse&)> done) {
    QPointer<QObject> home(home_);
    QMetaObject::invokeMethod(worker_, [this, url, home, done = std::move(done)]() mutable {
        start(url, [home, done = std::move(done)](const HttpResponse& response) {
            if (home)
                QMetaObject::invokeMethod(
                    home, [done, response] { done(response); }, Qt::QueuedConnection);
        });
    });
}

void QtHttpGetter::start(const QString& url, std::function<void(const HttpResponse&)> done) {
    QNetworkRequest request{QUrl(url)};
    if (!extraCa_.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(extraCa_);
        request.setSslConfiguration(tls);
    }
    QNetworkReply* reply = manager_->get(request);
    // Why the fetch was cut short by this side, if it was.
    struct Ended {
        bool tooLarge = false;
        bool pastDeadline = false;
    };
    auto ended = std::make_shared<Ended>();
    const qint64 cap = maxBodyBytes_;
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, ended, cap](qint64 received, qint64) {
                         if (received > cap && !ended->tooLarge) {
                             ended->tooLarge = true;
                             reply->abort();
                         }
                     });
    // The timer belongs to the reply, so it goes with it; should it fire once the reply has finished,
    // aborting that reply does nothing.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply, ended] {
        ended->pastDeadline = true;
        reply->abort();
    });
    deadline->start(deadline_);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, ended, done = std::move(done)] {
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
        if (ended->tooLarge) {
            response.transportError = true;
            response.errorText = QStringLiteral("The reference list is larger than the application accepts.");
        } else if (ended->pastDeadline) {
            response.transportError = true;
            response.errorText =
                QStringLiteral("The reference list took longer to arrive than the application waits.");
        } else if (networkFailure) {
            response.transportError = true;
            response.errorText = reply->errorString();
        } else if (status.isValid() && reply->rawHeaderList().isEmpty()) {
            // Qt drops every header field of an answer with too many fields or one too long, and then
            // hands on the rest as if nothing were wrong; no server answers without any field at all.
            response.transportError = true;
            response.errorText =
                QStringLiteral("The server’s answer had header fields the client could not read.");
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
