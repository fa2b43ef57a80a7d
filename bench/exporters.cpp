// Export of a one-hour drive at 4 Hz with 70 channels (14,400 records): MDF 4.10 and CSV
// (target under 50 ms each), JSON for comparison.
#include "VEQStore/Export/Exporters.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>

namespace {

veq::TelemetryFile::Contents oneHourDrive() {
    constexpr std::size_t channelCount = 70;
    constexpr std::uint32_t recordCount = 3600 * 4;
    veq::TelemetryFile::Contents drive;
    drive.startDate = std::chrono::sys_days{std::chrono::year{2024} / 7 / 1} + std::chrono::hours{8};
    for (std::size_t k = 0; k < channelCount; ++k) {
        drive.channels.push_back({static_cast<std::uint8_t>(k + 1), "Canal " + std::to_string(k + 1)});
    }
    std::mt19937 random(70);
    std::bernoulli_distribution missing(0.1);
    std::normal_distribution<float> noise(0.0f, 3.0f);
    for (std::uint32_t r = 0; r < recordCount; ++r) {
        veq::TelemetryFile::Record record{r * 250, {}};
        record.values.reserve(channelCount);
        for (std::size_t k = 0; k < channelCount; ++k) {
            if (missing(random)) record.values.push_back(std::nullopt);
            else record.values.push_back(static_cast<float>(k * 40) + 25.0f * std::sin(r * 0.01f + k) + noise(random));
        }
        drive.records.push_back(std::move(record));
    }
    return drive;
}

const veq::TelemetryFile::Contents& drive() {
    static const auto d = oneHourDrive();
    return d;
}

void BM_MDF4Export(benchmark::State& state) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto file = veq::TelemetryExporter::mdf4(drive());
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_MDF4Export)->Unit(benchmark::kMillisecond);

void BM_CSVExport(benchmark::State& state) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto text = veq::TelemetryExporter::csv(drive());
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_CSVExport)->Unit(benchmark::kMillisecond);

void BM_JSONExport(benchmark::State& state) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto document = veq::TelemetryExporter::json(drive());
        bytes = document.size();
        benchmark::DoNotOptimize(document.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_JSONExport)->Unit(benchmark::kMillisecond);

} // namespace
