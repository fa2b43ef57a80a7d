#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Plain POSIX TCP on 127.0.0.1 only, for the tests to play the adapter.
namespace veq::testing {

// Bound for waits that only a broken transport reaches.
inline constexpr std::chrono::seconds safetyTimeout{20};

inline sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

inline std::uint16_t boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// An owned file descriptor.
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&& other) noexcept {
        reset();
        fd_ = std::exchange(other.fd_, -1);
        return *this;
    }
    ~Socket() { reset(); }
    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    void sendAll(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) throw std::runtime_error("test server: send failed");
            done += static_cast<std::size_t>(n);
        }
    }

    // Reads until `count` bytes came, the peer closed, or the safety bound passed.
    std::string receive(std::size_t count) const {
        std::string out;
        const auto deadline = std::chrono::steady_clock::now() + safetyTimeout;
        while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            out.append(buffer, static_cast<std::size_t>(n));
        }
        return out;
    }

    // Closes with a reset instead of an orderly end.
    void abortConnection() {
        linger option{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        reset();
    }

private:
    int fd_ = -1;
};

// A listening socket on 127.0.0.1 with a port of the system's choice.
class LoopbackServer {
public:
    explicit LoopbackServer(int backlog = 8) : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
        const sockaddr_in address = loopback(0);
        if (::bind(listener_.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_.fd(), backlog) != 0) {
            throw std::runtime_error("test server: cannot listen on 127.0.0.1");
        }
        port_ = boundPort(listener_.fd());
    }

    std::uint16_t port() const { return port_; }

    Socket accept() const {
        pollfd p{listener_.fd(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(safetyTimeout).count())) <= 0) return Socket();
        Socket s(::accept(listener_.fd(), nullptr, nullptr));
        const int one = 1;
        ::setsockopt(s.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return s;
    }

private:
    Socket listener_;
    std::uint16_t port_ = 0;
};

// A port of 127.0.0.1 where nothing listens: connections to it are refused at once.
inline std::uint16_t refusingPort() {
    Socket s(::socket(AF_INET, SOCK_STREAM, 0));
    const sockaddr_in address = loopback(0);
    ::bind(s.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return boundPort(s.fd());
}

// A listener whose accept queue is full and never drained: the kernel drops further connection
// requests unanswered, as an absent host would on a real network.
class SilentServer {
public:
    SilentServer() : server_(0) {
        for (int i = 0; i < 8; ++i) {
            Socket client(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            const sockaddr_in address = loopback(server_.port());
            const int r = ::connect(client.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
            const bool pending = r != 0 && errno == EINPROGRESS && !becomesWritable(client.fd());
            fillers_.push_back(std::move(client));
            if (pending) {
                unanswered_ = true;
                break;
            }
        }
    }

    std::uint16_t port() const { return server_.port(); }
    // False if this kernel answered every request: the time-out tests cannot run then.
    bool leavesRequestsUnanswered() const { return unanswered_; }

private:
    static bool becomesWritable(int fd) {
        pollfd p{fd, POLLOUT, 0};
        return ::poll(&p, 1, 200) > 0;
    }

    LoopbackServer server_;
    std::vector<Socket> fillers_;
    bool unanswered_ = false;
};

} // namespace veq::testing
