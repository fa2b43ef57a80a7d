// Any drive the file reader accepts (infinities and extreme values included) goes through the
// subtitle, HTML and GPX exports and the GPX merge without undefined behaviour.
#include "VEQStore/Export/GPXExporter.hpp"
#include "VEQStore/Export/HTMLExporter.hpp"
#include "VEQStore/Export/SubtitleExporter.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    veq::TelemetryFile::Contents drive;
    try {
        drive = veq::TelemetryFile::decode(std::span<const std::uint8_t>(data + 2, size - 2));
    } catch (const veq::Error&) {
        return 0;
    }
    veq::SubtitleExporter::Options options;
    options.layout = data[0] & 1 ? veq::SubtitleExporter::Layout::readable : veq::SubtitleExporter::Layout::dji;
    options.includeGPS = data[0] & 2;
    options.offset = static_cast<std::int8_t>(data[1]);
    // A rate from the input, kept to drives the fuzzer can go through quickly.
    options.rate = (data[0] >> 2) / 4.0;
    if (drive.duration() * options.rate < 20'000) (void)veq::SubtitleExporter::srt(drive, options);
    (void)veq::HTMLExporter::page(drive, "fuzz & <test>");
    if (const auto gpx = veq::GPXExporter::gpx(drive, "fuzz")) {
        const auto track = veq::GPXExporter::trackPoints(*gpx);
        (void)veq::GPXExporter::merge(drive, track, 1.0, 0.5);
    }
    return 0;
}
