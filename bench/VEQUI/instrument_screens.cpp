// The GUI thread's share of one core while a live screen shows a car polled at 2,400 samples a
// second over 30 parameters: the samples cross the store's hand-over from a polling thread, the
// store applies them, and the screen refreshes at its display tick and paints (offscreen, vector
// gauges animating). Target: under 20 % of one core for the cockpit and for the live-data list.
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Instruments/CockpitView.hpp"
#include "VEQUI/Views/Instruments/LiveDataView.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include "BenchEnvironment.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "WidgetBenchmarks.hpp"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>


#include <array>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

namespace {

using veq::bench::PaintCounter;
using veq::bench::threadCPUSeconds;

using Clock = std::chrono::system_clock;

// The 16 baseline parameters and 14 more a car commonly declares.
constexpr std::array<std::uint8_t, 30> parameters{0x04, 0x05, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x1F,
                                                  0x2F, 0x42, 0x46, 0x5C, 0x5E, 0xA4, 0x06, 0x07, 0x0A, 0x14,
                                                  0x15, 0x21, 0x23, 0x2C, 0x31, 0x33, 0x3C, 0x43, 0x45, 0x49};
constexpr int samplesPerSecond = 2'400;
constexpr auto batchInterval = std::chrono::milliseconds(5);


// A plausible value for each parameter, moving with time so that every screen has work.
double valueOf(std::uint8_t pid, double t) {
    const double wave = 0.5 + 0.5 * std::sin(t * 0.7 + pid);
    switch (pid) {
    case 0x0C: return 800 + 5200 * wave;
    case 0x0D: return 130 * wave;
    case 0x05: return 70 + 30 * wave;
    case 0x5C: return 80 + 40 * wave;
    case 0xA4: return 1 + std::floor(8 * wave);
    default: return 100 * wave;
    }
}


// Runs the screen made by `make` over a model fed like a live car for a few seconds; reports the
// GUI thread's processor time as a share of the wall time.
void liveScreen(benchmark::State& state, const std::function<std::unique_ptr<QWidget>(veq::AppModel&)>& make) {
    veq::testing::TemporaryFolder scratch;
    veq::AppModel::Environment environment;
    environment.dataFolder = scratch.path();
    environment.locationSource = [] { return nullptr; };
    veq::AppModel model(std::move(environment));
    veq::TelemetryStore& store = model.store();
    store.startRecording({parameters.begin(), parameters.end()}, scratch.path(), false);
    store.openIntake(1);
    const auto screen = make(model);
    screen->resize(1069, 800);
    screen->show();
    QCoreApplication::processEvents();

    const double seconds = veq::bench::lengthFromEnvironment("VEQ_BENCH_SECONDS", 5.0);
    for (auto _ : state) {
        std::stop_source stop;
        const auto sink = store.makeSink(1, stop.get_token());
        std::jthread polling([sink, token = stop.get_token()] {
            const auto start = std::chrono::steady_clock::now();
            std::int64_t sent = 0;
            auto next = start;
            while (!token.stop_requested()) {
                next += batchInterval;
                std::this_thread::sleep_until(next);
                const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                const auto due = static_cast<std::int64_t>(elapsed * samplesPerSecond);
                for (; sent < due; ++sent) {
                    const std::uint8_t pid = parameters[static_cast<std::size_t>(sent) % parameters.size()];
                    sink->ingest({pid, veq::PIDReading::measurement(valueOf(pid, elapsed), veq::MeasurementUnit::none),
                                  Clock::now()});
                }
                if (sent % samplesPerSecond < 12) sink->updateThroughput(samplesPerSecond);
            }
        });
        PaintCounter counter(*screen);
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(static_cast<int>(seconds * 1000)), &loop, &QEventLoop::quit);
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = threadCPUSeconds();
        loop.exec();
        const double cpu = threadCPUSeconds() - cpuStart;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        stop.request_stop();
        polling.join();
        state.counters["gui_cpu_%"] = 100.0 * cpu / wall;
        state.counters["wall_s"] = wall;
        state.counters["paints/s"] = static_cast<double>(counter.paints) / wall;
    }
    const auto it = store.stats().find(0x0C);
    const auto perParameter = it == store.stats().end() ? 0 : it->second.sampleCount;
    state.counters["samples_applied"] = static_cast<double>(perParameter * static_cast<std::int64_t>(parameters.size()));
    store.closeIntake();
    store.reset();
}

void BM_LiveCockpit(benchmark::State& state) {
    liveScreen(state, [](veq::AppModel& model) { return std::make_unique<veq::CockpitView>(model); });
}

void BM_LiveDataList(benchmark::State& state) {
    liveScreen(state, [](veq::AppModel& model) { return std::make_unique<veq::LiveDataView>(model); });
}

// One display tick of a screen drawn whole into an image, values changing every tick: the cost
// of a frame without the event loop around it.
template <typename Screen>
void screenFrame(benchmark::State& state) {
    veq::testing::TemporaryFolder scratch;
    veq::AppModel::Environment environment;
    environment.dataFolder = scratch.path();
    environment.locationSource = [] { return nullptr; };
    veq::AppModel model(std::move(environment));
    Screen screen(model);
    screen.coalescer().setManualTicks(true);
    screen.resize(1069, 800);
    QImage frame(screen.size(), QImage::Format_ARGB32_Premultiplied);
    long long n = 0;
    for (auto _ : state) {
        const double t = static_cast<double>(n++) / 60.0;
        for (const auto pid : parameters) {
            const auto reading = veq::PIDReading::measurement(valueOf(pid, t), veq::MeasurementUnit::none);
            model.store().ingest({pid, reading, Clock::now()});
        }
        screen.coalescer().tick();
        screen.render(&frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
}

void BM_CockpitFrame(benchmark::State& state) { screenFrame<veq::CockpitView>(state); }
void BM_LiveDataFrame(benchmark::State& state) { screenFrame<veq::LiveDataView>(state); }

// The same feed with no screen: the store's own share.
void BM_StoreAlone(benchmark::State& state) {
    liveScreen(state, [](veq::AppModel&) { return std::make_unique<QWidget>(); });
}

} // namespace

BENCHMARK(BM_CockpitFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveDataFrame)->Unit(benchmark::kMillisecond);
// A fixed count of frames, for instruction counts under a profiler.
BENCHMARK(BM_CockpitFrame)->Name("BM_CockpitSixtyFrames")->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveDataFrame)->Name("BM_LiveDataSixtyFrames")->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreAlone)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_LiveCockpit)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_LiveDataList)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) { return veq::bench::runWidgetBenchmarks(argc, argv, veq::configureIconTheme); }
