#include "VEQTransport/Platform/WiFiTransport.hpp"

#include "VEQTransport/LinkError.hpp"
#include "VEQTransport/OBDAdapterRegistry.hpp"
#include "VEQTransport/Platform/SocketErrorText.hpp"
#include "VEQTransport/TransportTrace.hpp"

#include <QTcpSocket>

#include <fmt/format.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace veq {

namespace {

std::string place(const WiFiTransport::Endpoint& endpoint) { return fmt::format("{}:{}", endpoint.host, endpoint.port); }

std::string seconds(std::chrono::milliseconds duration) { return fmt::format("{:g}", duration.count() / 1000.0); }

constexpr int kSendFlags = MSG_DONTWAIT
#if defined(MSG_NOSIGNAL)
                           | MSG_NOSIGNAL
#endif
    ;

// A full read of the socket is cut after this many chunks, so that a flooding adapter cannot keep
// one reader from ever coming back.
constexpr int kChunksPerRead = 16;

// Waits until one of `fds` is ready, the deadline passes (none: no limit), or a signal comes.
int waitFor(std::span<pollfd> fds, std::optional<std::chrono::steady_clock::time_point> deadline) {
    timespec limit{};
    if (deadline) {
        const auto left = std::max(*deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero());
        const auto whole = std::chrono::duration_cast<std::chrono::seconds>(left);
        limit.tv_sec = static_cast<time_t>(whole.count());
        limit.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - whole).count());
    }
    return ::ppoll(fds.data(), fds.size(), deadline ? &limit : nullptr, nullptr);
}

} // namespace

