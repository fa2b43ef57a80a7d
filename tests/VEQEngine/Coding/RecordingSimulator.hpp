#pragma once

#include "VEQSupport/Text.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <functional>
#include <mutex>

namespace veq::testing {

// The simulated car with a recording of every command line sent to it. A test may answer a line
// itself (reply text without the prompt), as an ECU that accepts a write or an adapter that
// refuses a header would; every other line goes to the simulator.
class RecordingSimulator final : public OBDTransport {
public:
    using Override = std::function<std::optional<std::string>(const std::string& line)>;

    void connect(std::stop_token stop) override { simulator_.connect(stop); }
    void disconnect() override { simulator_.disconnect(); }
    TransportState state() const override { return simulator_.state(); }

    // The session sends one whole line, carriage return included, per call.
    void send(std::span<const std::uint8_t> data, std::stop_token stop) override {
        const std::string line(data.begin(), data.end() - 1);
        Override answer;
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
            answer = override_;
        }
        if (const auto reply = answer ? answer(line) : std::nullopt) return incoming()->push(text::bytesOf(*reply + "\r\r>"));
        simulator_.send(data, stop); // it answers before returning
        while (auto chunk = simulator_.incoming()->pop(std::chrono::nanoseconds(0), {})) incoming()->push(*chunk);
    }

    void setOverride(Override answer) {
        std::lock_guard lock(mutex_);
        override_ = std::move(answer);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void clearRecording() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

    // The engine's single-frame answer as the adapter prints it with headers on, spaces off.
    static std::string ecuReply(const std::vector<std::uint8_t>& payload) {
        return "7E8" + text::hexUpper(ELM327Emulator::segment(payload).front());
    }

private:
    SimulatorTransport simulator_;
    mutable std::mutex mutex_;
    Override override_;
    std::vector<std::string> lines_;
};

} // namespace veq::testing
