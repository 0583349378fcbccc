// A real HTTP(S) server on loopback for the fetch tests: each path answers with whatever status, media
// type and body a test gives it, and a throwaway certificate authority makes HTTPS testable.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

namespace lq::test {

// What the server answers for one path.
struct Answer {
    Answer() = default;
    Answer(int status_, QByteArray contentType_, QByteArray body_)
        : status(status_), contentType(std::move(contentType_)), body(std::move(body_)) {}
    // Announces the whole body but closes the connection after `bytes` of it.
    Answer& cutOffAfter(qsizetype bytes) {
        cutAfter = bytes;
        return *this;
    }
    // A Location header (with a 3xx status).
    Answer& redirectTo(QByteArray url) {
        location = std::move(url);
        return *this;
    }
    // Keeps the client waiting this long before anything is sent.
    Answer& stallFor(std::chrono::milliseconds time) {
        stall = time;
        return *this;
    }
    // Sends the body one byte at a time, this long apart.
    Answer& dripEvery(std::chrono::milliseconds interval) {
        drip = interval;
        return *this;
    }
    // One more header field in the response.
    Answer& withHeader(QByteArray name, QByteArray value) {
        headers.emplace_back(std::move(name), std::move(value));
        return *this;
    }

    int status = 200;
    QByteArray contentType = "text/xml"; // empty: the response has no Content-Type header
    QByteArray body;
    std::optional<qsizetype> cutAfter;
    QByteArray location;
    std::chrono::milliseconds stall{0};
    std::chrono::milliseconds drip{0};
    std::vector<std::pair<QByteArray, QByteArray>> headers;
};

// A certificate authority made for one test, and a server certificate it signed for 127.0.0.1 and
// localhost; the keys live in a temporary folder that goes with the object.
class TestCertificates {
public:
    TestCertificates();
    // Empty when everything was made; otherwise what went wrong.
    const QString& error() const { return error_; }
    QString caPath() const { return dir_.filePath(QStringLiteral("ca.pem")); }
    QString certificatePath() const { return dir_.filePath(QStringLiteral("server.pem")); }
    QString keyPath() const { return dir_.filePath(QStringLiteral("server.key")); }
    QList<QSslCertificate> authority() const;

private:
    bool openssl(const QStringList& arguments);
    QTemporaryDir dir_;
    QString error_;
};

class TestServer {
public:
    // Plain HTTP.
    TestServer();
    // HTTPS with the server certificate of `certificates`.
    explicit TestServer(const TestCertificates& certificates);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // False when the server could not be started.
    bool listening() const { return port_ > 0; }
    int port() const { return port_; }
    // "http://127.0.0.1:<port>/" (or https), ending in a slash like the reference base address.
    QString baseUrl() const;

    // What GET `path` (from the root, "/sysupdates.plist") answers; other paths give 404.
    void answer(const QString& path, Answer answer);
    // The paths requested so far, in order.
    QStringList requested() const;

private:
    void start();
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    bool tls_ = false;
    mutable std::mutex mutex_;
    std::map<std::string, Answer> answers_;
    QStringList requested_;
};

// A loopback port that nothing listens on, so a connection to it is refused.
int unusedPort();

} // namespace lq::test
