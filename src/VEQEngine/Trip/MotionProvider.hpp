#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace veq {

// The source of device-motion readings. A desktop computer has no motion sensors: the provider
// keeps the observable surface of a working source, but start() only says so in French and no
// reading is ever produced. Used from one thread.
class MotionProvider {
public:
    // One device-motion sample; each field beside the sensor channel of the same name.
    struct Reading {
        std::chrono::system_clock::time_point timestamp;
        double rawX;         // m/s²
        double rawY;         // m/s²
        double rawZ;         // m/s²
        double longitudinal; // m/s²
        double lateral;      // m/s²
        double vertical;     // m/s²
        double gForce;       // g
        double yawRate;      // °/s
        double pitchRate;    // °/s
        double rollRate;     // °/s
        std::optional<double> pitch;   // °
        std::optional<double> roll;    // °
        std::optional<double> heading; // °

        bool operator==(const Reading&) const = default;
    };

    static constexpr const char* unavailableMessage =
        "Les capteurs de mouvement n'existent que sur iPhone et iPad.";

    const std::optional<Reading>& latest() const { return latest_; }
    bool isRunning() const { return isRunning_; }
    long long sampleCount() const { return sampleCount_; }
    const std::optional<std::string>& unavailable() const { return unavailable_; }

    // The requested sample rate in Hz; nothing reads it on this platform.
    double hertz = 20.0;

    // Called after a change of latest, isRunning, sampleCount or unavailable.
    std::function<void()> onUpdate;

    void start();
    void stop();

private:
    void announce() const;

    std::optional<Reading> latest_;
    bool isRunning_ = false;
    long long sampleCount_ = 0;
    std::optional<std::string> unavailable_;
};

} // namespace veq
