#include "VEQStore/Import/LogImporter.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    (void)veq::LogImporter::readTime(text);
    (void)veq::LogImporter::number(text);
    (void)veq::LogImporter::normalise(text);
    (void)veq::LogImporter::statedUnit(text);
    // Every column named by a line of the input: mapped channels and left-out columns point at them.
    std::vector<std::string> names;
    for (std::size_t start = 0; start <= text.size();) {
        const auto end = std::min(text.find('\n', start), text.size());
        names.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    const auto mapping = veq::LogImporter::mapColumns(names);
    for (const auto& channel : mapping.channels) {
        if (channel.column >= names.size() || channel.column == mapping.time) __builtin_trap();
    }
    for (const auto& column : mapping.leftOut) {
        if (column.column >= names.size()) __builtin_trap();
    }
    return 0;
}
