// The polling engine against the simulated car for ten seconds (VEQ_BENCH_POLL_SECONDS for a
// longer run), with a sink that only counts: the sample rate it reaches and whether memory stays flat
// once the first seconds are past.
#include "BenchEnvironment.hpp"
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/Session/TelemetryEngine.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

class CountingSink final : public veq::TelemetrySink {
public:
    void ingest(const veq::TelemetrySample&) override { samples.fetch_add(1, std::memory_order_relaxed); }
    void updateThroughput(double requestsPerSecond) override {
        lastRate.store(requestsPerSecond, std::memory_order_relaxed);
    }
    std::atomic<std::uint64_t> samples{0};
    std::atomic<double> lastRate{0};
};

// Resident memory now, in KiB (the peak where the current figure cannot be read).
double residentKiB() {
#if defined(__linux__)
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        long size = 0, resident = 0;
        const int read = std::fscanf(statm, "%ld %ld", &size, &resident);
        std::fclose(statm);
        if (read == 2) return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1024.0;
    }
#endif
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss);
}

void BM_TelemetryPoll(benchmark::State& state) {
    ::unsetenv("VEQ_TRACE");
    const int seconds = static_cast<int>(veq::bench::lengthFromEnvironment("VEQ_BENCH_POLL_SECONDS", 10, 6));
    for (auto _ : state) {
        auto simulator = std::make_shared<veq::SimulatorTransport>();
        veq::ELM327Session session(simulator);
        session.connect();
        session.runInitialization();
        CountingSink sink;
        veq::TelemetryEngine engine(session, sink);
        engine.configure(session.discoverSupportedPIDs());

        std::jthread poller([&](std::stop_token stop) { engine.run(stop); });
        double afterWarmUp = 0;
        double highest = 0;
        std::uint64_t samplesAtWarmUp = 0;
        for (int second = 1; second <= seconds; ++second) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const double resident = residentKiB();
            if (second == 5) {
                afterWarmUp = resident;
                samplesAtWarmUp = sink.samples.load();
            }
            if (second >= 5) highest = std::max(highest, resident);
        }
        const double atEnd = residentKiB();
        const std::uint64_t samples = sink.samples.load();
        poller.request_stop();
        poller.join();
        session.disconnect();

        state.counters["samples_per_s"] = static_cast<double>(samples) / seconds;
        state.counters["samples_per_s_after_5s"] =
            static_cast<double>(samples - samplesAtWarmUp) / (seconds - 5);
        state.counters["reported_rate"] = sink.lastRate.load();
        state.counters["rss_KiB_at_5s"] = afterWarmUp;
        state.counters["rss_KiB_at_end"] = atEnd;
        state.counters["rss_growth_KiB_after_5s"] = highest - afterWarmUp;
        state.counters["parameters_polled"] =
            static_cast<double>(engine.heroes().size() + engine.secondary().size() + engine.rest().size());
    }
}

} // namespace

BENCHMARK(BM_TelemetryPoll)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
