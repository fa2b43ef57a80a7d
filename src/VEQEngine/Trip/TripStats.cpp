#include "VEQEngine/Trip/TripStats.hpp"

#include <cmath>

namespace veq {

namespace {

constexpr double stoppedBelowKmh = 3.0;
constexpr double integrationGapSec = 5.0; // a longer silence is a gap, not a constant speed
constexpr double stoichiometricAirFuel = 14.7;
constexpr double fuelGramsPerLiter = 745.0;

double seconds(TripStats::Date from, TripStats::Date to) {
    return std::chrono::duration<double>(to - from).count();
}

// Keeps the smaller of a best time and a new one.
void keepBest(std::optional<double>& best, double candidate) {
    if (!best || candidate < *best) best = candidate;
}

} // namespace

void TripStats::recordSpeed(double v, Date now, std::uint64_t pauseEpoch) {
    // A non-finite reading would poison the distance and every figure derived from it for the rest
    // of the drive; it is dropped like any undecodable value.
    if (!std::isfinite(v)) return;

    if (!startTime) startTime = now;
    lastUpdate = now;

    if (v >= maxSpeedKmh) maxSpeedKmh = v;

    // Readings that follow one another are less than 5 s apart, in order, and read with no pause
    // of the polling between them (one epoch, not a paused one). Across a gap (a silence, a long
    // pause) neither the distance nor a timer may run: a 0-100 would include the pause, and an
    // 80-120 would start at a speed already past 80. A shorter pause breaks the timers alike,
    // while the distance bridges it as it bridges a short silence.
    bool follows = false;
    if (lastSpeedTime) {
        const double dt = seconds(*lastSpeedTime, now);
        const bool near = dt > 0 && dt < integrationGapSec;
        if (near) {
            const double step = dt / 3600 * (v + lastSpeed) * 0.5;
            distanceKm += step;
            launchDistanceKm += step;
        }
        follows = near && pauseEpoch == lastSpeedPauseEpoch && pauseEpoch % 2 == 0;
        if (!follows) {
            launchStart.reset();
            eightyStart.reset();
        }
    }

    if (v < stoppedBelowKmh) {
        launchStart = now;
        reached100 = false;
        reached400 = false;
        launchDistanceKm = 0;
    } else {
        if (v >= 100 && launchStart && !reached100) {
            const double t = seconds(*launchStart, now);
            if (t > 1.0) {
                keepBest(zeroToHundredSec, t);
                reached100 = true;
            }
        }
        if (launchDistanceKm >= 0.4 && launchStart && !reached400) {
            const double t = seconds(*launchStart, now);
            if (t > 1.0) {
                keepBest(standing400mSec, t);
                reached400 = true;
            }
        }
    }

    if (v < 80) {
        eightyStart.reset();
        reached120 = false;
    } else {
        // A run starts only on the way up through 80; a car first seen at 120 or more has no run.
        if (!eightyStart && follows && lastSpeed < 80 && v < 120) eightyStart = now;
        if (v >= 120 && eightyStart && !reached120) {
            const double t = seconds(*eightyStart, now);
            if (t > 0.5) {
                keepBest(eightyToOneTwentySec, t);
                reached120 = true;
            }
        }
    }

    lastSpeedTime = now;
    lastSpeed = v;
    lastSpeedPauseEpoch = pauseEpoch;
}

void TripStats::recordFuelRate(double litersPerHour, Date now) {
    if (!std::isfinite(litersPerHour)) return;
    hasDirectFuelRate = true;
    if (lastFuelTime) {
        const double dt = seconds(*lastFuelTime, now);
        if (dt > 0 && dt < integrationGapSec) fuelLiters += litersPerHour * (dt / 3600);
    }
    lastFuelTime = now;
}

void TripStats::recordMAF(double gramsPerSecond, Date now) {
    if (hasDirectFuelRate || !std::isfinite(gramsPerSecond)) return;
    if (lastFuelTime) {
        const double dt = seconds(*lastFuelTime, now);
        if (dt > 0 && dt < integrationGapSec) {
            fuelLiters += gramsPerSecond / stoichiometricAirFuel * dt / fuelGramsPerLiter;
        }
    }
    lastFuelTime = now;
}

bool TripStats::record(std::uint8_t pid, double value, Date at, std::uint64_t pauseEpoch) {
    switch (pid) {
    case speedPID: recordSpeed(value, at, pauseEpoch); return true;
    case fuelRatePID: recordFuelRate(value, at); return true;
    case airFlowPID: recordMAF(value, at); return true;
    default: return false;
    }
}

double TripStats::durationSec() const {
    if (!startTime || !lastUpdate) return 0;
    return seconds(*startTime, *lastUpdate);
}

double TripStats::avgSpeedKmh() const {
    const double duration = durationSec();
    return duration > 0 ? distanceKm / (duration / 3600) : 0;
}

double TripStats::consumptionL100() const {
    return distanceKm > 0.1 ? fuelLiters / distanceKm * 100 : 0;
}

} // namespace veq
