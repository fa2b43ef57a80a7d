#include "VEQTransport/Platform/WiFiTransport.hpp"

#include "VEQTransport/LinkError.hpp"
#include "VEQTransport/OBDAdapterRegistry.hpp"
#include "VEQTransport/Platform/SocketErrorText.hpp"
#include "VEQTransport/TransportTrace.hpp"

#include <QTcpSocket>

#include <fmt/format.h>

#include <sys/socket.h>

#include <algorithm>
#include <deque>

namespace veq {

namespace {

std::string place(const WiFiTransport::Endpoint& endpoint) { return fmt::format("{}:{}", endpoint.host, endpoint.port); }

std::string seconds(std::chrono::milliseconds duration) { return fmt::format("{:g}", duration.count() / 1000.0); }

} // namespace

// The socket and what only the thread knows of it. A socket's signals are taken only while it
// is the current one, so nothing of a dropped socket is ever mistaken for the link.
struct WiFiTransport::Link {
    struct PendingSend {
        std::uint64_t id;
        std::uint64_t endOffset; // the send is taken once this many bytes have been written
    };

    WiFiTransport& owner;
    QTcpSocket* socket = nullptr;
    Endpoint endpoint;
    std::uint64_t connection = 0;
    std::uint64_t attempt = 0;
    bool established = false;
    bool lost = false;
    std::uint64_t queuedBytes = 0;
    std::deque<PendingSend> pending;

    explicit Link(WiFiTransport& transport) : owner(transport) {}

