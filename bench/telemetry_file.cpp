#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tf = veq::TelemetryFile;

namespace {

constexpr std::size_t channelCount = 70;
constexpr std::uint32_t oneHourAt4Hz = 3600 * 4;
constexpr std::size_t recordBytes = 4 + 4 * channelCount;

std::filesystem::path benchPath(const char* name) {
    return std::filesystem::temp_directory_path() / (std::string("veq-bench-") + std::to_string(::getpid()) + "-" + name);
}

std::vector<tf::Channel> channels() {
    std::vector<tf::Channel> out;
    for (std::size_t c = 0; c < channelCount; ++c) out.push_back({static_cast<std::uint8_t>(c), "Canal de mesure " + std::to_string(c)});
    return out;
}

std::vector<std::vector<std::optional<float>>> rows(std::uint32_t count) {
    std::vector<std::vector<std::optional<float>>> out(count, std::vector<std::optional<float>>(channelCount));
    for (std::uint32_t n = 0; n < count; ++n) {
        for (std::size_t c = 0; c < channelCount; ++c) {
            if ((n + c) % 9 != 0) out[n][c] = static_cast<float>(n) * 0.5F + static_cast<float>(c);
        }
    }
    return out;
}

void writeDrive(const std::filesystem::path& path, const std::vector<std::vector<std::optional<float>>>& data) {
    tf::Writer writer(path, channels(), tf::Date{std::chrono::seconds(1'700'000'000)});
    for (std::uint32_t n = 0; n < data.size(); ++n) writer.append(n * 250, data[n]);
    writer.close();
}

// Appending and closing a one-hour drive (includes file creation and the writes to the page cache).
void BM_WriteOneHourDrive70Channels(benchmark::State& state) {
    const auto data = rows(oneHourAt4Hz);
    const auto path = benchPath("write.veqt");
    for (auto _ : state) writeDrive(path, data);
    std::filesystem::remove(path);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * oneHourAt4Hz);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * oneHourAt4Hz * recordBytes);
}

// Appending alone, records that stay in the buffer between flushes.
void BM_AppendRecord70Channels(benchmark::State& state) {
    const auto data = rows(1024);
    const auto path = benchPath("append.veqt");
    tf::Writer writer(path, channels(), tf::Date{});
    std::uint32_t n = 0;
    for (auto _ : state) {
        writer.append(n, data[n & 1023]);
        ++n;
    }
    writer.close();
    std::filesystem::remove(path);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * recordBytes);
}

// Reading a one-hour drive back whole from the file (page cache warm).
void BM_ReadOneHourDrive70Channels(benchmark::State& state) {
    const auto path = benchPath("read.veqt");
    writeDrive(path, rows(oneHourAt4Hz));
    for (auto _ : state) {
        auto contents = tf::read(path);
        benchmark::DoNotOptimize(contents);
    }
    std::filesystem::remove(path);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * oneHourAt4Hz);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * oneHourAt4Hz * recordBytes);
}

} // namespace

BENCHMARK(BM_WriteOneHourDrive70Channels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendRecord70Channels);
BENCHMARK(BM_ReadOneHourDrive70Channels)->Unit(benchmark::kMillisecond);
