#include "VEQUI/Model/DriveFigures.hpp"

#include "VEQEngine/Trip/TripStats.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <vector>

namespace veq::DriveFigures {

namespace {

using Date = SessionRecord::Date;

// A record's date; a damaged header's start date near the clock's end stays at that end rather
// than overflowing.
Date recordDate(Date start, std::uint32_t milliseconds) {
    const auto offset = std::chrono::milliseconds(milliseconds);
    return start > Date::max() - offset ? Date::max() : start + offset;
}

// The positions of the channels the trip figures follow; of two channels of one parameter, the
// first, as a drive's series are read.
std::vector<std::size_t> followedChannels(const TelemetryFile::Contents& drive) {
    constexpr std::array<std::uint8_t, 3> followed{TripStats::speedPID, TripStats::fuelRatePID, TripStats::airFlowPID};
    std::vector<std::size_t> positions;
    for (const std::uint8_t pid : followed) {
        const auto channel = std::find_if(drive.channels.begin(), drive.channels.end(),
                                          [&](const TelemetryFile::Channel& c) { return c.pid == pid; });
        if (channel != drive.channels.end()) {
            positions.push_back(static_cast<std::size_t>(channel - drive.channels.begin()));
        }
    }
    std::sort(positions.begin(), positions.end()); // file order, as a record holds them
    return positions;
}

TripStats tripOf(const TelemetryFile::Contents& drive) {
    TripStats trip;
    const std::vector<std::size_t> positions = followedChannels(drive);
    for (const TelemetryFile::Record& record : drive.records) {
        const Date at = recordDate(drive.startDate, record.milliseconds);
        for (const std::size_t position : positions) {
            if (position >= record.values.size() || !record.values[position]) continue;
            // The file tells no pause of the polling: every reading is of epoch 0.
            trip.record(drive.channels[position].pid, *record.values[position], at);
        }
    }
    return trip;
}

} // namespace

SessionCatalog::Update fromFile(Date recordStart, const std::optional<TelemetryFile::Contents>& drive) {
    SessionCatalog::Update changes;
    changes.endDate = recordStart;
    changes.sampleCount = 0;
    TripStats trip;
    if (drive) {
        if (!drive->records.empty()) {
            changes.endDate = std::max(recordStart, recordDate(drive->startDate, drive->records.back().milliseconds));
        }
        changes.sampleCount = static_cast<std::int64_t>(drive->records.size());
        trip = tripOf(*drive);
    }
    changes.distanceKm = trip.distanceKm;
    changes.maxSpeedKmh = trip.maxSpeedKmh;
    changes.fuelLiters = trip.fuelLiters;
    return changes;
}

} // namespace veq::DriveFigures