    void open(const Endpoint& target, std::uint64_t connectionNumber, std::uint64_t attemptNumber) {
        drop();
        socket = new QTcpSocket(owner.thread_.context());
        endpoint = target;
        connection = connectionNumber;
        attempt = attemptNumber;
        established = false;
        lost = false;
        queuedBytes = 0;
        QTcpSocket* s = socket;
        QObject::connect(s, &QTcpSocket::connected, s, [this, s] {
            if (s == socket) connected();
        });
        QObject::connect(s, &QTcpSocket::errorOccurred, s, [this, s](QAbstractSocket::SocketError error) {
            if (s == socket) failed(error);
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
            if (s == socket && established) linkLost(true, {});
        });
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
            if (s == socket) drain();
        });
        QObject::connect(s, &QTcpSocket::bytesWritten, s, [this, s] {
            if (s == socket) completeSends();
        });
        s->connectToHost(QString::fromStdString(endpoint.host), endpoint.port);
    }

    // The descriptor a caller's thread may write to, or -1.
    int directDescriptor() const {
        const qintptr descriptor = socket->socketDescriptor();
        if (descriptor < 0) return -1;
#if !defined(MSG_NOSIGNAL)
        // Where a write cannot be told not to raise SIGPIPE, the socket is.
        const int on = 1;
        ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
        return static_cast<int>(descriptor);
    }

    // Closes the socket without any report: it stops being current before Qt is told.
    void drop() {
        if (!socket) return;
        {
            // No caller's thread may write to the descriptor once it is closed (and perhaps reused).
            std::lock_guard lock(owner.mutex_);
            owner.directDescriptor_ = -1;
        }
        QTcpSocket* closing = socket;
        socket = nullptr;
        failSends(std::make_exception_ptr(TransportError::notConnected()));
        closing->abort();
        closing->deleteLater(); // may be inside one of its signals
    }

    void dropAttempt(std::uint64_t attemptNumber) {
        if (attempt == attemptNumber && !established) drop();
    }

    void connected() {
        bool givenUp = false;
        {
            std::lock_guard lock(owner.mutex_);
            givenUp = attempt != owner.currentAttempt_ || owner.attemptOutcome_ || connection != owner.connection_;
            if (!givenUp) {
                owner.attemptOutcome_ = std::exception_ptr();
                owner.state_ = TransportState::connected();
                owner.directDescriptor_ = directDescriptor();
                established = true;
            }
        }
        if (givenUp) {
            drop();
            return;
        }
        // Written here, before any received bytes can be traced.
        veqTrace([&] { return "WiFi: connecté à " + place(endpoint); });
        owner.changed_.notify_all();
    }

    std::string errorText() const { return socketErrorText(socket->error(), socket->errorString().toStdString()); }

    void failed(QAbstractSocket::SocketError error) {
        if (established) {
            linkLost(error == QAbstractSocket::RemoteHostClosedError, errorText());
            return;
        }
        {
            std::lock_guard lock(owner.mutex_);
            if (attempt == owner.currentAttempt_ && !owner.attemptOutcome_) {
                owner.attemptOutcome_ = std::make_exception_ptr(LinkError(errorText()));
            }
        }
        owner.changed_.notify_all();
        drop();
    }

    void drain() {
        while (socket->bytesAvailable() > 0) {
            const QByteArray data = socket->read(maximumChunkBytes);
            if (data.isEmpty()) break;
            IncomingStream::Chunk chunk(data.begin(), data.end());
            veqTrace([&] { return "WiFi ← " + veqHexAscii(chunk); });
            owner.incoming()->push(std::move(chunk));
        }
    }

    void linkLost(bool endOfStream, const std::string& error) {
        if (lost) return;
        lost = true;
        drain(); // what came with the close still belongs to the reply
        if (endOfStream) veqTrace([] { return std::string("WiFi: flux terminé (connexion fermée par l'adaptateur)"); });
        else veqTrace([&] { return "WiFi: erreur de réception — " + error; });
        {
            std::lock_guard lock(owner.mutex_);
            if (connection == owner.connection_ && owner.state_.isConnected()) owner.state_ = TransportState::disconnected();
        }
        owner.changed_.notify_all();
        drop();
    }

    void write(std::uint64_t id, const std::vector<std::uint8_t>& bytes) {
        {
            std::lock_guard lock(owner.mutex_);
            if (!owner.sends_.contains(id)) return; // its caller gave up before it went out
        }
        if (!socket || !established || lost) {
            finishSend(id, std::make_exception_ptr(TransportError::notConnected()));
            return;
        }
        const qint64 size = static_cast<qint64>(bytes.size());
        if (socket->write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
            finishSend(id, std::make_exception_ptr(LinkError(errorText())));
            return;
        }
        queuedBytes += static_cast<std::uint64_t>(size);
        pending.push_back({id, queuedBytes});
        socket->flush();
        completeSends();
    }

    // A send its caller gave up, told that it failed: none of it may reach the adapter later.
    // Bytes the socket still holds cannot be taken back, so the link is closed, and closed at
    // once, dropping what the system has not sent yet. A time-out closes it in any case: the
    // adapter has stopped reading.
    void abandon(std::uint64_t id, std::uint64_t connectionNumber, bool timedOut) {
        const bool held = std::any_of(pending.begin(), pending.end(), [&](const PendingSend& p) { return p.id == id; });
        if (!socket || connection != connectionNumber || lost || (!held && !timedOut)) return;
        lost = true;
        {
            std::lock_guard lock(owner.mutex_);
            if (connection == owner.connection_ && owner.state_.isConnected()) owner.state_ = TransportState::disconnected();
        }
        owner.changed_.notify_all();
        if (const qintptr descriptor = socket->socketDescriptor(); descriptor >= 0) {
            const linger resetOnClose{1, 0};
            ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_LINGER, &resetOnClose, sizeof resetOnClose);
        }
        drop();
    }

    void completeSends() {
        if (!socket) return;
        const std::uint64_t written = queuedBytes - static_cast<std::uint64_t>(socket->bytesToWrite());
        while (!pending.empty() && pending.front().endOffset <= written) {
            finishSend(pending.front().id, std::exception_ptr());
            pending.pop_front();
        }
    }

    void failSends(const std::exception_ptr& error) {
        for (const PendingSend& send : pending) finishSend(send.id, error);
        pending.clear();
    }

    void finishSend(std::uint64_t id, std::exception_ptr error) {
        {
            std::lock_guard lock(owner.mutex_);
            const auto found = owner.sends_.find(id);
            if (found == owner.sends_.end()) return; // its caller gave up
            found->second = error;
        }
        owner.changed_.notify_all();
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
      link_(std::make_unique<Link>(*this)) {}

WiFiTransport::~WiFiTransport() {
    thread_.post([link = link_.get()] { link->drop(); });
}

void WiFiTransport::connect(std::stop_token stop) {
    std::uint64_t connection = 0;
    {
        std::lock_guard lock(mutex_);
        connection = ++connection_;
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
    const auto deadline = std::chrono::steady_clock::now() + options_.attemptLimit;
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
    }
    changed_.notify_all();
    thread_.post([link = link_.get()] { link->drop(); });
}

void WiFiTransport::send(std::span<const std::uint8_t> data, std::stop_token stop) {
    std::uint64_t id = 0;
    std::uint64_t connection = 0;
    std::size_t written = 0;
    {
        std::lock_guard lock(mutex_);
        if (!state_.isConnected()) throw TransportError::notConnected();
        if (directDescriptor_ >= 0 && sends_.empty() && !stop.stop_requested() && !data.empty()) {
            // Never blocks; what the network stack does not take at once, and any error, is left to
            // the event thread, which reports it as for every other send.
            constexpr int flags = MSG_DONTWAIT
#if defined(MSG_NOSIGNAL)
                                  | MSG_NOSIGNAL
#endif
                ;
            const ssize_t count = ::send(directDescriptor_, data.data(), data.size(), flags);
            if (count > 0) written = static_cast<std::size_t>(count);
        }
        if (written < data.size()) {
            id = ++sendCount_;
            connection = connection_;
            sends_.emplace(id, std::nullopt);
        }
    }
    if (written == data.size()) {
        veqTrace([&] { return "WiFi → " + veqHexAscii(data); });
        return;
    }
    std::vector<std::uint8_t> rest(data.begin() + static_cast<std::ptrdiff_t>(written), data.end());
    thread_.post([link = link_.get(), id, rest] { link->write(id, rest); });
    const std::vector<std::uint8_t> bytes(data.begin(), data.end());

    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + options_.sendLimit;
    changed_.wait_until(lock, stop, deadline, [&] { return sends_.at(id).has_value() || connection != connection_; });
    std::optional<std::exception_ptr> outcome = sends_.at(id);
    sends_.erase(id);
    const bool disconnected = connection != connection_;
    // Bytes of a send given up may still wait on the event thread: no later send may pass them.
    if (!outcome) directDescriptor_ = -1;
    lock.unlock();

    if (!outcome) {
        if (disconnected) throw TransportError::notConnected();
        const bool timedOut = !stop.stop_requested();
        thread_.post([link = link_.get(), id, connection, timedOut] { link->abandon(id, connection, timedOut); });
        outcome = std::make_exception_ptr(timedOut ? LinkError("Délai d'envoi dépassé (" + seconds(options_.sendLimit) + " s)")
                                                   : sendCancelled());
    }
    if (!*outcome) {
        veqTrace([&] { return "WiFi → " + veqHexAscii(bytes); });
        return;
    }
    try {
        std::rethrow_exception(*outcome);
    } catch (const TransportError&) {
        throw; // the link went down under the send: nothing to add
    } catch (const std::exception& e) {
        veqTrace([&] { return std::string("WiFi: erreur d'envoi — ") + e.what(); });
        throw;
    }
}

TransportState WiFiTransport::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

} // namespace veq
