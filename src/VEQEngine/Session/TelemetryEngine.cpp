#include "VEQEngine/Session/TelemetryEngine.hpp"

#include "VEQEngine/Session/ExchangeCancelled.hpp"
#include "VEQEngine/Session/SessionTrace.hpp"
#include "VEQProtocol/PIDCatalog.hpp"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace veq {

namespace {

template <class Container>
bool holds(const Container& c, std::uint8_t pid) {
    return std::find(c.begin(), c.end(), pid) != c.end();
}

constexpr std::chrono::seconds kRateWindow{1};

// A sink that fails loses its own value, never the loop: the drive goes on being recorded.
template <class Call>
void deliver(const ELM327Session& session, Call&& call) {
    try {
        call();
    } catch (const std::exception& e) {
        if (session.traceEnabled()) {
            SessionTrace::write(SessionTrace::noteLine(std::string("le destinataire des mesures a échoué : ") + e.what()));
        }
    }
}

} // namespace

TelemetryEngine::TelemetryEngine(ELM327Session& session, TelemetrySink& sink)
    : TelemetryEngine(session, sink, Timing{}) {}

TelemetryEngine::TelemetryEngine(ELM327Session& session, TelemetrySink& sink, Timing timing)
    : session_(session), sink_(sink), timing_(std::move(timing)) {}

void TelemetryEngine::configure(const std::set<std::uint8_t>& supported) {
    std::vector<std::uint8_t> heroes;
    for (std::uint8_t pid : highPriorityCandidates) {
        if (supported.contains(pid)) heroes.push_back(pid);
    }
    std::vector<std::uint8_t> secondary;
    for (std::uint8_t pid : secondaryCandidates) {
        if (supported.contains(pid) && !holds(heroes, pid)) secondary.push_back(pid);
    }
    std::vector<std::uint8_t> rest;
    for (const PIDDefinition& definition : PIDCatalog::all()) {
        const std::uint8_t pid = definition.pid;
        if (!supported.contains(pid) || holds(nonPolledPIDs, pid) || holds(heroes, pid) || holds(secondary, pid)) {
            continue;
        }
        rest.push_back(pid);
    }
    std::lock_guard lock(mutex_);
    heroes_ = std::move(heroes);
    secondary_ = std::move(secondary);
    rest_ = std::move(rest);
}

void TelemetryEngine::run(std::stop_token stop) {
    std::stop_token token;
    {
        std::lock_guard lock(mutex_);
        if (std::exchange(stopPending_, false)) return;
        running_ = true;
        looping_ = true;
        runStop_ = std::stop_source();
        token = runStop_.get_token();
    }
    struct LoopEnd {
        TelemetryEngine& engine;
        ~LoopEnd() {
            std::lock_guard lock(engine.mutex_);
            engine.running_ = false;
            engine.looping_ = false;
        }
    } loopEnd{*this};
    const std::stop_callback cancelled(stop, [this] { this->stop(); });

    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (!running_) break;
            if (paused_) {
                changed_.wait_for(lock, timing_.pausedPoll, [&] { return !running_ || !paused_; });
                continue;
            }
        }
        if (!pollHighPriority(token)) break;
        pollInTurn(secondary_, secondaryCursor_, token);
        if (!isRunning()) break;
        if (!pollHighPriority(token)) break;
        pollInTurn(rest_, restCursor_, token);
        reportThroughput();

        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timing_.cyclePause, [&] { return !running_; });
    }
}

void TelemetryEngine::stop() {
    {
        std::lock_guard lock(mutex_);
        // A stop before the loop runs (its thread not yet under way) must not be lost.
        if (!looping_) stopPending_ = true;
        running_ = false;
        runStop_.request_stop();
    }
    changed_.notify_all();
}

void TelemetryEngine::pause() {
    std::lock_guard lock(mutex_);
    if (!std::exchange(paused_, true)) ++pauseEpoch_;
}

void TelemetryEngine::resume() {
    {
        std::lock_guard lock(mutex_);
        if (std::exchange(paused_, false)) ++pauseEpoch_;
    }
    changed_.notify_all();
}

std::vector<std::uint8_t> TelemetryEngine::heroes() const {
    std::lock_guard lock(mutex_);
    return heroes_;
}

