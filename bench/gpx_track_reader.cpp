// Reading GPX tracks: time must grow linearly with the file, for well-formed tracks and for
// files made to defeat a backtracking pattern matcher (start tags that never close, endless
// attributes, bodies without their closing tag).
#include "VEQStore/Export/GPXExporter.hpp"

#include <benchmark/benchmark.h>

#include <fmt/format.h>

#include <string>

namespace {

std::string track(std::size_t bytes) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\"><trk><trkseg>\n";
    for (std::size_t i = 0; out.size() < bytes; ++i) {
        out += fmt::format("<trkpt lat=\"{:.6f}\" lon=\"{:.6f}\">\n  <ele>{:.1f}</ele>\n  <time>2026-07-14T{:02}:{:02}:{:02}Z</time>\n"
                           "  <extensions>\n    <speed>12.50</speed>\n    <rpm>2100</rpm>\n  </extensions>\n</trkpt>\n",
                           45.0 + double(i % 100000) * 1e-5, 1.0 + double(i % 70000) * 1e-5, 100.0 + double(i % 300),
                           (i / 3600) % 24, (i / 60) % 60, i % 60);
    }
    return out + "</trkseg></trk></gpx>\n";
}

std::string repeated(std::string_view head, std::string_view piece, std::string_view tail, std::size_t bytes) {
    std::string out(head);
    while (out.size() < bytes) out += piece;
    return out += tail;
}

void read(benchmark::State& state, const std::string& text) {
    std::size_t points = 0;
    for (auto _ : state) {
        points = veq::GPXExporter::trackPoints(text).size();
        benchmark::DoNotOptimize(points);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.SetComplexityN(static_cast<std::int64_t>(text.size()));
    state.counters["points"] = double(points);
}

void BM_ReadTrack(benchmark::State& state) { read(state, track(std::size_t(state.range(0)))); }

void BM_ReadEndlessStartTag(benchmark::State& state) {
    read(state, repeated("<trkpt ", "lat=\"1\" ", ">", std::size_t(state.range(0))));
}

void BM_ReadUnclosedPoints(benchmark::State& state) {
    read(state, repeated("", "<trkpt lat=\"1\" lon=\"2\"><time>", "", std::size_t(state.range(0))));
}

void BM_ReadBodyOfUnclosedTimes(benchmark::State& state) {
    read(state, repeated("<trkpt lat=\"1\" lon=\"2\">", "<time>x<ele>", "</trkpt>", std::size_t(state.range(0))));
}

} // namespace

BENCHMARK(BM_ReadTrack)->RangeMultiplier(4)->Range(1 << 20, 64 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_ReadEndlessStartTag)->RangeMultiplier(4)->Range(1 << 20, 64 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_ReadUnclosedPoints)->RangeMultiplier(4)->Range(1 << 20, 64 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_ReadBodyOfUnclosedTimes)->RangeMultiplier(4)->Range(1 << 20, 64 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
