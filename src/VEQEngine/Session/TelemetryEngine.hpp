#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/Session/TelemetrySink.hpp"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <stop_token>
#include <vector>

namespace veq {

// The live polling loop: reads mode 01 parameters one after the other through the session and
// hands every decoded value to the sink. Engine speed, road speed and gear are read twice per
// cycle; one secondary and one other parameter are read per cycle in turn. A parameter that
// fails four times in a row while the others answer leaves every list; while every read fails
// (a silent adapter, a car that answers "NO DATA" for a moment) nothing is dropped, so values
// flow again as soon as the car answers. A reply whose ECU answered but whose message broke on the
// way is no failure, the next poll asks again, until `brokenInARowForgiven` such replies came in a
// row: each later one counts, so that a parameter whose answer always breaks is dropped all the same.
//
// run() blocks the thread that calls it; stop(), pause(), resume() and configure() may be called
// from any thread (the sink's calls included) and take effect between the loop's steps.
class TelemetryEngine {
public:
    using Clock = std::chrono::steady_clock;

    struct Timing {
        // The pause at the end of every cycle.
        std::chrono::nanoseconds cyclePause = std::chrono::milliseconds(3);
        // How often a paused loop looks whether it was resumed or stopped.
        std::chrono::nanoseconds pausedPoll = std::chrono::milliseconds(120);
        // The clock of the request-rate window.
        std::function<Clock::time_point()> now = [] { return Clock::now(); };
    };

    static constexpr std::array<std::uint8_t, 3> highPriorityCandidates{0x0C, 0x0D, 0xA4};
    static constexpr std::array<std::uint8_t, 10> secondaryCandidates{0x04, 0x05, 0x0B, 0x11, 0x10,
                                                                      0x42, 0x5C, 0x0F, 0x46, 0x2F};
    // Support bitmaps, monitor and fuel-system status, secondary air, oxygen sensors present,
    // OBD standard and fuel type: read once at connection, never polled.
    static constexpr std::array<std::uint8_t, 14> nonPolledPIDs{0x00, 0x20, 0x40, 0x60, 0x80, 0xA0, 0xC0,
                                                                0x01, 0x41, 0x03, 0x12, 0x13, 0x1C, 0x51};
    static constexpr int failureThreshold = 4;
    static constexpr int brokenInARowForgiven = 15;

    // Both must outlive the engine.
    TelemetryEngine(ELM327Session& session, TelemetrySink& sink);
    TelemetryEngine(ELM327Session& session, TelemetrySink& sink, Timing timing);

    TelemetryEngine(const TelemetryEngine&) = delete;
    TelemetryEngine& operator=(const TelemetryEngine&) = delete;

    // Rebuilds the three lists from the supported parameters; cursors, failure counts and the
    // request window are kept.
    void configure(const std::set<std::uint8_t>& supported);

    // The loop; returns after stop() or when `stop` is requested, a read under way being given
    // up. A lost link to the adapter ends it with the session's TransportError::notConnected,
    // no parameter counted as failed; it throws nothing else (a sink that throws loses that one
    // call). May be called again later and starts over with the lists as they stand.
    void run(std::stop_token stop = {});
    // Ends the loop; called while no loop runs, it ends the next run() at once.
    void stop();
    // Takes effect at the start of the next cycle; a cycle under way is completed. Pausing while
    // not paused, and resuming while paused, moves the samples' pause epoch at once, so values
    // still read in that cycle count as read while paused.
    void pause();
    void resume();

    std::vector<std::uint8_t> heroes() const;
    std::vector<std::uint8_t> secondary() const;
    std::vector<std::uint8_t> rest() const;
    bool isRunning() const;
    bool isPaused() const;

private:
    bool pollHighPriority(std::stop_token token);
    void pollInTurn(const std::vector<std::uint8_t>& list, std::size_t& cursor, std::stop_token token);
    void poll(std::uint8_t pid, std::stop_token token);
    void dropLocked(std::uint8_t pid);
    void pruneRequestsLocked(Clock::time_point now);
    void reportThroughput();

    ELM327Session& session_;
    TelemetrySink& sink_;
    const Timing timing_;

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    std::vector<std::uint8_t> heroes_;
    std::vector<std::uint8_t> secondary_;
    std::vector<std::uint8_t> rest_;
    std::size_t secondaryCursor_ = 0;
    std::size_t restCursor_ = 0;
    bool running_ = false;
    bool looping_ = false;     // inside run()
    bool stopPending_ = false; // stop() came while no loop ran
    bool paused_ = false;
    std::uint64_t pauseEpoch_ = 0; // see TelemetrySample::pauseEpoch
    struct ReadRecord {
        int failures = 0;               // counted failures in a row
        int broken = 0;                 // broken replies in a row
        std::uint64_t successesSeen = 0; // successes_ after the parameter's last read
    };
    std::map<std::uint8_t, ReadRecord> reads_;
    std::uint64_t successes_ = 0; // successful reads since the engine began
    std::deque<Clock::time_point> requestTimestamps_;
    std::stop_source runStop_; // ends a read under way when the loop is stopped
};

} // namespace veq
