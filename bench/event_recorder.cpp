#include "VEQStore/Telemetry/EventRecorder.hpp"

#include <benchmark/benchmark.h>

namespace {

const veq::EventRecorder::Date origin{std::chrono::seconds(1'700'000'000)};

// Cost of one record() call as the caller sees it, with the worker taking events in behind it
// and the capacity of a real connection (so the drops of a long drive are included).
void BM_Record(benchmark::State& state) {
    static veq::EventRecorder* recorder = nullptr;
    if (state.thread_index() == 0) recorder = new veq::EventRecorder(origin, 2'000'000);
    const auto channel = static_cast<std::uint8_t>(state.thread_index());
    std::uint32_t n = 0;
    for (auto _ : state) {
        recorder->record(channel, static_cast<float>(n), origin + std::chrono::milliseconds(n & 0xFFFFFF));
        ++n;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    if (state.thread_index() == 0) {
        delete recorder;
        recorder = nullptr;
    }
}

} // namespace

BENCHMARK(BM_Record)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Record)->Threads(4)->Repetitions(9)->ReportAggregatesOnly(true);
