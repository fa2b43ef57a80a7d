#pragma once

#include "VEQStore/Telemetry/EventRecorder.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <ostream>

// Readable failure messages for the recording types (GoogleTest finds these by argument lookup).
namespace veq::TelemetryFile {

inline void PrintTo(const Channel& c, std::ostream* os) { *os << "{" << int(c.pid) << ", \"" << c.name << "\"}"; }

inline void PrintTo(const Record& r, std::ostream* os) {
    *os << "{" << r.milliseconds << " ms:";
    for (const auto& v : r.values) {
        if (v) {
            *os << " " << *v;
        } else {
            *os << " -";
        }
    }
    *os << "}";
}

} // namespace veq::TelemetryFile

namespace veq {

inline void PrintTo(const EventRecorder::Event& e, std::ostream* os) {
    *os << "{" << e.ms << " ms, " << int(e.channel) << ", " << e.value << "}";
}

inline void PrintTo(const EventRecorder::ChannelSummary& s, std::ostream* os) {
    *os << "{" << int(s.channel) << ", \"" << s.name << "\", " << s.count << ", " << s.lastValue << ", " << s.lastSeconds
        << " s, " << (s.isGPS ? "GPS" : "not GPS") << "}";
}

inline void PrintTo(const EventRecorder::SavedLog& l, std::ostream* os) {
    *os << "{" << l.url << ", " << l.records << " records, " << l.channels << " channels, " << l.events << " events, "
        << l.duration << " s}";
}

inline void PrintTo(const EventRecorder::Status& s, std::ostream* os) {
    *os << "{" << s.eventCount << " held, " << s.dropped << " dropped, start " << s.startMark.value_or(-1) << ", end "
        << s.endMark.value_or(-1) << ", " << s.channelsSeen << " channels}";
}

} // namespace veq
