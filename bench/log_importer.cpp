// Importing large logs: time, and the peak of heap memory held during one import, as megabytes
// and as a multiple of the file's size. A four-hour drive at 4 Hz as our own JSON export and as
// an own file, with 70 channels and with one (where a record's memory outweighs its bytes most).
#include "VEQStore/Export/Exporters.hpp"
#include "VEQStore/Import/LogImporter.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <unistd.h>

namespace {

// Every allocation of the program carries its size in front, so that the heap in use and its
// peak can be counted.
std::atomic<std::size_t> heapInUse{0};
std::atomic<std::size_t> heapPeak{0};
constexpr std::size_t kSizeHeader = alignof(std::max_align_t);

void* counted(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kSizeHeader));
    if (block == nullptr) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    const std::size_t now = heapInUse.fetch_add(size) + size;
    for (std::size_t peak = heapPeak.load(); now > peak && !heapPeak.compare_exchange_weak(peak, now);) {
    }
    return block + kSizeHeader;
}

void released(void* pointer) {
    if (pointer == nullptr) return;
    auto* block = static_cast<unsigned char*>(pointer) - kSizeHeader;
    heapInUse.fetch_sub(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

} // namespace

void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
void operator delete(void* pointer) noexcept { released(pointer); }
void operator delete[](void* pointer) noexcept { released(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { released(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { released(pointer); }

namespace {

namespace tf = veq::TelemetryFile;

constexpr std::uint32_t kFourHoursAt4Hz = 4 * 3600 * 4;

std::filesystem::path benchPath(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("veq-bench-" + std::to_string(::getpid()) + "-" + name);
}

tf::Contents drive(std::size_t channelCount) {
    tf::Contents contents{{}, tf::Date{std::chrono::seconds(1'714'557'600)}, {}};
    for (std::size_t c = 0; c < channelCount; ++c) {
        // Names the importer maps come first, so that its drive holds values.
        static const char* const mapped[] = {"Vitesse", "Régime", "Coolant", "Throttle", "MAP", "Oil temp", "Load"};
        contents.channels.push_back({static_cast<std::uint8_t>(c), c < 7 ? mapped[c] : "Canal " + std::to_string(c)});
    }
    contents.records.reserve(kFourHoursAt4Hz);
    for (std::uint32_t n = 0; n < kFourHoursAt4Hz; ++n) {
        tf::Record record{n * 250, {}};
        for (std::size_t c = 0; c < channelCount; ++c) {
            record.values.push_back((n + c) % 9 ? std::optional(static_cast<float>(n % 4000) * 0.25f + c) : std::nullopt);
        }
        contents.records.push_back(std::move(record));
    }
    return contents;
}

void importPeak(benchmark::State& state, const std::filesystem::path& path) {
    const auto fileBytes = static_cast<double>(std::filesystem::file_size(path));
    double peak = 0;
    for (auto _ : state) {
        const std::size_t before = heapInUse.load();
        heapPeak.store(before);
        auto imported = veq::LogImporter::load(path);
        benchmark::DoNotOptimize(imported.records.data());
        peak = std::max(peak, static_cast<double>(heapPeak.load() - before));
    }
    std::filesystem::remove(path);
    constexpr double megabyte = 1024.0 * 1024.0;
    state.counters["file_MiB"] = fileBytes / megabyte;
    state.counters["peak_MiB"] = peak / megabyte;
    state.counters["peak_per_file_byte"] = peak / fileBytes;
}

void BM_ImportJSON(benchmark::State& state) {
    const auto path = benchPath("import.json");
    {
        const auto bytes = veq::TelemetryExporter::json(drive(static_cast<std::size_t>(state.range(0))));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
    importPeak(state, path);
}

void BM_ImportOwnFile(benchmark::State& state) {
    const auto path = benchPath("import.veqt");
    {
        const auto contents = drive(static_cast<std::size_t>(state.range(0)));
        tf::Writer writer(path, contents.channels, contents.startDate);
        for (const auto& record : contents.records) writer.append(record.milliseconds, record.values);
    }
    importPeak(state, path);
}

// A hostile log: a first row of 300,000 keys. Read in one pass over them, not key by key.
void BM_ReadJSONWideFirstRow(benchmark::State& state) {
    std::string row = "[{";
    for (int k = 0; k < 300'000; ++k) row += "\"k" + std::to_string(k) + "\": 0, ";
    row += R"("rpm": 1, "time": 2}])";
    for (auto _ : state) benchmark::DoNotOptimize(veq::LogImporter::readJSON(row));
}

} // namespace

BENCHMARK(BM_ReadJSONWideFirstRow)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportJSON)->Arg(70)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportOwnFile)->Arg(70)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
