// The bus monitor's line handling: adapter lines turned into rows (parse, identifier, change
// marks) over a bus of 1,000 distinct identifiers, a quarter of them 29-bit with spaced headers.
// Target: at least 200,000 lines per second, the table bounded. The second run adds the bounded
// hand-over between the reading thread and the thread that applies the frames.
#include "VEQUI/Model/CANFrameTable.hpp"
#include "VEQUI/Model/MonitorHandOver.hpp"
#include "VEQUI/Model/MonitorLine.hpp"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int identifiers = 1000;
constexpr int linesPerIdentifier = 20;

// Each identifier's frames in turn, a counter byte and a slowly moving value changing between them.
std::vector<std::string> busLines() {
    std::vector<std::string> lines;
    lines.reserve(identifiers * linesPerIdentifier);
    for (int round = 0; round < linesPerIdentifier; ++round) {
        for (int id = 0; id < identifiers; ++id) {
            const std::string header = id % 4 == 0 ? fmt::format("18 DA {:02X} F1", id / 4 % 256)
                                                   : fmt::format("{:03X}", id % 2048);
            lines.push_back(fmt::format("{} 08 {:02X} 00 {:02X} 7F 00 00 {:02X}", header, round % 256, id % 256,
                                        (round / 5) % 256));
        }
    }
    return lines;
}

void ParseAndApply(benchmark::State& state) {
    const std::vector<std::string> lines = busLines();
    veq::CANFrameTable table;
    const auto now = std::chrono::system_clock::now();
    for (auto _ : state) {
        for (const std::string& line : lines) {
            if (auto frame = veq::MonitorFrame::parse(line, now)) table.apply(*frame);
        }
        benchmark::DoNotOptimize(table.size());
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations() * lines.size()),
                                                   benchmark::Counter::kIsRate);
    state.counters["rows"] = static_cast<double>(table.size());
}
BENCHMARK(ParseAndApply)->Unit(benchmark::kMillisecond);

// The reading thread parses and hands over in batches of 256; this thread takes and applies.
void ParseHandOverAndApply(benchmark::State& state) {
    const std::vector<std::string> lines = busLines();
    veq::CANFrameTable table;
    for (auto _ : state) {
        veq::MonitorHandOver handOver;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            std::vector<veq::MonitorFrame> batch;
            const auto now = std::chrono::system_clock::now();
            for (const std::string& line : lines) {
                if (auto frame = veq::MonitorFrame::parse(line, now)) batch.push_back(std::move(*frame));
                if (batch.size() == 256) handOver.push(batch, {});
            }
            handOver.push(batch, {});
            done = true;
        });
        std::vector<veq::MonitorFrame> frames;
        while (true) {
            const bool finished = done.load();
            handOver.takeAll(frames);
            for (const veq::MonitorFrame& frame : frames) table.apply(frame);
            if (finished && frames.empty()) break;
        }
        reader.join();
        benchmark::DoNotOptimize(table.size());
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations() * lines.size()),
                                                   benchmark::Counter::kIsRate);
    state.counters["rows"] = static_cast<double>(table.size());
}
BENCHMARK(ParseHandOverAndApply)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
