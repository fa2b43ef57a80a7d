#pragma once

#include "VEQTransport/OBDTransport.hpp"
#include "VEQTransport/Platform/QtEventThread.hpp"
#include "VEQTransport/Platform/WakeSignal.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace veq {

struct WiFiTransportOptions {
    // An attempt that has neither connected nor failed by then is that endpoint's failure (an
    // unanswered connection request would otherwise last about two minutes).
    std::chrono::milliseconds attemptLimit = std::chrono::seconds(5);
    // A send whose bytes the network stack has not taken by then fails, and the link is closed.
    std::chrono::milliseconds sendLimit = std::chrono::seconds(5);
};

// An ELM327 adapter over one TCP connection. Qt Network (on a Qt event thread of its own) makes
// the connection, trying the endpoints one after the other; the connected socket is then read
// and written directly, without a hop through that thread on each exchange:
// - a caller waiting for a reply reads the socket itself with pull(), so the reply wakes the one
//   thread that wants it;
// - when no caller has pulled for a while (a bus monitor, an idle link), a watcher thread reads
//   instead, so bytes still reach incoming() and a lost link is still seen;
// - a send is written from the caller's thread; a send that must wait for room waits there.
// Received bytes go to incoming() in chunks of at most maximumChunkBytes. Connection attempts,
// bytes sent and received, and the end of the link are traced (VEQ_TRACE).
class WiFiTransport final : public OBDTransport {
public:
    struct Endpoint {
        std::string host; // a host name or an address
        std::uint16_t port = 0;

        bool operator==(const Endpoint&) const = default;
    };

    using Options = WiFiTransportOptions;

    static constexpr std::size_t maximumChunkBytes = 4096;

    // The endpoints of OBDAdapterRegistry::wifiEndpoints, in table order.
    static const std::vector<Endpoint>& defaultEndpoints();

    explicit WiFiTransport(std::vector<Endpoint> endpoints, Options options = {},
                           std::size_t incomingCapacityBytes = IncomingStream::defaultCapacityBytes);
    ~WiFiTransport() override;

    // Throws deviceNotFound for an empty list, else the last endpoint's error. A disconnect()
    // or a stop request meanwhile ends it with connectCancelled(), state `disconnected`.
    void connect(std::stop_token stop) override;
    void disconnect() override;
    // When the adapter closes the connection or the link fails, the state becomes
    // `disconnected` and later sends throw notConnected. A send the network stack cannot take
    // fails at the send limit, or with sendCancelled() on a stop request; the link is then closed
    // (always at the limit, on a stop when some of the bytes are still held), so that nothing
    // reported as failed reaches the adapter afterwards.
    void send(std::span<const std::uint8_t> data, std::stop_token stop) override;
    TransportState state() const override;
    // Reads on the caller's thread while the link is up; false when there is no link. Several
    // callers take turns; a caller takes over from the watcher at once.
    bool pull(std::chrono::nanoseconds timeout, std::stop_token stop) override;

    const std::vector<Endpoint>& endpoints() const { return endpoints_; }

    // How long after a caller's last pull the watcher takes over the reading (at most twice that).
    static constexpr std::chrono::milliseconds watcherDelay{100};

private:
    using Clock = std::chrono::steady_clock;
    struct Link;       // the Qt side of connecting, touched only on the Qt thread
    struct Descriptor; // the connected socket; closed when its last user lets go of it
    enum class Reader { none, watcher, caller };

    // One wait for the socket and what it then holds, pushed to incoming(); returns early on
    // readWake_. No lock held.
    void readOnce(const Descriptor& link, std::optional<Clock::time_point> deadline);
    // The link ended under a read or a send: `trace` written once, the state becomes `disconnected`.
    void linkEnded(const Descriptor& link, const std::string& trace);
    // A send given up: closed at once, so that nothing of it reaches the adapter later.
    void abandon(const Descriptor& link);
    void letGoLocked(); // the link leaves descriptor_; whoever still reads is woken
    // `started`: some of the send is written already.
    void sendRest(const std::shared_ptr<Descriptor>& link, std::span<const std::uint8_t> rest, bool started, std::stop_token stop);
    void watch(std::stop_token stop);

    // One attempt: success (a null error), the endpoint's error, or nothing when it was
    // cancelled (stop or disconnect).
    std::optional<std::exception_ptr> attempt(const Endpoint& endpoint, std::uint64_t connection, std::stop_token stop);

    const std::vector<Endpoint> endpoints_;
    const Options options_;

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    TransportState state_;
    // Bumped by every connect and disconnect: whatever belongs to an older number is stale.
    std::uint64_t connection_ = 0;
    std::uint64_t currentAttempt_ = 0;
    std::uint64_t attemptCount_ = 0;
    std::optional<std::exception_ptr> attemptOutcome_;

    std::shared_ptr<Descriptor> descriptor_; // the connected socket, while the link is up
    Reader reader_ = Reader::none;           // who reads the socket now (one at a time)
    int callersWaiting_ = 0;                 // callers waiting to read
    Clock::time_point lastCallerRead_{};
    std::condition_variable_any watcherWake_; // a link to watch has come
    bool sending_ = false; // a send waits for room; later sends queue behind it
    WakeSignal readWake_;  // ends the wait of whoever reads
    WakeSignal sendWake_;  // ends the wait of the send waiting for room

    std::unique_ptr<Link> link_;
    QtEventThread thread_; // stopped before the socket's users go
    std::jthread watcher_; // last: stopped first
};

} // namespace veq
