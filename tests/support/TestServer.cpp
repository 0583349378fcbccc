// The loopback test server and its throwaway certificates.
#include "support/TestServer.h"

#include <httplib.h>

#include <QFile>
#include <QProcess>
#include <QTcpServer>

namespace lq::test {

TestCertificates::TestCertificates() {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return;
    }
    QFile extensions(dir_.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly)) {
        error_ = QStringLiteral("cannot write the certificate extensions");
        return;
    }
    extensions.write("basicConstraints=critical,CA:FALSE\n"
                     "keyUsage=critical,digitalSignature,keyEncipherment\n"
                     "extendedKeyUsage=serverAuth\n"
                     "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
    extensions.close();
    // Elliptic-curve keys: made in milliseconds, so every test suite can have its own authority.
    const QStringList ecKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                               QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    const bool made =
        openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey +
                QStringList{QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                            QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                            QStringLiteral("-subj"), QStringLiteral("/CN=Lanternquill Test CA"),
                            QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                            QStringLiteral("-addext"),
                            QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")}) &&
        openssl(QStringList{QStringLiteral("req")} + ecKey +
                QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                            QStringLiteral("server.csr"), QStringLiteral("-subj"),
                            QStringLiteral("/CN=localhost")}) &&
        openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                 QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                 QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
                 QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                 QStringLiteral("server.ext"), QStringLiteral("-out"), QStringLiteral("server.pem")});
    if (made && authority().isEmpty())
        error_ = QStringLiteral("the test authority's certificate cannot be read");
}

bool TestCertificates::openssl(const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(dir_.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error_ = QStringLiteral("openssl %1 failed: %2")
                     .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

QList<QSslCertificate> TestCertificates::authority() const {
    return QSslCertificate::fromPath(caPath());
}

TestServer::TestServer() : server_(std::make_unique<httplib::Server>()) {
    start();
}

TestServer::TestServer(const TestCertificates& certificates)
    : server_(std::make_unique<httplib::SSLServer>(certificates.certificatePath().toLocal8Bit().constData(),
                                                   certificates.keyPath().toLocal8Bit().constData())),
      tls_(true) {
    start();
}

void TestServer::start() {
    if (!server_->is_valid())
        return;
    server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Answer answer;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            requested_.append(QString::fromStdString(request.path));
            const auto found = answers_.find(request.path);
            if (found == answers_.end()) {
                response.status = 404;
                response.set_content("no such list", "text/plain");
                return;
            }
            answer = found->second;
        }
        if (answer.stall.count() > 0)
            std::this_thread::sleep_for(answer.stall);
        response.status = answer.status;
        if (!answer.location.isEmpty())
            response.set_header("Location", answer.location.toStdString());
        for (const auto& [name, value] : answer.headers)
            response.set_header(name.toStdString(), value.toStdString());
        const std::string type = answer.contentType.toStdString();
        if (answer.drip.count() > 0) {
            const auto body = std::make_shared<std::string>(answer.body.toStdString());
            response.set_content_provider(
                body->size(), type,
                [body, interval = answer.drip](size_t offset, size_t, httplib::DataSink& sink) {
                    std::this_thread::sleep_for(interval);
                    // A client that has gone ends the drip.
                    return sink.is_writable() && sink.write(body->data() + offset, 1);
                });
            return;
        }
        if (!answer.cutAfter && !type.empty()) {
            response.set_content(answer.body.toStdString(), type);
            return;
        }
        // cpp-httplib labels a plain body without a type "text/plain"; a content provider sends the
        // (empty) type it is given, and can stop halfway.
        const auto body = std::make_shared<std::string>(answer.body.toStdString());
        const size_t cut = answer.cutAfter ? static_cast<size_t>(*answer.cutAfter) : body->size();
        response.set_content_provider(body->size(), type,
                                      [body, cut](size_t offset, size_t length, httplib::DataSink& sink) {
                                          if (offset >= cut)
                                              return false; // drops the connection with the body unfinished
                                          sink.write(body->data() + offset, std::min(length, cut - offset));
                                          return true;
                                      });
    });
    const int port = server_->bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return;
    port_ = port;
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

TestServer::~TestServer() {
    server_->stop();
    if (thread_.joinable())
        thread_.join();
}

QString TestServer::baseUrl() const {
    return QStringLiteral("%1://127.0.0.1:%2/")
        .arg(tls_ ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(port_);
}

void TestServer::answer(const QString& path, Answer answer) {
    const std::lock_guard<std::mutex> lock(mutex_);
    answers_[path.toStdString()] = std::move(answer);
}

QStringList TestServer::requested() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requested_;
}

int unusedPort() {
    // The system hands out a free port and it is closed again at once; that another program takes
    // it in the moment before the test connects is unlikely enough for a test.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const int port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace lq::test
