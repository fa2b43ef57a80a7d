#pragma once

#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QObject;

namespace veq {

class AppModel;

// A catalogued drive opened for trimming: its contents read once off the GUI thread and the trend
// the timeline draws behind its handles.
namespace DriveReading {

inline constexpr int backdropBuckets = 240;
inline constexpr std::uint8_t vehicleSpeed = 0x0D;

// The drive as the trips screen's panel keeps it while it shows that drive.
struct Opened {
    std::shared_ptr<const TelemetryFile::Contents> contents;
    double duration = 0;
    std::optional<std::uint8_t> channel; // the trend's
    std::vector<double> backdrop;
};

// Vehicle speed when the drive has it, else its first channel that is not a GPS quantity.
std::optional<std::uint8_t> defaultChannel(const TelemetryFile::Contents& drive);
// The channel's trend over 240 slots; empty when it has nothing to draw.
std::vector<double> backdrop(const TelemetryFile::Contents& drive, std::uint8_t channel);

// What a read gives back: the drive, or the French reason it could not be read.
struct Outcome {
    std::optional<Opened> opened;
    std::string failure;
};

// Reads `file` off the GUI thread and computes there the trend of `channel` when the drive has
// it, else of its default channel; `done` runs on the GUI thread unless `owner` has gone by then.
void open(AppModel& model, std::filesystem::path file, std::optional<std::uint8_t> channel, QObject* owner,
          std::function<void(Outcome)> done);
// The trend of another channel of contents already read, computed off the GUI thread the same way.
void retrend(AppModel& model, std::shared_ptr<const TelemetryFile::Contents> contents, std::uint8_t channel,
             QObject* owner, std::function<void(std::vector<double>)> done);

} // namespace DriveReading

} // namespace veq
