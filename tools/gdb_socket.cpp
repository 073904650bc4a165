#include "gdb_socket.h"

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
    ~Socket() {
        if (fd_ >= 0) close(fd_);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return fd_; }

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

}  // namespace

bool ServeOverTcp(GdbServer &server, uint16_t port, FILE *announce, ClientEnd &end, std::string &error) {
    Socket listener(socket(AF_INET, SOCK_STREAM, 0));
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
    std::fprintf(announce, "sh2run: listening on 127.0.0.1:%u for gdb\n", static_cast<unsigned>(ntohs(address.sin_port)));
    std::fflush(announce);

    int fd = -1;
    do {
        fd = accept(listener.fd(), nullptr, nullptr);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = std::string("accept: ") + std::strerror(errno);
        return false;
    }
    Socket client(fd);
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    // Bytes that arrive while the target runs: a 0x03 interrupts it, anything
    // else waits for the server until the run has stopped.
    std::string pending;
    bool gone = false;
    auto interrupted = [&]() {
        if (gone) return true;
        char buffer[512];
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            gone = true;
            return true;
        }
        if (n < 0) return false;
        const std::string_view bytes(buffer, static_cast<size_t>(n));
        const size_t interrupt = bytes.find('\x03');
        if (interrupt == std::string_view::npos) {
            pending.append(bytes);
            return false;
        }
        pending.append(bytes.substr(0, interrupt));
        pending.append(bytes.substr(interrupt + 1));
        return true;
    };

    server.SetFlush([&] {
        const std::string output = server.TakeOutput();
        if (!output.empty() && !SendAll(fd, output)) gone = true;
    });
    struct FlushReset {
        GdbServer &server;
        ~FlushReset() { server.SetFlush(nullptr); }
    } flushReset{server};

    for (;;) {
        std::string input;
        input.swap(pending);
        if (input.empty() && !gone) {
            char buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) gone = true;
            else input.assign(buffer, static_cast<size_t>(n));
        }
        if (!input.empty()) server.Receive(input, interrupted);
        const std::string output = server.TakeOutput();
        if (!output.empty() && !SendAll(fd, output)) gone = true;
        if (server.state() == GdbServer::State::Detached) {
            end = ClientEnd::Detached;
            return true;
        }
        if (server.state() == GdbServer::State::Killed) {
            end = ClientEnd::Killed;
            return true;
        }
        if (gone && pending.empty()) {
            end = ClientEnd::Disconnected;
            return true;
        }
    }
}

}  // namespace sh2gdb
