#pragma once

#include "VEQEngine/Trip/TripStats.hpp"
#include "VEQStore/Catalog/SessionRecord.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"

#include <QString>

#include <cstdint>
#include <vector>

// The figures of a drive as the trips and report screens show them: a title, the number and its
// unit apart. Distances and speeds are those the trip accumulator and the catalogue keep (km, km/h).
namespace veq::TripFigures {

struct Figure {
    QString title;
    QString value;
    QString unit;

    bool operator==(const Figure&) const = default;
};

// Which timed runs the drive under way lists: those it has run, or every one, "—" until it is
// run (the figures then keep their places as the runs come).
enum class Runs { run, every };

// The drive under way: duration, distance, average and top speed, fuel used and consumption,
// then the 0-100 km/h, 80-120 km/h and 400 m times.
std::vector<Figure> ofCurrentDrive(const TripStats& trip, Runs runs = Runs::run);

// A catalogued drive: duration, distance, top speed, fuel, consumption, trouble codes, best
// 0-100 km/h time (when there is one), records and channels (when counted: a drive stored before
// its channels were counted has 0, which is no count).
std::vector<Figure> ofRecord(const SessionRecord& record);

// A count and its noun, the singular up to 1: "1 trajet", "2 trajets".
QString counted(std::int64_t count, const char* one, const char* many);

// A duration as a clock shows it: "2:05" under an hour, "1:02:05" from an hour on.
using DateTexts::clockDuration;

// The drive's vehicle: its profile's name, else its VIN, else "Véhicule inconnu".
QString vehicleOf(const SessionRecord& record);

// The two lines a listed drive shows under its date: duration, distance, top speed, fuel and
// consumption; then its trouble codes, best 0-100 km/h time, records and channels (when counted).
QString summaryOf(const SessionRecord& record);
QString detailsOf(const SessionRecord& record);

} // namespace veq::TripFigures
