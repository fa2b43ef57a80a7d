#pragma once

#include "VEQTransport/OBDTransport.hpp"
#include "VEQTransport/Platform/QtEventThread.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace veq {

struct WiFiTransportOptions {
    // An attempt that has neither connected nor failed by then is that endpoint's failure (an
    // unanswered connection request would otherwise last about two minutes).
    std::chrono::milliseconds attemptLimit = std::chrono::seconds(5);
    // A send whose bytes the network stack has not taken by then fails, and the link is closed.
    std::chrono::milliseconds sendLimit = std::chrono::seconds(5);
};

// An ELM327 adapter over one TCP connection (Qt Network, on a Qt event thread of its own). The
// endpoints are tried one after the other; the first that connects is used. Received bytes go
// to incoming() in the chunks the network stack delivers, none longer than maximumChunkBytes;
// every send returns once the network stack has taken the bytes. A send the network stack takes
// at once is written from the caller's thread, without a round through the event thread; the
// rest of it, and any send while another waits, go through the event thread in order. Connection attempts, bytes
// sent and received, and the end of the link are traced (VEQ_TRACE).
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

    const std::vector<Endpoint>& endpoints() const { return endpoints_; }

private:
    struct Link; // the Qt side, touched only on the thread

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
    std::uint64_t sendCount_ = 0;
    std::map<std::uint64_t, std::optional<std::exception_ptr>> sends_; // the sends waiting, and their outcome
    // The connected socket's descriptor while a send may write to it from the caller's thread
    // (no send waiting on the event thread, none given up on this link), else -1. The event
    // thread closes the socket only after clearing it, under mutex_.
    int directDescriptor_ = -1;

    std::unique_ptr<Link> link_;
    QtEventThread thread_; // last: stopped before anything else goes
};

} // namespace veq