std::vector<std::uint8_t> TelemetryEngine::secondary() const {
    std::lock_guard lock(mutex_);
    return secondary_;
}

std::vector<std::uint8_t> TelemetryEngine::rest() const {
    std::lock_guard lock(mutex_);
    return rest_;
}

bool TelemetryEngine::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

bool TelemetryEngine::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

// One pass over the high-priority list as it stood when the pass began; false once stopped.
bool TelemetryEngine::pollHighPriority(std::stop_token token) {
    const std::vector<std::uint8_t> pass = heroes();
    for (std::uint8_t pid : pass) {
        poll(pid, token);
        if (!isRunning()) return false;
    }
    return isRunning();
}

// The next parameter of a round-robin list; the cursor counts reads started and survives
// removals, so the next read takes the cursor modulo the list's new length.
void TelemetryEngine::pollInTurn(const std::vector<std::uint8_t>& list, std::size_t& cursor,
                                 std::stop_token token) {
    std::uint8_t pid = 0;
    {
        std::lock_guard lock(mutex_);
        if (!running_ || list.empty()) return;
        pid = list[cursor % list.size()];
        ++cursor;
    }
    poll(pid, token);
}

void TelemetryEngine::poll(std::uint8_t pid, std::stop_token token) {
    std::optional<PIDReading> reading;
    bool broken = false;
    try {
        ELM327Session::PolledRead read = session_.readPolled(pid, token);
        reading = std::move(read.reading);
        broken = read.broken;
    } catch (const ExchangeCancelled&) {
        if (token.stop_requested()) return; // the loop is ending; not the parameter's fault
    } catch (const TransportError& e) {
        // The link is gone: no parameter's fault, and no later read can succeed.
        if (e.kind() == TransportError::Kind::notConnected) throw;
    } catch (const std::exception&) {
        // A transport error counts as a failure of this parameter, nothing more.
    }

    if (!reading) {
        std::lock_guard lock(mutex_);
        // A failure while no other read succeeds is the car's or the adapter's silence, not this
        // parameter's: it counts only if another read succeeded since this one's previous read,
        // so a silence adds at most one counted failure and drops nothing.
        ReadRecord& record = reads_[pid];
        // A broken reply says nothing of the parameter, unless it always breaks.
        record.broken = broken ? record.broken + 1 : 0;
        const bool forgiven = record.broken > 0 && record.broken <= brokenInARowForgiven;
        if (!forgiven && successes_ > record.successesSeen && ++record.failures >= failureThreshold) dropLocked(pid);
        record.successesSeen = successes_;
        return;
    }
    TelemetrySample sample{pid, std::move(*reading), {}};
    {
        std::lock_guard lock(mutex_);
        reads_[pid] = ReadRecord{0, 0, ++successes_};
        const Clock::time_point now = timing_.now();
        requestTimestamps_.push_back(now);
        pruneRequestsLocked(now);
        // The time and the epoch under one lock: a pause comes wholly before or after the read's end.
        sample.timestamp = std::chrono::system_clock::now();
        sample.pauseEpoch = pauseEpoch_;
    }
    deliver(session_, [&] { sink_.ingest(sample); });
}

void TelemetryEngine::dropLocked(std::uint8_t pid) {
    for (std::vector<std::uint8_t>* list : {&heroes_, &secondary_, &rest_}) {
        list->erase(std::remove(list->begin(), list->end(), pid), list->end());
    }
}

// Keeps the successful reads of the last second; one exactly a second old stays.
void TelemetryEngine::pruneRequestsLocked(Clock::time_point now) {
    while (!requestTimestamps_.empty() && requestTimestamps_.front() < now - kRateWindow) {
        requestTimestamps_.pop_front();
    }
}

void TelemetryEngine::reportThroughput() {
    double rate = 0;
    {
        std::lock_guard lock(mutex_);
        // Pruned here too, so that a rate falls to zero when every read fails.
        pruneRequestsLocked(timing_.now());
        rate = static_cast<double>(requestTimestamps_.size());
    }
    deliver(session_, [&] { sink_.updateThroughput(rate); });
}

} // namespace veq
