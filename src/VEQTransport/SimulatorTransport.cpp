#include "VEQTransport/SimulatorTransport.hpp"

#include "VEQSupport/Text.hpp"
#include "VEQTransport/OBDEncoder.hpp"

#include <algorithm>
#include <condition_variable>

namespace veq {

namespace {

constexpr std::uint8_t carriageReturn = 0x0D;
constexpr auto monitorPeriod = std::chrono::milliseconds(40);

// What an adapter prints when a write ends its monitor mode.
const IncomingStream::Chunk monitorStopSequence{0x0D, 0x0D, 0x3E};

std::string frameText(std::string_view identifier, const std::array<std::uint8_t, 8>& bytes) {
    return std::string(identifier) + ' ' + text::hexUpper(bytes, " ");
}

// The monitor's loop. It holds only the stream, never the transport, and takes no lock of the
// transport's: stopping it (request, then join) can therefore never wait on the transport.
void runMonitor(std::stop_token stop, std::shared_ptr<IncomingStream> stream, std::chrono::steady_clock::time_point origin) {
    const VehicleSimulation simulation;
    std::mutex sleepMutex;
    std::condition_variable_any sleeper;
    std::uint8_t counter = 0;
    while (!stop.stop_requested()) {
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - origin).count();
        for (const std::string& frame : SimulatorTransport::canFrames(simulation.state(t), counter)) {
            IncomingStream::Chunk chunk = text::bytesOf(frame);
            chunk.push_back(carriageReturn);
            stream->push(std::move(chunk));
        }
        std::unique_lock lock(sleepMutex);
        sleeper.wait_for(lock, stop, monitorPeriod, [] { return false; });
        if (stop.stop_requested()) break;
        ++counter;
    }
}

} // namespace

SimulatorTransport::SimulatorTransport(std::size_t incomingCapacityBytes) : OBDTransport(incomingCapacityBytes) {}

SimulatorTransport::~SimulatorTransport() {
    std::lock_guard lock(mutex_);
    stopMonitorLocked();
}

void SimulatorTransport::connect(std::stop_token) {
    std::lock_guard lock(mutex_);
    state_ = TransportState::connecting();
    connectDate_ = Clock::now();
    emulator_ = ELM327Emulator{};
    lineBuffer_.clear();
    state_ = TransportState::connected();
}

void SimulatorTransport::disconnect() {
    std::lock_guard lock(mutex_);
    stopMonitorLocked();
    state_ = TransportState::disconnected();
}

void SimulatorTransport::send(std::span<const std::uint8_t> data, std::stop_token) {
    std::lock_guard lock(mutex_);
    if (!state_.isConnected()) throw TransportError::notConnected();
    if (monitor_.joinable()) {
        // Any write ends monitor mode, as on a real adapter; the written bytes are dropped. The
        // monitor is joined before the stop sequence goes out, so that no frame can follow the
        // prompt and be taken for the start of the next reply.
        stopMonitorLocked();
        lineBuffer_.clear();
        incoming()->push(monitorStopSequence);
        return;
    }
    lineBuffer_.insert(lineBuffer_.end(), data.begin(), data.end());
    answerLinesLocked();
    if (lineBuffer_.size() > maxLineBytes) lineBuffer_.resize(maxLineBytes);
}

void SimulatorTransport::answerLinesLocked() {
    for (;;) {
        const auto end = std::find(lineBuffer_.begin(), lineBuffer_.end(), carriageReturn);
        if (end == lineBuffer_.end()) return;
        const std::string line = text::decodeUTF8Lossy(std::span<const std::uint8_t>(lineBuffer_.begin(), end));
        lineBuffer_.erase(lineBuffer_.begin(), end + 1);

        // Blanks and tabs are trimmed here, line feeds are not: "\nATMA" reaches the emulator.
        const std::string_view trimmed = text::trimHorizontal(line);
        if (trimmed.empty()) continue;
        if (text::toUpperASCII(trimmed) == "ATMA") {
            startMonitorLocked();
            continue;
        }
        const VehicleState vehicle = simulation_.state(simulatedTimeLocked());
        incoming()->push(emulator_.respond(line, vehicle));
    }
}

TransportState SimulatorTransport::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void SimulatorTransport::setSimulatedTime(double seconds) {
    std::lock_guard lock(mutex_);
    fixedTime_ = seconds;
}

void SimulatorTransport::resumeRealTime() {
    std::lock_guard lock(mutex_);
    fixedTime_.reset();
}

VehicleState SimulatorTransport::groundTruth() const {
    std::lock_guard lock(mutex_);
    return simulation_.state(simulatedTimeLocked());
}

bool SimulatorTransport::isMonitoring() const {
    std::lock_guard lock(mutex_);
    return monitor_.joinable();
}

double SimulatorTransport::simulatedTimeLocked() const {
    if (fixedTime_) return *fixedTime_;
    if (connectDate_) return std::chrono::duration<double>(Clock::now() - *connectDate_).count();
    return 0;
}

void SimulatorTransport::startMonitorLocked() {
    // A monitor already running is stopped and joined first, never left behind.
    stopMonitorLocked();
    monitor_ = std::jthread(runMonitor, incoming(), connectDate_.value_or(Clock::now()));
}

void SimulatorTransport::stopMonitorLocked() {
    // Joining under the lock is safe: the monitor thread never takes it (see runMonitor). It
    // keeps every other send from slipping in between the last frame and what follows.
    if (!monitor_.joinable()) return;
    monitor_.request_stop();
    monitor_.join();
}

std::array<std::string, 4> SimulatorTransport::canFrames(const VehicleState& s, std::uint8_t counter) {
    using OBDEncoder::truncatedByte;
    const auto [rpmHigh, rpmLow] = OBDEncoder::word(s.rpm * 4);
    const std::uint8_t speed = OBDEncoder::byte(s.speedKmh);
    const std::uint8_t pedal = truncatedByte(s.acceleratorPercent * 2.55);
    const std::uint8_t throttle = truncatedByte(s.throttlePercent * 2.55);
    const std::uint8_t coolant = truncatedByte(s.coolantC + 40);
    // clang-format off
    return {
        frameText("0C8", {0x11,     rpmHigh,  rpmLow,  pedal, 0x00, 0x00, counter, 0x00}),
        frameText("3D9", {speed,    speed,    0x00,    0x00,  0xFE, 0x00, counter, 0x1A}),
        frameText("308", {coolant,  throttle, 0x40,    0x00,  0x00, 0x00, 0x00,    0x00}),
        frameText("200", {0x00,     0x00,     counter, 0x00,  0x80, 0x00, 0x00,    0x55}),
    };
    // clang-format on
}

} // namespace veq
