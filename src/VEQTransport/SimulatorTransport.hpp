#pragma once

#include "VEQTransport/ELM327Emulator.hpp"
#include "VEQTransport/OBDTransport.hpp"
#include "VEQTransport/VehicleSimulation.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace veq {

// The simulated car behind the transport interface: every command line sent is answered by the
// ELM327 emulator against the simulated state at the current simulated time, and the reply bytes
// come back on incoming() as one chunk, before send() returns. The line "ATMA" starts the bus
// monitor: four CAN frames every 40 ms until the next send or disconnect.
class SimulatorTransport final : public OBDTransport {
public:
    // Longest unfinished command line kept; a sender that never ends its line cannot make the
    // buffer grow further (the excess is dropped and the line then answers "?").
    static constexpr std::size_t maxLineBytes = 4096;

    explicit SimulatorTransport(std::size_t incomingCapacityBytes = IncomingStream::defaultCapacityBytes);
    ~SimulatorTransport() override;

    // Always succeeds: restarts the simulated clock and resets the emulator's settings.
    void connect(std::stop_token stop) override;
    // Stops the monitor (its thread joined), then `disconnected`.
    void disconnect() override;
    void send(std::span<const std::uint8_t> data, std::stop_token stop) override;
    TransportState state() const override;

    // Freezes the simulated time at `seconds` (replies only; monitor frames follow real time).
    // Works in any state and survives reconnection.
    void setSimulatedTime(double seconds);
    void resumeRealTime();

    // The simulated state at the current simulated time, for comparison with what was read.
    VehicleState groundTruth() const;

    bool isMonitoring() const;

    // The four bus frames of one monitor batch, each as "ID B1 B2 ... B8".
    static std::array<std::string, 4> canFrames(const VehicleState& state, std::uint8_t counter);

private:
    using Clock = std::chrono::steady_clock;

    double simulatedTimeLocked() const;
    void startMonitorLocked();
    void stopMonitorLocked();
    void answerLinesLocked();

    mutable std::mutex mutex_;
    ELM327Emulator emulator_;
    VehicleSimulation simulation_;
    TransportState state_;
    std::vector<std::uint8_t> lineBuffer_;
    std::optional<Clock::time_point> connectDate_;
    std::optional<double> fixedTime_;
    std::jthread monitor_; // last: stopped and joined before anything else is destroyed
};

} // namespace veq
