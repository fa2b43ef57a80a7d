#pragma once

#include "VEQTransport/IncomingStream.hpp"
#include "VEQTransport/TransportError.hpp"
#include "VEQTransport/TransportState.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stop_token>

namespace veq {

// The byte pipe between the session and an adapter (Bluetooth LE, Wi-Fi TCP or the simulated
// car). It knows nothing of ELM327 commands, of the ">" prompt or of OBD-II: it writes raw bytes
// out and hands raw chunks in, exactly as the link delivered them; cutting replies is the
// session's work.
//
// Calling order: connect once, any number of sends, then disconnect; a transport may be
// connected again after a disconnect. Every operation is thread-safe, and an implementation
// must let state() and disconnect() run while another thread waits in connect() or send().
//
// Implementations throw TransportError (or an Error of their platform, whose what() is then its
// printed form). A lost link throws nothing by itself: it turns the state to `disconnected`,
// which is how the session learns of it, and later sends throw notConnected.
class OBDTransport {
public:
    virtual ~OBDTransport() = default;

    OBDTransport(const OBDTransport&) = delete;
    OBDTransport& operator=(const OBDTransport&) = delete;

    // The chunks received from the adapter. Created with the transport, before any connect;
    // chunks that arrive before the consumer starts wait in it. No transport ever closes it:
    // it stays open after disconnect and after a link failure, and the consumer stops by
    // cancelling its own pop (its stop token). Shared so that a reader thread may keep it.
    // Link code never pushes an empty chunk.
    const std::shared_ptr<IncomingStream>& incoming() const { return incoming_; }

    // Opens the link; returns only when bytes can be sent and received. Sets `connecting`, then
    // `connected`; on failure sets `failed` with the error's printed form and throws that same
    // error. Returns promptly (failing) when `stop` is requested or disconnect() is called
    // meanwhile.
    virtual void connect(std::stop_token stop) = 0;

    // Closes the link and sets `disconnected`; never fails, never touches incoming().
    virtual void disconnect() = 0;

    // Writes the bytes to the adapter. Throws TransportError::notConnected, writing nothing,
    // unless the state is `connected`. A send that has to wait (a full link) returns promptly,
    // failing, when `stop` is requested; a send reported as failed is never delivered later (a
    // transport that cannot take its bytes back closes the link).
    virtual void send(std::span<const std::uint8_t> data, std::stop_token stop) = 0;

    // The current link state.
    virtual TransportState state() const = 0;

    // For a transport whose caller may read the link itself: waits up to `timeout` (or a stop
    // request) for bytes, and reads them on the calling thread into incoming(), whose receiver
    // then runs here. This spares the hop through the transport's own thread on every reply.
    // Returns true when the caller may go on pulling (bytes came or not; the link may have
    // ended, which state() tells), false when there is nothing to read this way: the transport
    // delivers on its own thread and the caller waits as it would for any other push.
    virtual bool pull(std::chrono::nanoseconds timeout, std::stop_token stop) {
        (void)timeout;
        (void)stop;
        return false;
    }

protected:
    explicit OBDTransport(std::size_t incomingCapacityBytes = IncomingStream::defaultCapacityBytes)
        : incoming_(std::make_shared<IncomingStream>(incomingCapacityBytes)) {}

private:
    const std::shared_ptr<IncomingStream> incoming_;
};

} // namespace veq
