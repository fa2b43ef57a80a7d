#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace veq::TripFigures {

namespace {

const QString kilometres = QStringLiteral("km");
const QString speedUnit = QStringLiteral("km/h");
const QString litres = QStringLiteral("l");
const QString consumptionUnit = QStringLiteral("l/100 km");
const QString seconds = QStringLiteral("s");
const QString unknown = QStringLiteral("\u2014");

QString text(const std::string& s) { return QString::fromStdString(s); }

Figure duration(double secondsElapsed) { return {QStringLiteral("Durée"), clockDuration(secondsElapsed), {}}; }
Figure distance(double km) { return {QStringLiteral("Distance"), text(fmt::format("{:.1f}", km)), kilometres}; }
Figure topSpeed(double kmh) { return {QStringLiteral("Vitesse max"), text(fmt::format("{:.0f}", kmh)), speedUnit}; }
Figure fuel(double l) { return {QStringLiteral("Carburant"), text(fmt::format("{:.2f}", l)), litres}; }
// Below 0.1 km the figure would mean nothing: both sources give 0 there.
Figure consumption(double lPer100) {
    return {QStringLiteral("Consommation"), lPer100 > 0 ? text(fmt::format("{:.1f}", lPer100)) : unknown,
            consumptionUnit};
}
Figure timed(const char* title, double s) { return {QString::fromUtf8(title), text(fmt::format("{:.1f}", s)), seconds}; }
Figure count(const char* title, std::int64_t n) { return {QString::fromUtf8(title), QString::number(n), {}}; }

} // namespace

std::vector<Figure> ofCurrentDrive(const TripStats& trip, Runs runs) {
    std::vector<Figure> figures{
        duration(trip.durationSec()),
        distance(trip.distanceKm),
        {QStringLiteral("Vitesse moyenne"), text(fmt::format("{:.0f}", trip.avgSpeedKmh())), speedUnit},
        topSpeed(trip.maxSpeedKmh),
        fuel(trip.fuelLiters),
        consumption(trip.consumptionL100()),
    };
    for (const auto& [title, time] : {std::pair{"0-100 km/h", trip.zeroToHundredSec},
                                      std::pair{"80-120 km/h", trip.eightyToOneTwentySec},
                                      std::pair{"400 m", trip.standing400mSec}}) {
        if (time) {
            figures.push_back(timed(title, *time));
        } else if (runs == Runs::every) {
            figures.push_back({QString::fromUtf8(title), unknown, seconds});
        }
    }
    return figures;
}

std::vector<Figure> ofRecord(const SessionRecord& record) {
    std::vector<Figure> figures{
        duration(record.duration()),
        distance(record.distanceKm),
        topSpeed(record.maxSpeedKmh),
        fuel(record.fuelLiters),
        consumption(record.consumptionL100()),
        count("Défauts", record.dtcCount),
    };
    if (record.zeroToHundredSec) figures.push_back(timed("0-100 km/h", *record.zeroToHundredSec));
    figures.push_back(count("Lignes", record.sampleCount));
    // Drives stored before their channel count was kept say nothing rather than "0".
    if (record.channelCount > 0) figures.push_back(count("Canaux", record.channelCount));
    return figures;
}

QString vehicleOf(const SessionRecord& record) {
    if (record.profileName && !record.profileName->empty()) return text(*record.profileName);
    if (record.vin && !record.vin->empty()) return text(*record.vin);
    return QStringLiteral("Véhicule inconnu");
}

QString summaryOf(const SessionRecord& record) {
    const double consumption = record.consumptionL100();
    return clockDuration(record.duration()) +
           text(fmt::format(" · {:.1f} km · max {:.0f} km/h · {:.2f} l · ", record.distanceKm, record.maxSpeedKmh,
                            record.fuelLiters)) +
           (consumption > 0 ? text(fmt::format("{:.1f}", consumption)) : unknown) + QStringLiteral(" l/100 km");
}

QString detailsOf(const SessionRecord& record) {
    QString line = counted(record.dtcCount, "défaut", "défauts");
    if (record.zeroToHundredSec) line += text(fmt::format(" · 0-100 km/h {:.1f} s", *record.zeroToHundredSec));
    line += QStringLiteral(" · ") + counted(record.sampleCount, "ligne", "lignes");
    if (record.channelCount > 0) line += QStringLiteral(" · ") + counted(record.channelCount, "canal", "canaux");
    return line;
}

QString counted(std::int64_t count, const char* one, const char* many) {
    return QString::number(count) + QLatin1Char(' ') + QString::fromUtf8(count > 1 ? many : one);
}

} // namespace veq::TripFigures
