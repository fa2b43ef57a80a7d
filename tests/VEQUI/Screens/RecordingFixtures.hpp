#pragma once

#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQUI/Model/AppModel.hpp"

#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

// Past drives in a model's catalogue, as a finished connection would have left them.
namespace veq::testing {

struct PastDrive {
    std::chrono::system_clock::time_point start =
        std::chrono::sys_days{std::chrono::year{2026} / 11 / 28} + std::chrono::hours{7} + std::chrono::minutes{42};
    int seconds = 90;   // records from 0 s to `seconds` included
    bool gps = true;    // the position channels, with a fix in every record
    int perSecond = 1;  // records a second
    std::chrono::milliseconds tail{0}; // a last record this long after `seconds`
    std::chrono::milliseconds unrecorded{0}; // the drive ends this long after its last record
};

// The drive's own telemetry file in the sessions folder (engine speed, road speed and, when asked,
// latitude, longitude and altitude), and its record with its figures; the model lists it.
inline SessionRecord addPastDrive(AppModel& model, const PastDrive& drive = {}) {
    using namespace std::chrono;
    SessionCatalog& catalog = model.sessionCatalog();
    const std::string name = "session-" + std::to_string(duration_cast<seconds>(drive.start.time_since_epoch()).count()) +
                             ".veqt";
    std::vector<TelemetryFile::Channel> channels{{0x0C, "Régime moteur"}, {0x0D, "Vitesse du véhicule"}};
    if (drive.gps) {
        channels.push_back({GPSChannel::latitude, "Latitude"});
        channels.push_back({GPSChannel::longitude, "Longitude"});
        channels.push_back({GPSChannel::altitude, "Altitude"});
    }
    {
        TelemetryFile::Writer writer(catalog.sessionsDirectory() / name, channels, drive.start);
        for (int i = 0; i <= drive.seconds * drive.perSecond; ++i) {
            const double s = static_cast<double>(i) / drive.perSecond;
            std::vector<std::optional<float>> values{static_cast<float>(900 + 20 * s),
                                                     static_cast<float>(std::min(88.0, s * 2))};
            if (drive.gps) {
                values.push_back(static_cast<float>(48.8566 + s * 0.0001));
                values.push_back(static_cast<float>(2.3522 + s * 0.0001));
                values.push_back(35.0f);
            }
            writer.append(static_cast<std::uint32_t>(i * 1000 / drive.perSecond), values);
        }
        if (drive.tail > 0ms) {
            writer.append(static_cast<std::uint32_t>((seconds(drive.seconds) + drive.tail).count()),
                          std::vector<std::optional<float>>(channels.size()));
        }
    }
    SessionRecord record = catalog.createSession(name, "VF1RFB00X12345678", "clio-4", "Renault Clio IV", drive.start);
    SessionCatalog::Update figures;
    figures.endDate = drive.start + seconds(drive.seconds) + drive.tail + drive.unrecorded;
    figures.sampleCount = drive.seconds * drive.perSecond + 1 + (drive.tail > 0ms ? 1 : 0);
    figures.channelCount = static_cast<std::int64_t>(channels.size());
    figures.distanceKm = 1.6;
    figures.maxSpeedKmh = 88;
    figures.fuelLiters = 0.12;
    figures.dtcCount = 1;
    figures.zeroToHundredSec = 9.4;
    catalog.update(record, figures);
    model.refreshSessions();
    return record;
}

} // namespace veq::testing
