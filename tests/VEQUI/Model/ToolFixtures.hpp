#pragma once

#include "ConnectionFixtures.hpp"

#include <cstdint>

// What the tools' tests share: a look at the polling engine's pause and the tools' tasks, and
// a check that polling answers again.
namespace veq {
struct AppModelToolsAccess {
    // The polling engine's own flag, whoever set it.
    static bool pollingPaused(const AppModel& m) { return m.engine_ && m.engine_->isPaused(); }
    // A pause of polling as another tool would take it.
    static PollingPause::Lease holdPolling(AppModel& m) { return PollingPause::hold(m.pollingPause_); }
    static bool didTaskRunning(const AppModel& m) { return m.didTask_.running(); }
    static bool snifferTaskRunning(const AppModel& m) { return m.snifferTask_.running(); }
    static void ingestFrame(AppModel& m, std::string_view line) { m.ingestFrame(line); }
    static void applyMonitorFrames(AppModel& m, const std::vector<MonitorFrame>& frames) {
        m.applyMonitorFrames(frames);
    }
    static void mergeDID(AppModel& m, DiscoveredDID found) { m.mergeDID(std::move(found)); }
    // What a scan started now would hand its found identifiers to, from its worker thread.
    static DIDScanner::FoundHandler didFoundHandler(AppModel& m) { return m.didFoundHandler(); }
    static void updateWatched(AppModel& m, std::uint16_t did, const std::string& ecu, std::vector<std::uint8_t> bytes) {
        m.updateWatched(did, ecu, std::move(bytes));
    }
};
} // namespace veq

namespace veq::testing {

using namespace std::chrono_literals;

// Engine-speed samples the store has received.
inline std::int64_t engineSpeedSamples(const AppModel& model) {
    const auto found = model.store().stats().find(0x0C);
    return found == model.store().stats().end() ? 0 : found->second.sampleCount;
}

// Polling runs: new engine-speed samples keep arriving.
inline bool pollingAnswers(const AppModel& model) {
    const std::int64_t before = engineSpeedSamples(model);
    return waitUntil([&] { return engineSpeedSamples(model) >= before + 3; }, 15s);
}

} // namespace veq::testing
