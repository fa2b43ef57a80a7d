// The bus monitor: polling paused, the adapter printing every frame it hears, the model keeping
// one row per identifier and, on request, a recording for the ASC trace.
//
// One task runs the whole monitor, from the pause of polling to its resumption: it pauses, waits
// for the adapter to settle, enters monitor mode, reads the lines until it is stopped, leaves
// monitor mode, and only then resumes polling. A stop at any point (during the settling pause,
// while monitor mode starts) ends it the same way. Runs take turns on the adapter, so a new
// start never overlaps the end of the previous one. The lines become frames on the task's thread
// and reach the GUI thread in bounded batches.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQUI/Model/MonitorHandOver.hpp"
#include "VEQUI/Model/Observable.hpp"
#include "VEQUI/Model/StopEither.hpp"

#include <QMetaObject>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace veq {

namespace {

using namespace std::chrono_literals;

// A batch goes to the GUI thread when it holds this many frames, when it is this old, or when
// the bus falls silent.
constexpr std::size_t batchFrames = 256;
constexpr std::chrono::milliseconds batchAge{16};
constexpr std::chrono::milliseconds lineWait{10};

// A pause a stop request cuts short.
void pauseFor(std::chrono::nanoseconds duration, const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, stop, duration, [] { return false; });
}

// Reads the stream's lines into frames and hands them over, until `stop` or until the stream
// ends; `postDrain` is called when the GUI thread must be asked to take them. True when the
// stream ended by itself.
bool pumpFrames(MonitorStream& stream, MonitorHandOver& handOver, const std::function<void()>& postDrain,
                std::stop_token stop) {
    std::vector<MonitorFrame> batch;
    std::chrono::steady_clock::time_point batchStart;
    const auto flush = [&] {
        if (handOver.push(batch, stop)) postDrain();
        batch.clear();
    };
    while (!stop.stop_requested()) {
        const std::optional<std::string> line = stream.pop(lineWait, stop);
        if (line) {
            if (auto frame = MonitorFrame::parse(*line, std::chrono::system_clock::now())) {
                if (batch.empty()) batchStart = std::chrono::steady_clock::now();
                batch.push_back(std::move(*frame));
            }
        } else if (stream.finished()) {
            flush();
            return true;
        }
        if (!batch.empty() && (!line || batch.size() >= batchFrames ||
                               std::chrono::steady_clock::now() - batchStart >= batchAge)) {
            flush();
        }
    }
    flush();
    return false;
}

} // namespace

// One monitor run holds the adapter at a time; the next waits for it to have left monitor mode.
class AppModel::MonitorTurn {
public:
    // False when `stop` came first.
    bool take(const std::stop_token& stop) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait(lock, stop, [&] { return !taken_; }) || stop.stop_requested()) return false;
        taken_ = true;
        return true;
    }
    void give() {
        {
            std::lock_guard lock(mutex_);
            taken_ = false;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    bool taken_ = false;
};

void AppModel::startSniffer() {
    if (phase_.kind != Phase::Kind::live || !session_ || sniffing_) return;
    setSniffing(true);
    setSnifferRows(CANFrameTable{});
    if (!monitorTurn_) monitorTurn_ = std::make_shared<MonitorTurn>();

    const std::uint64_t run = ++monitorRun_;
    auto handOver = std::make_shared<MonitorHandOver>();
    snifferTask_ = workers_.start([this, run, handOver, session = session_, pause = pollingPause_, turn = monitorTurn_,
                                   startPause = environment_.connectionTiming.monitorStartPause,
                                   connection = connectionStop_.get_token()](std::stop_token cancel) {
        const StopEither either(cancel, connection);
        const std::stop_token stop = either.token();
        // The run ends by itself (no monitor mode, or the adapter left it): the screen learns it.
        const auto ended = [this, run] {
            QMetaObject::invokeMethod(
                this,
                [this, run] {
                    if (monitorRun_ == run) setSniffing(false);
                },
                Qt::QueuedConnection);
        };

        if (!turn->take(stop)) return;
        struct TurnScope {
            MonitorTurn& turn;
            ~TurnScope() { turn.give(); }
        } turnScope{*turn};

        // Declared first, so that it ends last: polling resumes after monitor mode has ended.
        PollingPause::Lease lease = PollingPause::hold(pause);
        pauseFor(startPause, stop);
        if (stop.stop_requested()) return;

        std::shared_ptr<MonitorStream> stream;
        try {
            stream = session->startMonitoring(stop);
        } catch (const std::exception&) {
            ended();
            return;
        }
        // The user's stop lets the adapter be restored in full; the end of the connection cuts the
        // restore short (the next exchange would finish it).
        struct MonitorScope {
            ELM327Session& session;
            const std::stop_token& stop;
            ~MonitorScope() { session.stopMonitoring(stop); }
        } monitorScope{*session, connection};
        if (stop.stop_requested()) return;

        const auto postDrain = [this, run, handOver] {
            QMetaObject::invokeMethod(
                this,
                [this, run, handOver] {
                    std::vector<MonitorFrame> frames;
                    handOver->takeAll(frames);
                    if (monitorRun_ == run) applyMonitorFrames(frames);
                },
                Qt::QueuedConnection);
        };
        if (pumpFrames(*stream, *handOver, postDrain, stop)) ended();
    });
}

void AppModel::stopSniffer() {
    if (!sniffing_) return;
    setSniffing(false);
    // The task leaves monitor mode, then resumes polling; frames still on their way are dropped.
    ++monitorRun_;
    snifferTask_.cancel();
}

void AppModel::toggleSnifferRecording() {
    const bool on = !snifferRecording_;
    setSnifferRecording(on);
    if (!on) return;
    recordStart_ = std::chrono::system_clock::now();
    setRecordedFrames({});
}

std::string AppModel::snifferASCText() const { return ASCTrace::text(recordedFrames_, std::chrono::system_clock::now()); }

void AppModel::ingestFrame(std::string_view line) {
    if (auto frame = MonitorFrame::parse(line, std::chrono::system_clock::now())) applyMonitorFrames({*frame});
}

void AppModel::applyMonitorFrames(const std::vector<MonitorFrame>& frames) {
    bool rowsChanged = false;
    bool recorded = false;
    for (const MonitorFrame& frame : frames) {
        rowsChanged = snifferRows_.apply(frame) || rowsChanged;
        if (!snifferRecording_ || recordedFrames_.size() >= maxRecordedFrames) continue;
        const double t =
            recordStart_ ? std::max(0.0, std::chrono::duration<double>(frame.at - *recordStart_).count()) : 0.0;
        const auto data = frame.data();
        recordedFrames_.push_back({t, frame.id, {data.begin(), data.end()}});
        recorded = true;
    }
    if (rowsChanged) Q_EMIT snifferRowsChanged();
    if (recorded) Q_EMIT recordedFramesChanged();
}

} // namespace veq
