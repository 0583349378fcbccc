// lq-refserver: serves a folder of reference lists on this machine over HTTP or HTTPS, so the
// application can be run and demonstrated against lists the developer controls.
#include <httplib.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct Options {
    std::string root;
    std::string host = "127.0.0.1";
    int port = 0;
    std::string cert;
    std::string key;
    std::string portFile;
};

const char* const kUsage =
    "usage: lq-refserver --root DIR [--host 127.0.0.1] [--port N] [--cert CERT.pem --key KEY.pem]\n"
    "                    [--port-file FILE]\n"
    "\n"
    "Serves the files of DIR (.plist as text/xml). HTTPS when a certificate and key are given.\n"
    "--port 0 (the default) takes a free port. Once the server listens, the port is printed and,\n"
    "with --port-file, written to FILE. SIGINT or SIGTERM stop it.\n";

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<int> parsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int port = std::stoi(text);
    if (port > 65535)
        return std::nullopt;
    return port;
}

// Gives the options, or nothing after printing what is wrong.
std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (i + 1 >= argc) {
            std::cerr << "lq-refserver: " << name << " needs a value\n" << kUsage;
            return std::nullopt;
        }
        const std::string value = argv[++i];
        if (name == "--root") {
            options.root = value;
        } else if (name == "--host") {
            options.host = value;
        } else if (name == "--port") {
            const std::optional<int> port = parsePort(value);
            if (!port) {
                std::cerr << "lq-refserver: not a port: " << value << "\n";
                return std::nullopt;
            }
            options.port = *port;
        } else if (name == "--cert") {
            options.cert = value;
        } else if (name == "--key") {
            options.key = value;
        } else if (name == "--port-file") {
            options.portFile = value;
        } else {
            std::cerr << "lq-refserver: unknown option " << name << "\n" << kUsage;
            return std::nullopt;
        }
    }
    if (options.root.empty() || !isDirectory(options.root)) {
        std::cerr << "lq-refserver: --root must name a folder\n" << kUsage;
        return std::nullopt;
    }
    if (options.cert.empty() != options.key.empty()) {
        std::cerr << "lq-refserver: --cert and --key go together\n";
        return std::nullopt;
    }
    return options;
}

// Written beside the target and renamed into place, so a script waiting for the file never reads half
// a number.
bool writePortFile(const std::string& path, int port) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << port << "\n";
        if (!out.flush())
            return false;
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options)
        return 2;

    // The signals are taken by sigwait below; blocked before any thread starts, so that no server
    // thread is interrupted by them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const bool tls = !options->cert.empty();
    std::unique_ptr<httplib::Server> server;
    if (tls)
        server = std::make_unique<httplib::SSLServer>(options->cert.c_str(), options->key.c_str());
    else
        server = std::make_unique<httplib::Server>();
    if (!server->is_valid()) {
        std::cerr << "lq-refserver: cannot use the certificate " << options->cert << " and key "
                  << options->key << "\n";
        return 1;
    }

    // cpp-httplib's default also sets SO_REUSEPORT, which lets a second server share a port that is
    // already taken; a busy port must be an error instead.
    server->set_socket_options([](socket_t sock) {
        int on = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    });

    // Only the folder's files are served; cpp-httplib refuses paths that climb out of it.
    server->set_file_extension_and_mimetype_mapping("plist", "text/xml");
    if (!server->set_mount_point("/", options->root)) {
        std::cerr << "lq-refserver: cannot serve " << options->root << "\n";
        return 1;
    }
    server->set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::cerr << request.method << " " << request.path << " " << response.status << std::endl;
    });

    int port = options->port;
    if (port == 0) {
        port = server->bind_to_any_port(options->host);
        if (port < 0)
            port = 0;
    } else if (!server->bind_to_port(options->host, port)) {
        port = 0;
    }
    if (port == 0) {
        std::cerr << "lq-refserver: cannot listen on " << options->host << ":" << options->port << "\n";
        return 1;
    }
    if (!options->portFile.empty() && !writePortFile(options->portFile, port)) {
        std::cerr << "lq-refserver: cannot write " << options->portFile << "\n";
        return 1;
    }
    const std::string host =
        options->host.find(':') != std::string::npos ? "[" + options->host + "]" : options->host;
    std::cout << "lq-refserver: serving " << options->root << " on " << (tls ? "https" : "http") << "://"
              << host << ":" << port << "/" << std::endl;

    std::atomic<bool> listenFailed{false};
    std::thread listener([&server, &listenFailed] {
        // The listening loop ends only when stopped; should it fail on its own, wake the main thread.
        if (!server->listen_after_bind()) {
            listenFailed = true;
            ::kill(::getpid(), SIGTERM);
        }
    });
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server->stop();
    listener.join();
    if (listenFailed) {
        std::cerr << "lq-refserver: the server stopped listening\n";
        return 1;
    }
    std::cout << "lq-refserver: stopped" << std::endl;
    return 0;
}
