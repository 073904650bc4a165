#include "sh2run/gdb/gdb_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sh2gdb {
namespace {

class Socket {
public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    ~Socket() { Close(); }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return fd_; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

bool SendAll(int fd, const std::string &bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// The listening socket on 127.0.0.1:port, announced on `announce`.
bool Listen(Socket &listener, uint16_t port, FILE *announce, std::string &error) {
    if (listener.fd() < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    setsockopt(listener.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener.fd(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener.fd(), 1) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(listener.fd(), reinterpret_cast<sockaddr *>(&address), &length);
    std::fprintf(announce, "sh2run: listening on 127.0.0.1:%u for gdb\n",
                 static_cast<unsigned>(ntohs(address.sin_port)));
    std::fflush(announce);
    return true;
}

// The bytes of one client while its target runs or waits for commands.
class ClientConnection {
public:
    explicit ClientConnection(int fd) : fd_(fd) {}

    // Reads everything that has arrived, without waiting: a 0x03 interrupts
    // the run, anything else waits until the run has stopped. The socket is
    // drained to its end, so that a 0x03 behind many queued bytes is seen at
    // once.
    bool Interrupted() {
        if (gone_) return true;
        for (;;) {
            char buffer[65536];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                gone_ = true;
                return true;
            }
            if (n < 0) return false;
            const std::string_view bytes(buffer, static_cast<size_t>(n));
            const size_t interrupt = bytes.find('\x03');
            if (interrupt != std::string_view::npos) {
                pending_.append(bytes.substr(0, interrupt));
                pending_.append(bytes.substr(interrupt + 1));
                return true;
            }
            pending_.append(bytes);
            if (static_cast<size_t>(n) < sizeof buffer) return false;
        }
    }

    // The next bytes for the server: what arrived during a run, or what the
    // client sends next (waiting for it).
    std::string Next() {
        std::string input;
        input.swap(pending_);
        while (input.empty() && !gone_) {
            char buffer[4096];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                gone_ = true;
            } else {
                input.assign(buffer, static_cast<size_t>(n));
            }
        }
        return input;
    }

    void Send(const std::string &output) {
        if (!output.empty() && !SendAll(fd_, output)) gone_ = true;
    }
    bool Gone() const { return gone_ && pending_.empty(); }

private:
    int fd_;
    std::string pending_;
    bool gone_ = false;
};

ClientEnd Serve(GdbServer &server, ClientConnection &client) {
    server.SetFlush([&] { client.Send(server.TakeOutput()); });
    struct FlushReset {
        GdbServer &server;
        ~FlushReset() { server.SetFlush(nullptr); }
    } flushReset{server};
    const GdbServer::InterruptCheck interrupted = [&] { return client.Interrupted(); };
    for (;;) {
        const std::string input = client.Next();
        if (!input.empty()) server.Receive(input, interrupted);
        client.Send(server.TakeOutput());
        if (server.state() == GdbServer::State::Detached) return ClientEnd::Detached;
        if (server.state() == GdbServer::State::Killed) return ClientEnd::Killed;
        if (client.Gone()) return ClientEnd::Disconnected;
    }
}

}  // namespace

bool ServeOverTcp(GdbServer &server, uint16_t port, FILE *announce, ClientEnd &end, std::string &error) {
    Socket listener(socket(AF_INET, SOCK_STREAM, 0));
    if (!Listen(listener, port, announce, error)) return false;
    int fd = -1;
    do {
        fd = accept(listener.fd(), nullptr, nullptr);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = std::string("accept: ") + std::strerror(errno);
        return false;
    }
    listener.Close();  // one client: the system refuses the next
    Socket client(fd);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ClientConnection connection(fd);
    end = Serve(server, connection);
    return true;
}

}  // namespace sh2gdb
