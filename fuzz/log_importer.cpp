#include "VEQStore/Import/LogImporter.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// What an import gives must be a well-formed drive: one value per channel, records in time order.
void check(const veq::TelemetryFile::Contents& drive) {
    for (const auto& record : drive.records) {
        if (record.values.size() != drive.channels.size()) __builtin_trap();
    }
    const auto later = [](const auto& a, const auto& b) { return a.milliseconds < b.milliseconds; };
    if (!std::is_sorted(drive.records.begin(), drive.records.end(), later)) __builtin_trap();
    if (!drive.records.empty() && drive.records.front().milliseconds != 0) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto reader : {&veq::LogImporter::readCSV, &veq::LogImporter::readJSON}) {
        try {
            check(reader(text));
        } catch (const veq::LogImporter::ImportError&) {
            // refused input is an expected outcome
        }
    }
    (void)veq::LogImporter::timestamp(text);
    (void)veq::LogImporter::number(text);
    (void)veq::LogImporter::normalise(text);
    return 0;
}
