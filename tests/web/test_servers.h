#pragma once
// Local servers for the web tests: a raw TCP server that records the exact bytes of every request
// (header order and request line included, which cpp-httplib does not keep) and answers with
// scripted bytes, and a cpp-httplib server run on its own thread. Both bind 127.0.0.1 on a free
// port and stop and join in their destructors, so a failing test never leaves a thread behind.

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace webtest {

struct RawResponse {
    std::string bytes;     // written as they stand
    bool holdOpen = false; // keep the connection open afterwards (a stalled server) until the client leaves
};

class RawServer {
public:
    using Handler = std::function<RawResponse(const std::string& request)>;

    explicit RawServer(Handler handler) : handler_(std::move(handler)) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listenFd_, 16) != 0) {
            return;
        }
        socklen_t length = sizeof address;
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~RawServer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        ::close(listenFd_);
    }
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int port() const { return port_; }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    bool waitReadable(int fd) {
        pollfd p{fd, POLLIN, 0};
        while (!stop_) {
            if (::poll(&p, 1, 20) > 0) {
                return true;
            }
        }
        return false;
    }

    static bool complete(const std::string& data) {
        if (!data.empty() && !(data[0] >= 'A' && data[0] <= 'Z')) {
            return true; // not HTTP (a TLS handshake): the first bytes are all we keep
        }
        const auto end = data.find("\r\n\r\n");
        if (end == std::string::npos) {
            return false;
        }
        std::size_t length = 0;
        std::string head = data.substr(0, end);
        for (char& c : head) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        const auto field = head.find("\r\ncontent-length:");
        if (field != std::string::npos) {
            length = std::stoul(head.substr(field + 17));
        }
        return data.size() >= end + 4 + length;
    }

    void serve(int fd) {
        std::string request;
        char buffer[4096];
        while (!complete(request) && waitReadable(fd)) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        if (stop_) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        const RawResponse response = handler_(request);
        std::size_t sent = 0;
        while (sent < response.bytes.size()) {
            const ssize_t n = ::send(fd, response.bytes.data() + sent, response.bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(n);
        }
        if (response.holdOpen) {
            while (waitReadable(fd) && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
            }
        }
    }

    void run() {
        while (waitReadable(listenFd_)) {
            const int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) {
                continue;
            }
            serve(fd);
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
        }
    }

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

// A plain response with the given status line, extra header lines (each ending in CR LF) and body.
inline std::string rawResponse(const std::string& statusLine, const std::string& headerLines, const std::string& body) {
    return statusLine + "\r\n" + headerLines + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// The request line and header lines of a recorded request, without the blank line and body.
inline std::vector<std::string> requestLines(const std::string& request) {
    std::vector<std::string> lines;
    const std::string head = request.substr(0, request.find("\r\n\r\n"));
    std::size_t from = 0;
    while (from <= head.size()) {
        const std::size_t end = head.find("\r\n", from);
        lines.push_back(head.substr(from, end == std::string::npos ? std::string::npos : end - from));
        if (end == std::string::npos) {
            break;
        }
        from = end + 2;
    }
    return lines;
}

inline std::string requestBody(const std::string& request) {
    const auto end = request.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : request.substr(end + 4);
}

class HttpServer {
public:
    HttpServer() = default;
    ~HttpServer() { stop(); }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    httplib::Server& server() { return server_; }

    // Binds a free port on 127.0.0.1 and serves on a thread; false when the server did not come up.
    bool start() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            return false;
        }
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        for (int i = 0; i < 500 && !server_.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return server_.is_running();
    }
    void stop() {
        server_.stop();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    int port() const { return port_; }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
inline int refusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace webtest
