#include "VEQStore/Export/Exporters.hpp"

#include "VEQSupport/Error.hpp"
#include "VEQSupport/ISO8601.hpp"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <cmath>

namespace veq::TelemetryExporter {

namespace {

// nlohmann::json keeps object keys sorted, which gives the document its fixed key order:
// "channels", "samples", "startDate"; each channel "name", "pid".
constexpr const char* channelsKey = "channels";
constexpr const char* samplesKey = "samples";
constexpr const char* startDateKey = "startDate";
constexpr const char* nameKey = "name";
constexpr const char* pidKey = "pid";
constexpr int indentWidth = 2;

[[noreturn]] void throwNonFinite(const TelemetryFile::Contents& contents, std::size_t channel,
                                 const TelemetryFile::Record& record) {
    const std::string name = channel < contents.channels.size() ? contents.channels[channel].name
                                                                : fmt::format("n\u00B0 {}", channel + 1);
    throw Error(fmt::format("Export JSON impossible : la valeur du canal \u00AB {} \u00BB \u00E0 {:.3f} s n'est pas "
                            "un nombre fini.",
                            name, record.seconds()));
}

// The encoder leaves "/" as it is; the document escapes it as "\/". A "/" can only stand inside
// a string of the encoded text, never in a number or the structure.
std::vector<std::uint8_t> escapingSlashes(const std::string& text) {
    std::vector<std::uint8_t> out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '/') out.push_back('\\');
        out.push_back(static_cast<std::uint8_t>(c));
    }
    return out;
}

} // namespace

std::vector<std::uint8_t> json(const TelemetryFile::Contents& contents) {
    using nlohmann::json;

    json channels = json::array();
    for (const auto& channel : contents.channels) {
        channels.push_back({{nameKey, channel.name}, {pidKey, static_cast<int>(channel.pid)}});
    }

    json samples = json::array();
    samples.get_ref<json::array_t&>().reserve(contents.records.size());
    for (const auto& record : contents.records) {
        json row = json::array();
        row.get_ref<json::array_t&>().reserve(record.values.size() + 1);
        row.push_back(record.seconds());
        for (std::size_t i = 0; i < record.values.size(); ++i) {
            const auto& value = record.values[i];
            if (!value) {
                row.push_back(nullptr);
                continue;
            }
            // The encoder would write a non-finite number as null, i.e. as a missing value.
            if (!std::isfinite(*value)) throwNonFinite(contents, i, record);
            row.push_back(static_cast<double>(*value));
        }
        samples.push_back(std::move(row));
    }

    const json document = {{channelsKey, std::move(channels)},
                           {samplesKey, std::move(samples)},
                           {startDateKey, iso8601::format(contents.startDate)}};
    // Names read from files are valid UTF-8; any other invalid byte becomes U+FFFD, as the file
    // reader does, rather than failing the export.
    return escapingSlashes(document.dump(indentWidth, ' ', false, json::error_handler_t::replace));
}

} // namespace veq::TelemetryExporter
