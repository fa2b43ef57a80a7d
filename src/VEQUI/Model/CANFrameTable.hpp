#pragma once

#include "VEQUI/Model/MonitorLine.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace veq {

// One frame identifier heard by the bus monitor, with its latest frame.
struct CANFrameRow {
    using Date = std::chrono::system_clock::time_point;

    std::string id;                 // as the adapter prints it, upper case
    std::vector<std::uint8_t> data; // the latest frame's bytes
    std::vector<bool> changed;      // per byte: differs from the previous frame, or lies beyond it
    int count = 0;                  // frames since the monitor started
    Date firstSeen{};
    Date lastSeen{};

    // Frames per second over the row's life; 0 until the frames span more than 0.05 s.
    double rateHz() const;

    bool operator==(const CANFrameRow&) const = default;
};

// The bus monitor's table: one row per identifier, updated in place as frames arrive. A flooding
// bus cannot make it grow without bound: past maxRows identifiers, frames of new ones are dropped
// while the known ones go on updating.
class CANFrameTable {
public:
    using Rows = std::map<std::string, CANFrameRow, std::less<>>;

    static constexpr std::size_t maxRows = 4096;

    const Rows& rows() const { return rows_; }
    std::size_t size() const { return rows_.size(); }
    void clear() { rows_.clear(); }

    // Adds the frame to its row, or opens a row for it; false when it was dropped.
    bool apply(const MonitorFrame& frame);

    bool operator==(const CANFrameTable&) const = default;

private:
    Rows rows_;
};

} // namespace veq
