// Round trips through the whole exchange against the simulated car: the request is sent, the
// emulator answers inside send, the session's reader thread cuts the reply at the prompt and
// hands it to the waiting caller, which parses it and decodes the parameter.
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

void BM_SessionReadEngineSpeed(benchmark::State& state) {
    ::unsetenv("VEQ_TRACE"); // the trace is read when the session is made
    auto simulator = std::make_shared<veq::SimulatorTransport>();
    veq::ELM327Session session(simulator);
    session.connect();
    session.runInitialization();
    std::int64_t failures = 0;
    for (auto _ : state) {
        std::optional<veq::PIDReading> reading = session.read(0x0C);
        if (!reading) ++failures;
        benchmark::DoNotOptimize(reading);
    }
    session.disconnect();
    state.SetItemsProcessed(state.iterations());
    state.counters["round_trips_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["failed_reads"] = static_cast<double>(failures);
}

} // namespace

BENCHMARK(BM_SessionReadEngineSpeed)->UseRealTime();