struct WiFiTransport::Descriptor {
    int fd;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    ~Descriptor() { ::close(fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

// One connection attempt on the Qt thread. Once connected, the socket is handed over as a
// descriptor of its own and Qt's socket is dropped: from then on Qt neither reads nor writes it.
// A socket's signals are taken only while it is the current one, so nothing of a dropped socket
// is ever mistaken for the attempt.
struct WiFiTransport::Link {
    WiFiTransport& owner;
    QTcpSocket* socket = nullptr;
    Endpoint endpoint;
    std::uint64_t connection = 0;
    std::uint64_t attempt = 0;

    explicit Link(WiFiTransport& transport) : owner(transport) {}

    void open(const Endpoint& target, std::uint64_t connectionNumber, std::uint64_t attemptNumber) {
        drop();
        socket = new QTcpSocket(owner.thread_.context());
        endpoint = target;
        connection = connectionNumber;
        attempt = attemptNumber;
        QTcpSocket* s = socket;
        QObject::connect(s, &QTcpSocket::connected, s, [this, s] {
            if (s == socket) connected();
        });
        QObject::connect(s, &QTcpSocket::errorOccurred, s, [this, s](QAbstractSocket::SocketError error) {
            if (s == socket) failed(error);
        });
        s->connectToHost(QString::fromStdString(endpoint.host), endpoint.port);
    }

    // Closes Qt's socket without any report: it stops being current before Qt is told.
    void drop() {
        if (!socket) return;
        QTcpSocket* closing = socket;
        socket = nullptr;
        closing->abort();
        closing->deleteLater(); // may be inside one of its signals
    }

    void dropAttempt(std::uint64_t attemptNumber) {
        if (attempt == attemptNumber) drop();
    }

    // The duplicate keeps the connection open when Qt closes its own descriptor.
    std::shared_ptr<Descriptor> takeOver(int& error) const {
        const int fd = ::fcntl(static_cast<int>(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        auto link = std::make_shared<Descriptor>(fd);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        const int on = 1;
        // Each command is one small write that waits for its reply: nothing to gain by holding it.
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
#if !defined(MSG_NOSIGNAL)
        ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
        return link;
    }

    void connected() {
        int error = 0;
        const std::shared_ptr<Descriptor> link = takeOver(error);
        {
            std::lock_guard lock(owner.mutex_);
            const bool givenUp = attempt != owner.currentAttempt_ || owner.attemptOutcome_ || connection != owner.connection_;
            if (!givenUp && !link) {
                owner.attemptOutcome_ = std::make_exception_ptr(LinkError(socketErrorText(error)));
            } else if (!givenUp) {
                owner.attemptOutcome_ = std::exception_ptr();
                owner.state_ = TransportState::connected();
                owner.descriptor_ = link;
                owner.lastCallerRead_ = {};
                // Written before anything received on the link can be traced.
                veqTrace([&] { return "WiFi: connecté à " + place(endpoint); });
            }
        }
        drop();
        owner.changed_.notify_all();
        owner.watcherWake_.notify_all();
    }

    void failed(QAbstractSocket::SocketError error) {
        {
            std::lock_guard lock(owner.mutex_);
            if (attempt == owner.currentAttempt_ && !owner.attemptOutcome_) {
                owner.attemptOutcome_ =
                    std::make_exception_ptr(LinkError(socketErrorText(error, socket->errorString().toStdString())));
            }
        }
        owner.changed_.notify_all();
        drop();
    }
};

const std::vector<WiFiTransport::Endpoint>& WiFiTransport::defaultEndpoints() {
    static const std::vector<Endpoint> endpoints = [] {
        std::vector<Endpoint> out;
        for (const auto& row : OBDAdapterRegistry::wifiEndpoints) out.push_back({std::string(row.host), row.port});
        return out;
    }();
    return endpoints;
}

WiFiTransport::WiFiTransport(std::vector<Endpoint> endpoints, Options options, std::size_t incomingCapacityBytes)
    : OBDTransport(incomingCapacityBytes),
      endpoints_(std::move(endpoints)),
      options_(options),
      link_(std::make_unique<Link>(*this)),
      watcher_([this](std::stop_token stop) { watch(stop); }) {}

WiFiTransport::~WiFiTransport() {
    {
        std::lock_guard lock(mutex_);
        ++connection_;
        letGoLocked();
    }
    changed_.notify_all();
    watcher_.request_stop();
    watcher_.join();
    thread_.post([link = link_.get()] { link->drop(); });
}

// --- Connecting ---

void WiFiTransport::connect(std::stop_token stop) {
    std::uint64_t connection = 0;
    {
        std::lock_guard lock(mutex_);
        connection = ++connection_;
        letGoLocked();
        state_ = TransportState::connecting();
    }
    std::exception_ptr lastError = std::make_exception_ptr(TransportError::deviceNotFound());
    for (const Endpoint& endpoint : endpoints_) {
        veqTrace([&] { return "WiFi: connexion à " + place(endpoint) + "…"; });
        const std::optional<std::exception_ptr> outcome = attempt(endpoint, connection, stop);
        if (!outcome) throw connectCancelled();
        if (!*outcome) return;
        lastError = *outcome;
        veqTrace([&] { return "WiFi: échec " + place(endpoint) + " — " + printedForm(lastError); });
    }
    {
        std::lock_guard lock(mutex_);
        if (connection != connection_) throw connectCancelled();
        state_ = TransportState::failed(printedForm(lastError));
    }
    std::rethrow_exception(lastError);
}

std::optional<std::exception_ptr> WiFiTransport::attempt(const Endpoint& endpoint, std::uint64_t connection, std::stop_token stop) {
    std::uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        if (connection != connection_) return std::nullopt;
        number = ++attemptCount_;
        currentAttempt_ = number;
        attemptOutcome_.reset();
    }
    thread_.post([link = link_.get(), endpoint, connection, number] { link->open(endpoint, connection, number); });

    std::unique_lock lock(mutex_);
    const auto deadline = Clock::now() + options_.attemptLimit;
    changed_.wait_until(lock, stop, deadline, [&] { return attemptOutcome_.has_value() || connection != connection_; });
    if (attemptOutcome_ && connection == connection_) return attemptOutcome_;

    // Given up: whatever the socket reports from now on is ignored, and it is closed.
    currentAttempt_ = 0;
    std::optional<std::exception_ptr> outcome;
    if (connection == connection_ && stop.stop_requested()) {
        ++connection_;
        state_ = TransportState::disconnected();
    } else if (connection == connection_) {
        outcome = std::make_exception_ptr(LinkError("Délai de connexion dépassé (" + seconds(options_.attemptLimit) + " s)"));
    }
    lock.unlock();
    thread_.post([link = link_.get(), number] { link->dropAttempt(number); });
    return outcome;
}

void WiFiTransport::disconnect() {
    {
        std::lock_guard lock(mutex_);
        ++connection_;
        state_ = TransportState::disconnected();
        letGoLocked();
    }
    changed_.notify_all();
    thread_.post([link = link_.get()] { link->drop(); });
}

TransportState WiFiTransport::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

// The socket closes when the last thread using it lets go (a reader or a sender woken here).
void WiFiTransport::letGoLocked() {
    if (!descriptor_) return;
    descriptor_.reset();
    readWake_.signal();
    sendWake_.signal();
}

void WiFiTransport::linkEnded(const Descriptor& link, const std::string& trace) {
    {
        std::lock_guard lock(mutex_);
        if (descriptor_.get() != &link) return; // let go of already: disconnected, or reported
        veqTrace([&] { return trace; });
        letGoLocked();
        if (state_.isConnected()) state_ = TransportState::disconnected();
    }
    changed_.notify_all();
}

// Bytes the system still holds cannot be taken back: the link is reset when the socket closes,
// dropping them, and nothing written later can follow them.
void WiFiTransport::abandon(const Descriptor& link) {
    {
        std::lock_guard lock(mutex_);
        if (descriptor_.get() != &link) return;
        const linger resetOnClose{1, 0};
        ::setsockopt(link.fd, SOL_SOCKET, SO_LINGER, &resetOnClose, sizeof resetOnClose);
        letGoLocked();
        if (state_.isConnected()) state_ = TransportState::disconnected();
    }
    changed_.notify_all();
}

// --- Receiving ---

void WiFiTransport::readOnce(const Descriptor& link, std::optional<Clock::time_point> deadline) {
    pollfd fds[] = {{link.fd, POLLIN, 0}, {readWake_.descriptor(), POLLIN, 0}};
    if (waitFor(fds, deadline) <= 0) return;
    if (fds[1].revents != 0) readWake_.clear();
    if (fds[0].revents == 0) return;
    for (int chunks = 0; chunks < kChunksPerRead; ++chunks) {
        IncomingStream::Chunk chunk(maximumChunkBytes);
        const ssize_t count = ::recv(link.fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (count > 0) {
            chunk.resize(static_cast<std::size_t>(count));
            veqTrace([&] { return "WiFi ← " + veqHexAscii(chunk); });
            incoming()->push(std::move(chunk));
            if (static_cast<std::size_t>(count) < maximumChunkBytes) break;
            continue;
        }
        const int error = count == 0 ? 0 : errno;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) break;
        // A reset after the adapter's last bytes is its way of closing, as an orderly end is.
        if (error == 0 || error == ECONNRESET) {
            linkEnded(link, "WiFi: flux terminé (connexion fermée par l'adaptateur)");
        } else {
            linkEnded(link, "WiFi: erreur de réception — " + socketErrorText(error));
        }
        return;
    }
}

bool WiFiTransport::pull(std::chrono::nanoseconds timeout, std::stop_token stop) {
    const auto deadline = Clock::now() + std::min<std::chrono::nanoseconds>(timeout, std::chrono::hours(1));
    std::shared_ptr<Descriptor> link;
    {
        std::unique_lock lock(mutex_);
        if (!descriptor_) return false;
        if (reader_ != Reader::none) {
            ++callersWaiting_;
            if (reader_ == Reader::watcher) readWake_.signal();
            changed_.wait_until(lock, stop, deadline, [&] { return reader_ == Reader::none || !descriptor_; });
            --callersWaiting_;
            if (reader_ != Reader::none || !descriptor_) return true;
        }
        reader_ = Reader::caller;
        link = descriptor_;
    }
    {
        std::stop_callback wake(stop, [this] { readWake_.signal(); });
        if (!stop.stop_requested()) readOnce(*link, deadline);
    }
    {
        std::lock_guard lock(mutex_);
        reader_ = Reader::none;
        lastCallerRead_ = Clock::now();
        if (callersWaiting_ > 0) changed_.notify_all();
    }
    return true;
}

// Reads whenever no caller has for watcherDelay: between a caller's pulls it stays away, so that
// a caller rarely has to wake it to take over.
void WiFiTransport::watch(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (!descriptor_) {
            watcherWake_.wait(lock, stop, [&] { return descriptor_ != nullptr; });
            continue;
        }
        // While callers read, it only looks again now and then: a caller never wakes it. A caller
        // about to take over may not have the lock yet, so the last read's time alone would let
        // it spin meanwhile.
        const auto now = Clock::now();
        if (reader_ != Reader::none || callersWaiting_ > 0 || now < lastCallerRead_ + watcherDelay) {
            const bool idle = reader_ == Reader::none && callersWaiting_ == 0;
            const auto resume = idle ? lastCallerRead_ + watcherDelay : now + watcherDelay;
            watcherWake_.wait_until(lock, stop, resume, [] { return false; });
            continue;
        }
        reader_ = Reader::watcher;
        const std::shared_ptr<Descriptor> link = descriptor_;
        lock.unlock();
        {
            std::stop_callback wake(stop, [this] { readWake_.signal(); });
            if (!stop.stop_requested()) readOnce(*link, std::nullopt);
        }
        lock.lock();
        reader_ = Reader::none;
        if (callersWaiting_ > 0) changed_.notify_all();
    }
}

// --- Sending ---

void WiFiTransport::send(std::span<const std::uint8_t> data, std::stop_token stop) {
    std::shared_ptr<Descriptor> link;
    std::size_t written = 0;
    int error = 0;
    {
        std::unique_lock lock(mutex_);
        if (!state_.isConnected() || !descriptor_) throw TransportError::notConnected();
        if (sending_) {
            // Behind a send waiting for room: nothing of this one is written yet, so giving up
            // leaves the link as it is.
            const auto deadline = Clock::now() + options_.sendLimit;
            changed_.wait_until(lock, stop, deadline, [&] { return !sending_ || !descriptor_; });
            if (!descriptor_) throw TransportError::notConnected();
            if (sending_) {
                if (stop.stop_requested()) throw sendCancelled();
                throw LinkError("Délai d'envoi dépassé (" + seconds(options_.sendLimit) + " s)");
            }
        }
        if (stop.stop_requested()) throw sendCancelled();
        link = descriptor_;
        while (written < data.size()) {
            const ssize_t count = ::send(link->fd, data.data() + written, data.size() - written, kSendFlags);
            if (count > 0) {
                written += static_cast<std::size_t>(count);
            } else if (errno != EINTR) {
                if (errno != EAGAIN && errno != EWOULDBLOCK) error = errno;
                break;
            }
        }
        if (written < data.size() && error == 0) sending_ = true;
    }
    if (error != 0) {
        const std::string text = socketErrorText(error);
        linkEnded(*link, "WiFi: erreur d'envoi — " + text);
        throw LinkError(text);
    }
    if (written < data.size()) sendRest(link, data.subspan(written), written > 0, stop);
    veqTrace([&] { return "WiFi → " + veqHexAscii(data); });
}

// The rest of a send the system could not take at once, written as room comes.
void WiFiTransport::sendRest(const std::shared_ptr<Descriptor>& link, std::span<const std::uint8_t> rest, bool started,
                             std::stop_token stop) {
    const auto deadline = Clock::now() + options_.sendLimit;
    enum class End { done, gone, timedOut, cancelled, failed } end = End::done;
    int error = 0;
    {
        std::stop_callback wake(stop, [this] { sendWake_.signal(); });
        while (!rest.empty()) {
            if (stop.stop_requested()) {
                end = End::cancelled;
                break;
            }
            {
                std::lock_guard lock(mutex_);
                if (descriptor_ != link) {
                    end = End::gone;
                    break;
                }
            }
            if (Clock::now() >= deadline) {
                end = End::timedOut;
                break;
            }
            pollfd fds[] = {{link->fd, POLLOUT, 0}, {sendWake_.descriptor(), POLLIN, 0}};
            if (waitFor(fds, deadline) <= 0) continue;
            if (fds[1].revents != 0) sendWake_.clear();
            if (fds[0].revents == 0) continue;
            const ssize_t count = ::send(link->fd, rest.data(), rest.size(), kSendFlags);
            if (count > 0) {
                rest = rest.subspan(static_cast<std::size_t>(count));
                started = true;
            } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
                error = errno;
                end = End::failed;
                break;
            }
        }
    }
    {
        std::lock_guard lock(mutex_);
        sending_ = false;
    }
    changed_.notify_all();

    std::string text;
    switch (end) {
    case End::done: return;
    case End::gone: throw TransportError::notConnected();
    case End::failed:
        text = socketErrorText(error);
        linkEnded(*link, "WiFi: erreur d'envoi — " + text);
        throw LinkError(text);
    case End::timedOut:
        // The adapter has stopped reading: the link is of no more use.
        abandon(*link);
        text = "Délai d'envoi dépassé (" + seconds(options_.sendLimit) + " s)";
        break;
    case End::cancelled:
        if (started) abandon(*link);
        text = sendCancelled().what();
        break;
    }
    veqTrace([&] { return "WiFi: erreur d'envoi — " + text; });
    throw LinkError(text);
}

} // namespace veq
