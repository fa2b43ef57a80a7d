#pragma once

#include "VEQSupport/Error.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace veq {

// Keeps every timestamped channel value of a connection, bounded by a capacity, so that a
// marked stretch can be saved afterwards as a telemetry file.
//
// `record` may be called from any thread and never waits for the recorder's own work: it only
// appends to an intake under a lock that is held for a push or a buffer swap. A worker thread
// moves the intake into the held events in arrival order; every other operation also takes in
// what is waiting first, so it sees every value recorded before the call.
class EventRecorder {
public:
    using Date = std::chrono::system_clock::time_point;

    struct Event {
        std::uint32_t ms = 0; // since the origin
        std::uint8_t channel = 0;
        float value = 0.0F;

        bool operator==(const Event&) const = default;
    };

    struct Status {
        std::size_t eventCount = 0;
        std::size_t dropped = 0;
        std::optional<double> startMark; // seconds
        std::optional<double> endMark;   // seconds
        std::size_t channelsSeen = 0;

        bool operator==(const Status&) const = default;
    };

    struct ChannelSummary {
        std::uint8_t channel = 0;
        std::string name;
        std::size_t count = 0;
        float lastValue = 0.0F;
        double lastSeconds = 0.0;
        bool isGPS = false;

        bool operator==(const ChannelSummary&) const = default;
    };

    struct SavedLog {
        std::filesystem::path url;
        std::size_t records = 0;
        std::size_t channels = 0;
        std::size_t events = 0;
        double duration = 0.0; // seconds from the start mark to the end mark

        bool operator==(const SavedLog&) const = default;
    };

    // Why a marked range could not be saved (file failures are plain veq::Error).
    class SaveError : public Error {
    public:
        enum class Kind { noMarks, emptyRange };

        explicit SaveError(Kind kind);
        Kind kind() const { return kind_; }
        bool operator==(const SaveError& other) const { return kind_ == other.kind_; }

    private:
        Kind kind_;
    };

    // Dates before the origin, or 4,294,967 s or more after it, are never recorded. The origin
    // is taken on the whole millisecond it falls in: marks are whole milliseconds after it, so a
    // mark set on a whole second of the clock then lies on that second, not just before it.
    EventRecorder(Date origin, std::size_t capacity);
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    void record(std::uint8_t channel, float value, Date at);

    // Returns once every value handed to `record` before the call is held (or dropped).
    void drain();

    // A mark is the whole milliseconds since the origin, truncated; a date before the origin is 0.
    void markStart(Date at); // also clears the end mark
    void markEnd(Date at);
    void clearMarks();

    Status status();
    // Non-GPS channels ascending, then the GPS channels ascending.
    std::vector<ChannelSummary> channelSummaries();
    // The events held, oldest first.
    std::vector<Event> events();
    // The date of the earliest event held; nothing while none is. A position fix may arrive after
    // values dated later than itself, so this is the earliest date, not the first arrival's.
    std::optional<Date> oldestEventDate();
    // The three above from one pass over the held events, as the capture's refresh wants them.
    struct Overview {
        Status status;
        std::vector<ChannelSummary> channels;
        std::optional<Date> oldest;
    };
    Overview overview();
    Date originDate() const { return origin_; }

    // Writes the events between the marks (both included), optionally only those of `channels`,
    // as a telemetry file with one record per `bucketMs` slot that holds an event. The file
    // appears whole or not at all: an existing file is replaced only once the new one is
    // complete on disk. Throws SaveError, or veq::Error when the file cannot be written.
    SavedLog save(const std::filesystem::path& url, std::uint32_t bucketMs,
                  const std::optional<std::set<std::uint8_t>>& channels = std::nullopt);

private:
    void consume(std::stop_token stop);
    void takeIntake();        // caller holds stateMutex_
    void append(const Event& event); // caller holds stateMutex_

    const Date origin_;
    const std::size_t capacity_;

    std::mutex intakeMutex_;
    std::vector<Event> intake_;  // guarded by intakeMutex_
    std::uint64_t yielded_ = 0;  // guarded by intakeMutex_

    std::mutex stateMutex_;
    std::vector<Event> events_;           // guarded by stateMutex_
    std::vector<Event> spare_;            // guarded by stateMutex_; swapped with the intake
    std::optional<std::uint32_t> startMark_;
    std::optional<std::uint32_t> endMark_;
    std::size_t droppedForCapacity_ = 0;
    std::uint64_t consumed_ = 0;

    std::mutex wakeMutex_;
    std::condition_variable_any wake_;
    std::jthread consumer_; // last: stopped and joined before the state it uses goes away
};

} // namespace veq
