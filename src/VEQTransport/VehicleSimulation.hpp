#pragma once

namespace veq {

// The simulated car at one instant.
struct VehicleState {
    double runtimeSeconds = 0;      // seconds since the simulated engine start
    double rpm = 0;                 // engine speed, rpm
    double speedKmh = 0;            // road speed, km/h
    double throttlePercent = 0;     // throttle position, %
    double acceleratorPercent = 0;  // accelerator pedal position, %
    double engineLoadPercent = 0;   // calculated engine load, %
    double coolantC = 0;            // coolant temperature, °C
    double oilC = 0;                // engine oil temperature, °C
    double intakeAirC = 0;          // intake air temperature, °C
    double ambientC = 0;            // ambient air temperature, °C
    double mafGps = 0;              // mass air flow, g/s
    double mapKpa = 0;              // intake manifold absolute pressure, kPa
    double baroKpa = 0;             // barometric pressure, kPa
    double boostKpa = 0;            // boost above atmosphere, kPa
    double railPressureKpa = 0;     // fuel rail pressure, kPa
    double controlVoltage = 0;      // control module (battery) voltage, V
    double fuelLevelPercent = 0;    // fuel tank level, %
    double fuelRateLph = 0;         // fuel rate, l/h
    double lambda = 0;              // commanded equivalence ratio
    double timingAdvanceDeg = 0;    // ignition timing advance, degrees
    double shortTrimPercent = 0;    // short-term fuel trim, %
    double longTrimPercent = 0;     // long-term fuel trim, %
    double egrCommandedPercent = 0; // commanded EGR, %
    double distanceMILkm = 0;       // distance with the malfunction lamp on, km
    int gear = 0;                   // 0 neutral, 1 to 9 forward, -1 reverse

    bool operator==(const VehicleState&) const = default;
};

// A car driving a fixed two-minute cycle (idle, acceleration, cruising with oscillating demand,
// deceleration, a short reverse manoeuvre, idle again) as a pure function of time: the same time
// always gives the same state. Temperatures warm up over the whole session, not per cycle.
struct VehicleSimulation {
    // Engine speed at zero demand, rpm.
    static constexpr double idleRPM = 650;

    // The state `seconds` after the simulated connection was opened.
    VehicleState state(double seconds) const;

    // The forward gear for a road speed; the bounds are strict (3 km/h is already first gear).
    static int gear(double speedKmh);
};

} // namespace veq
