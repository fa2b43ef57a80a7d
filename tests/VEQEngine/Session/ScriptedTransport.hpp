#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQTransport/OBDTransport.hpp"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace veq::testing {

using namespace std::chrono_literals;

// One adapter reply: the lines, then the blank line and prompt an ELM327 ends with.
inline std::string reply(std::string_view lines) { return std::string(lines) + "\r\r>"; }

// A transport whose adapter is a script: every command line sent is recorded and handed to the
// responder, whose chunks are pushed before send() returns, as the simulated car does.
class ScriptedTransport final : public OBDTransport {
public:
    using Responder = std::function<std::vector<std::string>(const std::string& line)>;

    explicit ScriptedTransport(Responder responder = {}) : responder_(std::move(responder)) {}

    void connect(std::stop_token) override { std::lock_guard lock(mutex_); connected_ = true; }
    void disconnect() override { std::lock_guard lock(mutex_); connected_ = false; }
    TransportState state() const override {
        std::lock_guard lock(mutex_);
        return connected_ ? TransportState::connected() : TransportState::disconnected();
    }

    void send(std::span<const std::uint8_t> data, std::stop_token) override {
        std::vector<std::string> lines;
        Responder responder;
        {
            std::lock_guard lock(mutex_);
            const std::string bytes(data.begin(), data.end());
            if (failOn_ && bytes.find(*failOn_) != std::string::npos) throw TransportError::notConnected();
            sends_.push_back(bytes);
            pending_ += bytes;
            for (auto cr = pending_.find('\r'); cr != std::string::npos; cr = pending_.find('\r')) {
                lines.push_back(pending_.substr(0, cr));
                pending_.erase(0, cr + 1);
            }
            lines_.insert(lines_.end(), lines.begin(), lines.end());
            responder = responder_;
        }
        changed_.notify_all();
        if (!responder) return;
        for (const std::string& line : lines)
            for (const std::string& chunk : responder(line)) push(chunk);
    }

    void push(std::string_view chunk) { incoming()->push(IncomingStream::Chunk(chunk.begin(), chunk.end())); }
    // The adapter goes away: the state turns `disconnected`, as a real link reports it.
    void loseLink() { std::lock_guard lock(mutex_); connected_ = false; }
    void setResponder(Responder responder) { std::lock_guard lock(mutex_); responder_ = std::move(responder); }
    // Sends whose bytes contain `marker` throw TransportError::notConnected.
    void failSendsContaining(std::optional<std::string> marker) { std::lock_guard lock(mutex_); failOn_ = std::move(marker); }
    std::vector<std::string> lines() const { std::lock_guard lock(mutex_); return lines_; }
    std::vector<std::string> sends() const { std::lock_guard lock(mutex_); return sends_; }

    // False only after a generous deadline, which only a hung session reaches.
    bool waitForLines(std::size_t count) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return lines_.size() >= count; });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Responder responder_;
    std::optional<std::string> failOn_;
    bool connected_ = false;
    std::string pending_;
    std::vector<std::string> lines_, sends_;
};

// A connected session over a scripted transport, with a short reply time-out by default.
struct SessionRig {
    std::shared_ptr<ScriptedTransport> transport;
    std::unique_ptr<ELM327Session> session;

    explicit SessionRig(ScriptedTransport::Responder responder = {},
                        ELM327Session::Timing timing = {.responseTimeout = 30ms, .monitorStopPause = 1ms})
        : transport(std::make_shared<ScriptedTransport>(std::move(responder))),
          session(std::make_unique<ELM327Session>(transport, timing)) {
        session->connect();
    }
};

// Waits until `condition` holds; false after a generous deadline, which only a fault reaches.
inline bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace veq::testing
