#pragma once

namespace veq {

// A deterministic short lap: for any time it gives one complete set of driving values, with no
// vehicle, adapter or clock behind it.
struct DemoDrive {
    struct Frame {
        double speedKmh;      // km/h
        double rpm;           // revolutions per minute
        double coolant;       // °C
        double oil;           // °C
        double manifoldKPa;   // absolute intake-manifold pressure
        double barometricKPa;
        double throttle;      // %
        double load;          // %
        double longitudinal;  // m/s², positive when speeding up
        double lateral;       // m/s²
        double gForce;        // g
        double braking;       // g
        double latitude;      // degrees
        double longitude;     // degrees
        double altitude;      // metres

        bool operator==(const Frame&) const = default;
    };

    static constexpr double lapDuration = 48.0; // seconds

    // The values at a time in seconds since the start of the drive.
    Frame frame(double at) const;

    // The profile's speed at a time (km/h); 0 for a negative time.
    static double speed(double at);
    // The lateral acceleration (m/s²) at a time already within the lap.
    static double lateral(double at);
};

} // namespace veq
