#pragma once
// Helpers shared by the GUI tests: a results server on 127.0.0.1, and the main() of a Qt Test
// executable that may create web views.

#include <httplib.h>

#include <QApplication>
#include <QTest>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// An HTTP server on a free port of 127.0.0.1, serving every GET with the handler; stopped and
// joined when it goes out of scope, whatever the test did.
class LocalServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit LocalServer(Handler handler) {
        server_.Get(".*", [handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
            handler(request, response);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LocalServer() {
        server_.stop();
        thread_.join();
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // host:port, as an engine profile's searchHost.
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// Holds server handlers until opened; opens itself when it goes out of scope so that no handler
// keeps the server from stopping.
class Gate {
public:
    ~Gate() { open(); }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    // Waits until the gate opens, at most the given time.
    void pass(std::chrono::seconds limit = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, limit, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// The web engine wants contexts shared before the application exists.
#define GUI_TEST_MAIN(TestClass)                                                                                       \
    int main(int argc, char* argv[]) {                                                                                 \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                                    \
        QApplication app(argc, argv);                                                                                  \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
