#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace veq {

// A date's calendar fields in some time zone (proleptic Gregorian calendar, hour 0 to 23).
struct LocalDateTime {
    int year = 1970;
    unsigned month = 1;
    unsigned day = 1;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    std::chrono::nanoseconds subsecond{0};

    bool operator==(const LocalDateTime&) const = default;
};

// A time zone of the ICU database. The standard library of our compiler has no zone database,
// so every local-time need (file names, export headers, local dates) goes through this type.
// Cheap to copy; its conversions may run on any thread.
class TimeZone {
public:
    using Date = std::chrono::system_clock::time_point;

    // The offsets from UTC in force at a date: the zone's standard offset and the part added by
    // daylight saving (0 in winter).
    struct Offsets {
        std::chrono::milliseconds standard{0};
        std::chrono::milliseconds daylightSaving{0};

        std::chrono::milliseconds total() const { return standard + daylightSaving; }
        bool operator==(const Offsets&) const = default;
    };

    // The machine's zone (the TZ variable, else the system's setting).
    static TimeZone current();
    // A zone by its identifier ("Europe/Paris", "Asia/Kolkata"); nothing when the database has
    // no such zone.
    static std::optional<TimeZone> named(std::string_view identifier);
    static TimeZone utc();

    const std::string& identifier() const;
    Offsets offsets(Date date) const;
    LocalDateTime localDateTime(Date date) const;

    struct Zone; // the ICU zone, defined in the source file

private:
    explicit TimeZone(std::shared_ptr<const Zone> zone) : zone_(std::move(zone)) {}

    std::shared_ptr<const Zone> zone_;
};

} // namespace veq
