#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace veq {

// The figures of one drive, accumulated from timestamped speed and fuel readings: distance, top
// speed, fuel used and the best 0-100 km/h, 80-120 km/h and standing 400 m times.
struct TripStats {
    using Date = std::chrono::system_clock::time_point;

    // The mode 01 parameters whose readings the figures follow.
    static constexpr std::uint8_t speedPID = 0x0D;    // km/h
    static constexpr std::uint8_t fuelRatePID = 0x5E; // L/h
    static constexpr std::uint8_t airFlowPID = 0x10;  // g/s

    std::optional<Date> startTime;   // first speed reading
    std::optional<Date> lastUpdate;  // latest speed reading
    double distanceKm = 0;
    double maxSpeedKmh = 0;
    double fuelLiters = 0;
    std::optional<double> zeroToHundredSec;     // best times of the whole drive, in seconds
    std::optional<double> eightyToOneTwentySec;
    std::optional<double> standing400mSec;
    std::optional<Date> lastSpeedTime;
    double lastSpeed = 0;
    std::uint64_t lastSpeedPauseEpoch = 0;      // the polling's pause epoch at the previous speed reading
    std::optional<Date> lastFuelTime;           // previous fuel reading of either kind
    bool hasDirectFuelRate = false;             // from then on air-flow readings are ignored
    std::optional<Date> launchStart;            // last reading below 3 km/h, none after a gap or a pause
    bool reached100 = false;
    bool reached400 = false;
    double launchDistanceKm = 0;
    std::optional<Date> eightyStart;            // when the speed last rose from below 80 km/h
    bool reached120 = false;

    // Vehicle speed in km/h. `pauseEpoch` counts the pauses and resumptions of the polling up to
    // the reading, odd while paused (TelemetrySample::pauseEpoch); readings of a drive never paused
    // all have 0.
    void recordSpeed(double speedKmh, Date at, std::uint64_t pauseEpoch = 0);
    // Engine fuel rate in L/h.
    void recordFuelRate(double litersPerHour, Date at);
    // Mass air flow in g/s, turned into fuel at the stoichiometric ratio while no fuel rate is known.
    void recordMAF(double gramsPerSecond, Date at);
    // One reading of any parameter, handed to the record above that follows it; false, and
    // nothing changed, for a parameter the figures do not follow.
    bool record(std::uint8_t pid, double value, Date at, std::uint64_t pauseEpoch = 0);

    double durationSec() const;
    double avgSpeedKmh() const;
    double consumptionL100() const;

    bool operator==(const TripStats&) const = default;
};

} // namespace veq
