#include "VEQProtocol/ELM327Parser.hpp"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string_view>

// Counts heap allocations so the report shows what one parse costs beyond its result.
static std::atomic<long> gAllocations{0};

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// GCC cannot see that these pair with the operator new above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

constexpr std::string_view kSingleFrame = "7E8 04 41 0C 1A F8 \r\r>";
constexpr std::string_view kVIN = "7E8 10 14 49 02 01 31 47 31 \r7E8 21 4A 43 35 34 34 34 52 \r"
                                  "7E8 22 37 32 35 32 33 36 37 \r\r>";

void parse(benchmark::State& state, std::string_view reply) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
    const long before = gAllocations.load();
    for (auto _ : state) {
        auto response = veq::ELM327Parser::parse(bytes, veq::FrameFormat::can11);
        benchmark::DoNotOptimize(response);
    }
    state.SetItemsProcessed(state.iterations());
    // Expected: the response's own vectors and strings only (lines, ECU list, payload, header).
    state.counters["allocs_per_parse"] =
        static_cast<double>(gAllocations.load() - before) / static_cast<double>(state.iterations());
}

void BM_ParseSingleFrameWithHeaders(benchmark::State& state) { parse(state, kSingleFrame); }
void BM_ParseThreeFrameVIN(benchmark::State& state) { parse(state, kVIN); }

} // namespace

BENCHMARK(BM_ParseSingleFrameWithHeaders);
BENCHMARK(BM_ParseThreeFrameVIN);
