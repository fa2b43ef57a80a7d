#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include "VEQProtocol/SyncChannel.hpp"
#include "VEQStore/Telemetry/Milliseconds.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace veq::TelemetryFile {

Contents Contents::held(double maxGap) const {
    Contents result = *this;
    if (records.empty()) return result;

    struct Last {
        std::optional<float> value;
        double milliseconds = -std::numeric_limits<double>::infinity();
    };
    std::vector<Last> last(channels.size());
    const double maxGapMs = maxGap * 1000.0;

    for (auto& record : result.records) {
        const std::size_t count = std::min(record.values.size(), channels.size());
        const auto now = static_cast<double>(record.milliseconds);
        for (std::size_t i = 0; i < count; ++i) {
            // Holes of the sync marker mean "no mark at that instant": never filled.
            if (SyncChannel::isSync(channels[i].pid)) continue;
            auto& value = record.values[i];
            if (value) {
                last[i] = {value, now};
            } else if (last[i].value && now - last[i].milliseconds <= maxGapMs) {
                value = last[i].value; // the time of the real value stays, so a hold never outlives maxGap
            }
        }
    }
    return result;
}

Contents Contents::trimmed(double from, double to) const {
    if (std::isnan(from) || std::isnan(to)) return *this;
    const double low = std::max(std::min(from, to), 0.0);
    const double high = std::max(from, to);
    if (!(low < high)) return *this;

    const std::uint32_t lowMs = millisecondsRounded(low);
    const std::uint32_t highMs = millisecondsRounded(high);

    Contents result{channels, dateAfterMilliseconds(startDate, lowMs), {}};
    for (const auto& record : records) {
        if (record.milliseconds < lowMs || record.milliseconds > highMs) continue;
        result.records.push_back({record.milliseconds - lowMs, record.values});
    }
    return result;
}

double Contents::duration() const { return records.empty() ? 0.0 : records.back().seconds(); }

std::vector<float> Contents::sparkline(std::uint8_t pid, int buckets) const {
    if (buckets < 1) return {};
    const auto points = series(pid);
    const double total = duration();
    if (points.empty() || !(total > 0.0)) return {};

    std::vector<std::optional<float>> slots(static_cast<std::size_t>(buckets));
    for (const auto& [t, v] : points) {
        // Records need not be in time order, so a point may lie past the last record: cap it
        // before converting, as a double beyond int's range has no defined conversion.
        const double position = std::floor(t / total * buckets);
        const auto slot = position >= buckets - 1 ? static_cast<std::size_t>(buckets - 1)
                                                  : static_cast<std::size_t>(std::max(position, 0.0));
        if (!slots[slot] || v > *slots[slot]) slots[slot] = v;
    }

    std::vector<float> out(slots.size());
    float previous = 0.0F;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i]) previous = *slots[i];
        out[i] = previous;
    }
    return out;
}

} // namespace veq::TelemetryFile
