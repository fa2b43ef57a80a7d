#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Plain POSIX TCP on 127.0.0.1 only, for the tests to play the adapter.
namespace veq::testing {

// Bound for waits that only a broken transport reaches.
inline constexpr std::chrono::seconds safetyTimeout{20};

inline sockaddr_in loopback(std::uint16_t port) {
    return {.sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
}

class Socket {
public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&& other) noexcept { reset(); fd_ = std::exchange(other.fd_, -1); return *this; }
    ~Socket() { reset(); }
    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset() { if (fd_ >= 0) ::close(std::exchange(fd_, -1)); }
    // Closes with a reset instead of an orderly end.
    void abortConnection() {
        const linger option{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        reset();
    }
    void sendAll(const std::string& bytes) const {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) throw std::runtime_error("test server: send failed");
            done += static_cast<std::size_t>(n);
        }
    }
    // Reads until `count` bytes came, the peer closed, or the safety bound passed.
    std::string receive(std::size_t count) const {
        const timeval bound{safetyTimeout.count(), 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
        std::string out(count, '\0');
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = ::recv(fd_, out.data() + done, count - done, 0);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        out.resize(done);
        return out;
    }

private:
    int fd_;
};

// A listening socket on 127.0.0.1, on a port of the system's choice.
class LoopbackServer {
public:
    explicit LoopbackServer(int backlog = 8) {
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        if (::bind(listener_.fd(), reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_.fd(), backlog) != 0 ||
            ::getsockname(listener_.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("test server: cannot listen on 127.0.0.1");
        port_ = ntohs(address.sin_port);
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
    Socket listener_{::socket(AF_INET, SOCK_STREAM, 0)};
    std::uint16_t port_ = 0;
};

// A port of 127.0.0.1 where nothing listens: connections to it are refused at once.
inline std::uint16_t refusingPort() { return LoopbackServer().port(); }

// A listener whose accept queue is full and never drained: the kernel leaves further connection
// requests unanswered, as an absent host would.
class SilentServer {
public:
    SilentServer() {
        const sockaddr_in address = loopback(server_.port());
        for (int i = 0; i < 16 && !unanswered_; ++i) {
            fillers_.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
            const bool connectedNow = ::connect(fillers_.back().fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
            pollfd p{fillers_.back().fd(), POLLOUT, 0};
            unanswered_ = !connectedNow && errno == EINPROGRESS && ::poll(&p, 1, 200) == 0;
        }
    }
    std::uint16_t port() const { return server_.port(); }
    // False if this kernel answered every request: the time-out tests cannot run then.
    bool leavesRequestsUnanswered() const { return unanswered_; }

private:
    LoopbackServer server_{0};
    std::vector<Socket> fillers_;
    bool unanswered_ = false;
};

} // namespace veq::testing
