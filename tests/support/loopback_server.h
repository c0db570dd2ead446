// The tests' own servers on 127.0.0.1, on a port the system picks: a bare
// listening socket, and a keep-alive HTTP/1.1 server that hands each request
// to the test on the connection's own thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackListener
{
public:
    explicit LoopbackListener(int backlog = 16);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Fd() const { return m_fd; }
    int Port() const { return m_port; } // 0 when it could not listen
    std::string Host() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Ends a blocking accept().
    void Shutdown();

private:
    int m_fd = -1;
    int m_port = 0;
};

class LoopbackHttpServer
{
public:
    // One request: its socket and the path of its request line (the body,
    // if any, is not read). False closes the connection.
    using Handler = std::function<bool(int fd, const std::string& path)>;

    explicit LoopbackHttpServer(Handler handler);
    // Closes the listener and every connection, then waits for the handlers.
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::string Url(const std::string& path) const { return "http://" + m_listener.Host() + path; }

    // Sends a whole answer with Content-Length; false when the peer is gone.
    static bool SendAnswer(int fd, int status, const std::string& type, const std::string& body);

private:
    void Accept();
    void Serve(int fd);

    Handler m_handler;
    LoopbackListener m_listener{64};
    std::mutex m_lock;
    std::vector<int> m_connections;
    std::vector<std::thread> m_handlers;
    std::thread m_acceptor;
};
