// The replay screen on the GUI thread, offscreen at 869 x 680 (the content area of the smallest
// window), over a store filled to its cap of 40,000 snapshots of 30 parameters (2 h 47 min).
// Targets:
// - a scrub step (the slider moved, the lookup, the eight dials' repaint) under 8 ms of GUI thread;
// - playing at 16x under 10 % of a core (GUI thread's processor time over the wall time);
// - paused with settled needles, nothing measurable: no tick, no paint, no processor time to speak of.
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Kit/AppLook.hpp"
#include "VEQUI/Views/Trips/ReplayView.hpp"

#include "BenchEnvironment.hpp"
#include "DriveBenchmarks.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/RecordingDialogs.hpp"
#include "WidgetBenchmarks.hpp"

#include <benchmark/benchmark.h>

#include <QSlider>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

using veq::bench::PaintCounter;
using veq::bench::settle;
using veq::bench::threadCPUSeconds;

using namespace veq;
using Steady = std::chrono::steady_clock;

const QSize contentArea(869, 680);
constexpr int parameterCount = 30;
constexpr std::uint8_t firstPID = 0x04; // 0x04 ... 0x21: engine speed, the road layout's band, and more

double benchSeconds() { return veq::bench::lengthFromEnvironment("VEQ_BENCH_SECONDS", 5.0); }

// A model whose store holds the cap of snapshots, each with the 30 parameters, their values
// wandering over their scales.
struct Fixture : veq::bench::ScratchModel {
    Fixture() {
        TelemetryStore& store = model->store();
        const auto start = std::chrono::system_clock::now() - std::chrono::hours{3};
        const std::size_t snapshots = TelemetryStore::snapshotCapacity + 100; // the oldest fall out
        for (std::size_t i = 0; i < snapshots; ++i) {
            const auto at = start + TelemetryStore::snapshotInterval * static_cast<int>(i);
            for (int p = 0; p < parameterCount; ++p) {
                const auto pid = static_cast<std::uint8_t>(firstPID + p);
                const GaugeScale scale = GaugeScale::defaultFor(pid);
                const double wave = 0.5 + 0.45 * std::sin(static_cast<double>(i) * 0.013 + p);
                store.ingest(testing::measured(pid, scale.min + wave * (scale.max - scale.min), at));
            }
        }
    }
};

// The paints of the dials alone.
struct DialPaints {
    std::vector<std::unique_ptr<PaintCounter>> counters;
    explicit DialPaints(const ReplayView& view) {
        for (CircularGaugeView* gauge : view.gauges()) counters.push_back(std::make_unique<PaintCounter>(*gauge));
    }
    long long total() const {
        long long n = 0;
        for (const auto& counter : counters) n += counter->paints;
        return n;
    }
};

struct Screen {
    Fixture fixture;
    ReplayView view{*fixture.model}; // its dials exist from the start: the store has snapshots
    DialPaints dials{view};

    Screen() {
        view.resize(contentArea);
        view.show();
        settle([this] { return !view.ticking() && dials.total() > 0; });
    }

    bool ready(benchmark::State& state) const {
        if (view.gauges().size() == 8 && fixture.model->store().snapshots().size() == TelemetryStore::snapshotCapacity) {
            return true;
        }
        state.SkipWithError("the store or the dials are not as the benchmark needs them");
        return false;
    }
};

void BM_ReplayScrubStep(benchmark::State& state) {
    Screen screen;
    if (!screen.ready(state)) return;
    QSlider* slider = screen.view.findChild<QSlider*>(QStringLiteral("replaySlider"));
    std::mt19937 random(51);
    std::uniform_int_distribution<int> position(slider->minimum(), slider->maximum());
    std::vector<double> stepsMs;
    for (auto _ : state) {
        const long long before = screen.dials.total();
        const double cpu = threadCPUSeconds();
        slider->setValue(position(random));
        // The lookup and the new values; then the dials' paint (the window's next frame).
        const bool painted = settle([&] { return screen.dials.total() >= before + 8; });
        const double ms = (threadCPUSeconds() - cpu) * 1000;
        if (!painted) {
            state.SkipWithError("a scrub step did not repaint the eight dials");
            return;
        }
        state.SetIterationTime(ms / 1000);
        stepsMs.push_back(ms);
        state.PauseTiming();
        settle([&] { return !screen.view.ticking(); }); // the needles' springs, not the step
        state.ResumeTiming();
    }
    if (stepsMs.empty()) return;
    std::sort(stepsMs.begin(), stepsMs.end());
    double total = 0;
    for (const double ms : stepsMs) total += ms;
    state.counters["step_gui_ms"] = total / static_cast<double>(stepsMs.size());
    state.counters["step_gui_p95_ms"] = stepsMs[stepsMs.size() * 95 / 100];
    state.counters["step_gui_max_ms"] = stepsMs.back();
}

void BM_ReplayPlaying16x(benchmark::State& state) {
    Screen screen;
    if (!screen.ready(state)) return;
    screen.view.setRateIndex(2);
    for (auto _ : state) {
        screen.view.seek(600);
        const double startTime = screen.view.time();
        const long long paints = screen.dials.total();
        screen.view.setPlaying(true);
        const auto wallStart = Steady::now();
        const double cpu = threadCPUSeconds();
        const auto limit = std::chrono::milliseconds(static_cast<long long>(benchSeconds() * 1000));
        settle([] { return false; }, limit);
        const double used = threadCPUSeconds() - cpu;
        const double wall = std::chrono::duration<double>(Steady::now() - wallStart).count();
        screen.view.setPlaying(false);
        state.SetIterationTime(wall);
        state.counters["gui_core_percent"] = 100 * used / wall;
        state.counters["replayed_s_per_s"] = (screen.view.time() - startTime) / wall;
        state.counters["dial_paints_per_s"] = static_cast<double>(screen.dials.total() - paints) / wall;
    }
}

void BM_ReplayPaused(benchmark::State& state) {
    Screen screen;
    if (!screen.ready(state)) return;
    screen.view.seek(1000);
    screen.view.setPlaying(true);
    settle([] { return false; }, std::chrono::milliseconds(300));
    screen.view.setPlaying(false);
    if (!settle([&] { return !screen.view.ticking(); })) {
        state.SkipWithError("the needles never settled");
        return;
    }
    settle([] { return false; }, std::chrono::milliseconds(200)); // the last frame's paint
    for (auto _ : state) {
        const long long paints = screen.dials.total();
        const auto wallStart = Steady::now();
        const double cpu = threadCPUSeconds();
        settle([] { return false; }, std::chrono::milliseconds(static_cast<long long>(benchSeconds() * 1000)));
        const double used = threadCPUSeconds() - cpu;
        const double wall = std::chrono::duration<double>(Steady::now() - wallStart).count();
        state.SetIterationTime(wall);
        state.counters["gui_core_percent"] = 100 * used / wall;
        state.counters["paints"] = static_cast<double>(screen.dials.total() - paints);
        state.counters["ticking"] = screen.view.ticking() ? 1 : 0;
    }
}

} // namespace

BENCHMARK(BM_ReplayScrubStep)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(200);
BENCHMARK(BM_ReplayPlaying16x)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_ReplayPaused)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

int main(int argc, char** argv) { return veq::bench::runWidgetBenchmarks(argc, argv, veq::applyApplicationLook); }
