// The live-value store fed as the polling thread feeds it: 30 parameters handed over through the
// bounded queue and applied on the GUI thread (statistics, trip, snapshots, the drive's file and
// the event recorder). Reports samples applied per second, and resident memory along a simulated
// three-hour drive (snapshots capped at 40,000, about 2 h 47 min).
#include "BenchEnvironment.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "VEQStore/Telemetry/EventRecorder.hpp"
#include "VEQUI/Model/TelemetryStore.hpp"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Date = std::chrono::system_clock::time_point;

// The 16 baseline parameters and 14 more a car commonly declares.
constexpr std::array<std::uint8_t, 30> parameters{0x04, 0x05, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x1F,
                                                  0x2F, 0x42, 0x46, 0x5C, 0x5E, 0xA4, 0x06, 0x07, 0x0A, 0x14,
                                                  0x15, 0x21, 0x23, 0x2C, 0x31, 0x33, 0x3C, 0x43, 0x45, 0x49};
// What the engine delivers against a fast adapter.
constexpr int samplesPerSecond = 2'400;

const Date driveStart = Date(std::chrono::seconds(1'772'355'600));

Date sampleTime(std::int64_t index) {
    return driveStart + std::chrono::microseconds(index * 1'000'000 / samplesPerSecond);
}

veq::TelemetrySample sample(std::int64_t index) {
    const std::uint8_t pid = parameters[static_cast<std::size_t>(index) % parameters.size()];
    const double value = 50.0 + static_cast<double>(index % 997) * 0.1;
    return {pid, veq::PIDReading::measurement(value, veq::MeasurementUnit::none), sampleTime(index)};
}

double residentMiB() {
#if defined(__linux__)
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        long size = 0, resident = 0;
        const int read = std::fscanf(statm, "%ld %ld", &size, &resident);
        std::fclose(statm);
        if (read == 2) return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1048576.0;
    }
#endif
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A drive being recorded, as while connected: open file, event recorder of the connection.
struct LiveStore {
    veq::testing::TemporaryFolder folder; // first: removed once the store has closed its file
    veq::TelemetryStore store;
    std::shared_ptr<veq::EventRecorder> recorder;

    explicit LiveStore(bool withRecorder) {
        store.startRecording({parameters.begin(), parameters.end()}, folder.path(), true);
        if (withRecorder) {
            recorder = std::make_shared<veq::EventRecorder>(driveStart, 2'000'000);
            store.setEventSink([r = recorder](std::uint8_t channel, float value, Date at) { r->record(channel, value, at); });
        }
        store.openIntake(1);
    }
    ~LiveStore() {
        store.closeIntake();
        store.reset();
    }
};

// Samples handed over from a polling thread and applied on this (GUI) thread. With `timer`, only
// the store's 16 ms timer drains the queue, as in the application; otherwise this thread drains
// as fast as it can, which measures the store's own cost.
void handOver(benchmark::State& state, bool timer) {
    constexpr std::int64_t perIteration = 240'000; // 100 s of driving
    LiveStore live(true);
    std::int64_t next = 0;
    for (auto _ : state) {
        const std::int64_t first = next;
        next += perIteration;
        const auto sink = live.store.makeSink(1);
        std::jthread polling([sink, first, last = next] {
            for (std::int64_t i = first; i < last; ++i) sink->ingest(sample(i));
        });
        const auto applied = [&] {
            const auto it = live.store.stats().find(parameters[0]);
            return it != live.store.stats().end() &&
                   it->second.sampleCount == static_cast<std::int64_t>(next / static_cast<std::int64_t>(parameters.size()));
        };
        while (!applied()) {
            if (timer) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            } else {
                live.store.drainIntake();
            }
        }
        polling.join();
        live.store.drainIntake();
    }
    state.SetItemsProcessed(state.iterations() * perIteration);
    state.counters["samples/s"] = benchmark::Counter(static_cast<double>(state.iterations() * perIteration),
                                                     benchmark::Counter::kIsRate);
}

void BM_HandOverDrainedContinuously(benchmark::State& state) { handOver(state, false); }
void BM_HandOverDrainedByTimer(benchmark::State& state) { handOver(state, true); }

// Three hours of samples at the engine's rate through the hand-over, resident memory read at
// marks along the way. The event recorder is left out: its own capacity bounds it, and it
// would hide the store's curve.
void BM_ThreeHourDriveMemory(benchmark::State& state) {
    const double hours = veq::bench::lengthFromEnvironment("VEQ_BENCH_DRIVE_HOURS", 3.0);
    const auto total = static_cast<std::int64_t>(hours * 3600 * samplesPerSecond);
    const std::array<double, 6> marks{0.5, 1.0, 2.0, 2.5, 2.78, 3.0};
    for (auto _ : state) {
        LiveStore live(false);
        const auto sink = live.store.makeSink(1);
        std::size_t nextMark = 0;
        std::jthread polling([sink, total] {
            for (std::int64_t i = 0; i < total; ++i) sink->ingest(sample(i));
        });
        std::int64_t applied = 0;
        while (applied < total) {
            live.store.drainIntake();
            const auto it = live.store.stats().find(parameters[0]);
            applied = it == live.store.stats().end() ? 0 : it->second.sampleCount * static_cast<std::int64_t>(parameters.size());
            const double drivenHours = static_cast<double>(applied) / samplesPerSecond / 3600.0;
            while (nextMark < marks.size() && drivenHours >= marks[nextMark]) {
                state.counters["MiB@" + std::to_string(marks[nextMark]).substr(0, 4) + "h"] = residentMiB();
                ++nextMark;
            }
        }
        polling.join();
        state.counters["snapshots"] = static_cast<double>(live.store.snapshots().size());
        state.counters["fileRecords"] = static_cast<double>(live.store.recordedSampleCount());
    }
}

} // namespace

BENCHMARK(BM_HandOverDrainedContinuously)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HandOverDrainedByTimer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ThreeHourDriveMemory)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
