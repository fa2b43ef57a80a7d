#pragma once

#include "ScreenFixtures.hpp"

#include "VEQUI/Model/ConnectionFixtures.hpp"

#include <QAbstractButton>
#include <QEvent>

#include <chrono>
#include <condition_variable>
#include <mutex>

// What the terminal and bus monitor screens' tests share: the polling check, a gate for scripted
// replies, a paint counter and a scripted adapter that prints frames in monitor mode.
namespace veq::testing {

using namespace std::chrono_literals;

// Engine-speed samples the store has received so far.
inline std::int64_t engineSpeedSamples(const AppModel& model) {
    const auto found = model.store().stats().find(0x0C);
    return found == model.store().stats().end() ? 0 : found->second.sampleCount;
}

// Polling runs: new engine-speed samples keep arriving.
inline bool pollingAnswers(const AppModel& model) {
    const std::int64_t before = engineSpeedSamples(model);
    return waitUntil([&] { return engineSpeedSamples(model) >= before + 3; }, 15s);
}

// Keeps the event loop turning for a while, for checks that nothing more arrives.
inline void settleFor(std::chrono::milliseconds duration) { waitUntil([] { return false; }, duration); }

// A scripted reply waits here (at most 20 s) until the test opens it.
class ScriptGate {
public:
    void wait() {
        std::unique_lock lock(mutex_);
        reached_ = true;
        changed_.wait_for(lock, 20s, [&] { return open_; });
    }
    bool reached() {
        std::lock_guard lock(mutex_);
        return reached_;
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool open_ = false;
};

// An adapter that prints `frames` once monitor mode starts, after `gate` (when given) opens.
inline ScriptedCar::Script monitorPrinting(std::vector<std::string> frames, ScriptGate* gate = nullptr) {
    return [frames = std::move(frames), gate](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line != "ATMA") return std::nullopt;
        if (gate) gate->wait();
        std::string all;
        for (const std::string& frame : frames) all += frame + "\r";
        return std::vector<std::string>{all};
    };
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

inline QAbstractButton* button(const QWidget& root, const QString& name) { return only<QAbstractButton>(root, name); }

} // namespace veq::testing
