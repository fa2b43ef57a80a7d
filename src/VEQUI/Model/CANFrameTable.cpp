#include "VEQUI/Model/CANFrameTable.hpp"

namespace veq {

double CANFrameRow::rateHz() const {
    const double span = std::chrono::duration<double>(lastSeen - firstSeen).count();
    return span > 0.05 ? (count - 1) / span : 0.0;
}

bool CANFrameTable::apply(const MonitorFrame& frame) {
    const auto bytes = frame.data();
    const auto found = rows_.find(std::string_view(frame.id));
    if (found == rows_.end()) {
        if (rows_.size() >= maxRows) return false;
        CANFrameRow row{frame.id, {bytes.begin(), bytes.end()}, std::vector<bool>(bytes.size(), false), 1, frame.at,
                        frame.at};
        rows_.emplace(frame.id, std::move(row));
        return true;
    }
    CANFrameRow& row = found->second;
    row.changed.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) row.changed[i] = i >= row.data.size() || row.data[i] != bytes[i];
    row.data.assign(bytes.begin(), bytes.end());
    ++row.count;
    row.lastSeen = frame.at;
    return true;
}

} // namespace veq
