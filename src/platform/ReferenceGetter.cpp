// The getter of reference lists: the scheme decides where a list comes from.
#include "platform/ReferenceGetter.h"

#include "platform/RegularFile.h"
#include "platform/ThreadPriority.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QPointer>
#include <QUrl>

namespace lq {

bool isLoopbackHost(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QString unfetchableReason(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.isRelative())
        return QStringLiteral("not an absolute address");
    if (scheme == QLatin1String("https"))
        return QString();
    if (scheme == QLatin1String("http"))
        return isLoopbackHost(parsed.host())
                   ? QString()
                   : QStringLiteral("a plain http address is fetched only from this machine; use https");
    if (scheme == QLatin1String("file"))
        return QString();
    return QStringLiteral("only https, http on this machine and file addresses are fetched");
}

ReferenceGetter::ReferenceGetter(HttpGetter& network, qint64 maxBodyBytes)
    : network_(network), maxBodyBytes_(maxBodyBytes), home_(new QObject) {
    files_.setMaxThreadCount(2);
}

ReferenceGetter::~ReferenceGetter() {
    files_.waitForDone();
    delete home_;
}

HttpResponse ReferenceGetter::readLocalList(const QString& path, qint64 maxBodyBytes) {
    HttpResponse response;
    const QFileInfo info(path);
    if (!info.exists()) {
        response.isHttp = true;
        response.status = 404;
        return response;
    }
    const FileRead read = readRegularFile(path, info.fileName(), maxBodyBytes);
    if (!read.bytes) {
        response.transportError = true;
        response.errorText = read.error;
        return response;
    }
    response.isHttp = true;
    response.status = 200;
    response.body = *read.bytes;
    const QByteArray start = response.body.left(64).trimmed().toLower();
    response.mediaType = start.startsWith("<!doctype html") || start.startsWith("<html")
                             ? QStringLiteral("text/html")
                             : QStringLiteral("text/xml");
    return response;
}

void ReferenceGetter::get(const QString& url, std::function<void(const HttpResponse&)> done) {
    const QString refused = unfetchableReason(url);
    QPointer<QObject> home(home_);
    if (!refused.isEmpty()) {
        // Answered on a later turn, as every fetch is: the caller's bookkeeping may not expect it sooner.
        HttpResponse response;
        response.transportError = true;
        response.errorText = refused;
        QMetaObject::invokeMethod(
            home_, [done = std::move(done), response] { done(response); }, Qt::QueuedConnection);
        return;
    }
    const QUrl parsed(url);
    if (parsed.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0) {
        network_.get(url, std::move(done));
        return;
    }
    const QString path = parsed.toLocalFile();
    const qint64 cap = maxBodyBytes_;
    files_.start([home, path, cap, done = std::move(done)] {
        lowerThisThreadsPriority();
        const HttpResponse response = readLocalList(path, cap);
        if (home)
            QMetaObject::invokeMethod(
                home, [done, response] { done(response); }, Qt::QueuedConnection);
    });
}

} // namespace lq
