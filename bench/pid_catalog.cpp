// Decoding every catalogue parameter from a prepared reply. The rows are grouped by the kind
// of reading they give, so that the one-formula rows can be read apart from the flag rows.
#include "VEQProtocol/PIDCatalog.hpp"

#include <benchmark/benchmark.h>

#include <fmt/format.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Prepared {
    const veq::PIDDefinition* definition;
    Bytes payload;
};

const char* groupOf(const veq::PIDReading& r) {
    if (r.as<veq::PIDReading::Measurement>()) return "scalar";
    if (r.as<veq::PIDReading::Flags>()) return "flags";
    if (r.as<veq::PIDReading::Text>()) return "text";
    if (r.as<veq::PIDReading::SupportBitmap>()) return "support";
    return "other";
}

void decodeOne(benchmark::State& state, const Prepared& row) {
    for (auto _ : state) {
        auto reading = row.definition->decode(row.payload);
        benchmark::DoNotOptimize(reading);
    }
    state.SetItemsProcessed(state.iterations());
}

void decodeAll(benchmark::State& state, const std::vector<Prepared>& rows) {
    for (auto _ : state) {
        for (const Prepared& row : rows) {
            auto reading = row.definition->decode(row.payload);
            benchmark::DoNotOptimize(reading);
        }
    }
    // items_per_second is decodes per second: 1e9 / it is the mean time of one decode in ns.
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rows.size()));
}

// Every row decodes a payload of its own length with every byte 0x01 (plausible everywhere).
bool registerAll() {
    static std::map<std::string, std::vector<Prepared>> groups;
    for (const veq::PIDDefinition& d : veq::PIDCatalog::all()) {
        Prepared row{&d, Bytes(static_cast<std::size_t>(d.byteCount), 0x01)};
        const auto reading = d.decode(row.payload);
        const std::string group = reading ? groupOf(*reading) : "undecoded";
        benchmark::RegisterBenchmark(fmt::format("PIDDecode/{}/0x{:02X}", group, d.pid).c_str(),
                                     [row](benchmark::State& s) { decodeOne(s, row); });
        groups[group].push_back(std::move(row));
    }
    for (const auto& [group, rows] : groups)
        benchmark::RegisterBenchmark(fmt::format("PIDDecodeGroup/{}/{}rows", group, rows.size()).c_str(),
                                     [&rows = rows](benchmark::State& s) { decodeAll(s, rows); });
    return true;
}

const bool registered = registerAll();

} // namespace
