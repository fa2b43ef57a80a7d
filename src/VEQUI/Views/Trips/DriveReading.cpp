#include "VEQUI/Views/Trips/DriveReading.hpp"

#include "VEQProtocol/GPSChannel.hpp"
#include "VEQUI/Model/AppModel.hpp"

#include <QPointer>

#include <algorithm>

namespace veq::DriveReading {

namespace fs = std::filesystem;

std::optional<std::uint8_t> defaultChannel(const TelemetryFile::Contents& drive) {
    for (const auto& channel : drive.channels) {
        if (channel.pid == vehicleSpeed) return channel.pid;
    }
    for (const auto& channel : drive.channels) {
        if (!GPSChannel::isGPS(channel.pid)) return channel.pid;
    }
    return std::nullopt;
}

std::vector<double> backdrop(const TelemetryFile::Contents& drive, std::uint8_t channel) {
    const std::vector<float> trend = drive.sparkline(channel, backdropBuckets);
    return {trend.begin(), trend.end()};
}

void open(AppModel& model, fs::path file, std::optional<std::uint8_t> channel, QObject* owner,
          std::function<void(Outcome)> done) {
    model.runInBackground([file = std::move(file), channel, owner = QPointer<QObject>(owner),
                           done = std::move(done)](std::stop_token stop) -> std::function<void()> {
        auto outcome = std::make_shared<Outcome>();
        try {
            auto contents = std::make_shared<const TelemetryFile::Contents>(TelemetryFile::read(file));
            if (stop.stop_requested()) return {}; // the application is closing: nobody waits for it
            const bool kept = channel && std::any_of(contents->channels.begin(), contents->channels.end(),
                                                     [&](const auto& c) { return c.pid == *channel; });
            Opened opened{contents, contents->duration(), kept ? channel : defaultChannel(*contents), {}};
            if (opened.channel) opened.backdrop = backdrop(*contents, *opened.channel);
            outcome->opened = std::move(opened);
        } catch (const std::exception& failure) {
            outcome->failure = "Le fichier « " + file.filename().string() + " » ne peut pas être lu : " + failure.what();
        }
        return [owner, done, outcome] {
            if (owner && done) done(std::move(*outcome));
        };
    });
}

void retrend(AppModel& model, std::shared_ptr<const TelemetryFile::Contents> contents, std::uint8_t channel,
             QObject* owner, std::function<void(std::vector<double>)> done) {
    model.runInBackground([contents = std::move(contents), channel, owner = QPointer<QObject>(owner),
                           done = std::move(done)](std::stop_token stop) -> std::function<void()> {
        if (stop.stop_requested()) return {};
        auto trend = std::make_shared<std::vector<double>>(backdrop(*contents, channel));
        return [owner, done, trend] {
            if (owner && done) done(std::move(*trend));
        };
    });
}

} // namespace veq::DriveReading
