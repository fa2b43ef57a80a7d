#include "VEQProtocol/ELM327Parser.hpp"

#include <benchmark/benchmark.h>

#include <string_view>

namespace {

constexpr std::string_view kSingleFrame = "7E8 04 41 0C 1A F8 \r\r>";
constexpr std::string_view kVIN = "7E8 10 14 49 02 01 31 47 31 \r7E8 21 4A 43 35 34 34 34 52 \r"
                                  "7E8 22 37 32 35 32 33 36 37 \r\r>";

void parse(benchmark::State& state, std::string_view reply) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
    for (auto _ : state) {
        auto response = veq::ELM327Parser::parse(bytes, veq::FrameFormat::can11);
        benchmark::DoNotOptimize(response);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ParseSingleFrameWithHeaders(benchmark::State& state) { parse(state, kSingleFrame); }
void BM_ParseThreeFrameVIN(benchmark::State& state) { parse(state, kVIN); }

} // namespace

BENCHMARK(BM_ParseSingleFrameWithHeaders);
BENCHMARK(BM_ParseThreeFrameVIN);
