#include "VEQUI/Views/Recording/DriveExport.hpp"

#include "VEQStore/Export/ExportNaming.hpp"
#include "VEQStore/Export/Exporters.hpp"
#include "VEQStore/Export/GPXExporter.hpp"
#include "VEQStore/Export/HTMLExporter.hpp"
#include "VEQSupport/Error.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Recording/BackgroundWrite.hpp"

#include <QPointer>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <stop_token>

namespace veq::DriveExport {

namespace fs = std::filesystem;

namespace {

// clang-format off
const std::array<FormatRow, 6> formatRows{{
    {Format::csv,  "CSV",      {"Fichier CSV",           "csv"}},
    {Format::json, "JSON",     {"Fichier JSON",          "json"}},
    {Format::mdf4, "MDF 4.10", {"Fichier MDF 4.10",      "mf4"}},
    {Format::gpx,  "GPX",      {"Trace GPX",             "gpx"}},
    {Format::html, "HTML",     {"Page HTML",             "html"}},
    {Format::srt,  "SRT",      {"Sous-titres SubRip",    "srt"}},
}};
// clang-format on

std::string bytesOf(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// What the worker hands back: the file to offer, or why there is none.
struct Encoded {
    std::string data;
    std::string suggestedName;
    std::optional<std::string> refusal;
};

Encoded readAndEncode(const Source& source, Format format, const Settings& settings, const std::stop_token& stop) {
    std::shared_ptr<const TelemetryFile::Contents> drive = source.contents;
    if (!drive) {
        try {
            drive = std::make_shared<const TelemetryFile::Contents>(TelemetryFile::read(source.file));
        } catch (const std::exception& failure) {
            return {{}, {}, "Le fichier « " + source.file.filename().string() + " » ne peut pas être lu : " + failure.what()};
        }
    }
    // The application is closing: nobody is left to save the file for.
    if (stop.stop_requested()) return {};
    try {
        std::optional<Excerpt> excerpt = source.excerpt;
        if (excerpt && excerpt->toTheEnd) excerpt->to = std::max(excerpt->to, drive->duration());
        const std::string name = suggestedName(*drive, format, excerpt);
        if (!excerpt) return {encode(*drive, format, settings), name, std::nullopt};
        // An empty range would trim nothing off (the whole drive under an excerpt's name), and a
        // narrow one may hold no record: neither is an excerpt worth a file.
        if (!(excerpt->from < excerpt->to)) return {{}, {}, std::string(emptyExcerptRefusal)};
        const TelemetryFile::Contents part = drive->trimmed(excerpt->from, excerpt->to);
        if (part.records.empty()) return {{}, {}, std::string(emptyExcerptRefusal)};
        return {encode(part, format, settings), name, std::nullopt};
    } catch (const std::exception& failure) {
        return {{}, {}, failure.what()};
    }
}

void refuse(AppModel& model, const std::string& text) {
    model.dialogs().showMessage({Dialogs::Message::Kind::error, "Export impossible", text});
}

// Runs `finished` unless its screen has gone.
Finished guarded(QObject* owner, Finished finished) {
    return [owner = QPointer<QObject>(owner), finished = std::move(finished)](const std::optional<fs::path>& written) {
        if (owner && finished) finished(written);
    };
}

} // namespace

std::span<const FormatRow> formats() { return formatRows; }

const FormatRow& row(Format format) {
    for (const FormatRow& r : formatRows) {
        if (r.format == format) return r;
    }
    return formatRows.front();
}

std::string encode(const TelemetryFile::Contents& drive, Format format, const Settings& settings) {
    switch (format) {
    case Format::csv: return TelemetryExporter::csv(drive);
    case Format::json: return bytesOf(TelemetryExporter::json(drive));
    case Format::mdf4: return bytesOf(TelemetryExporter::mdf4(drive));
    case Format::gpx:
        if (auto document = GPXExporter::gpx(drive, settings.title)) return std::move(*document);
        throw Error("Ce trajet n'a aucun point GPS : il n'y a rien à exporter en GPX.");
    case Format::html: return HTMLExporter::page(drive, settings.title);
    case Format::srt: return SubtitleExporter::srt(drive, settings.subtitles);
    }
    return {};
}

std::string suggestedName(const TelemetryFile::Contents& drive, Format format, const std::optional<Excerpt>& excerpt) {
    const TimeZone zone = TimeZone::current();
    if (!excerpt) return ExportNaming::dji(drive.startDate, row(format).type.extension, zone);
    // The bounds as the timeline reads them: the second each falls in (an end at the drive's end
    // may lie between two).
    return ExportNaming::dji(drive.startDate, zone) +
           ExportNaming::rangeSuffix(std::floor(excerpt->from), std::floor(excerpt->to)) + "." +
           row(format).type.extension;
}

void start(AppModel& model, fs::path source, Format format, Settings settings, QObject* owner,
           std::function<void()> finished) {
    start(model, Source{std::move(source), nullptr, std::nullopt}, format, std::move(settings), owner,
          [finished = std::move(finished)](const std::optional<fs::path>&) {
              if (finished) finished();
          });
}

void start(AppModel& model, Source source, Format format, Settings settings, QObject* owner, Finished finished) {
    auto done = guarded(owner, std::move(finished));
    model.runInBackground([&model, source = std::move(source), format, settings = std::move(settings),
                           done](std::stop_token stop) -> std::function<void()> {
        auto encoded = std::make_shared<Encoded>(readAndEncode(source, format, settings, stop));
        return [&model, encoded, file = source.file, format, done] {
            if (encoded->refusal) {
                refuse(model, *encoded->refusal);
                done(std::nullopt);
                return;
            }
            auto data = std::shared_ptr<const std::string>(encoded, &encoded->data);
            saveInBackground(model, std::move(data), encoded->suggestedName, row(format).type, file, done);
        };
    });
}

} // namespace veq::DriveExport
