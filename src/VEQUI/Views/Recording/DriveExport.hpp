#pragma once

#include "VEQStore/Export/SubtitleExporter.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class QObject;

namespace veq {

class AppModel;

// A recorded drive handed to the user in another format: read from its own telemetry file and
// encoded off the GUI thread, then a save panel, then written off the GUI thread, whole or not at
// all. The trips screen exports catalogued drives with it, the capture screen its saved log's report.
namespace DriveExport {

enum class Format { csv, json, mdf4, gpx, html, srt };

struct FormatRow {
    Format format;
    const char* title; // the button's
    FileExporter::ContentType type;
};

// The formats offered, in order: CSV, JSON, MDF 4.10, GPX, HTML, SRT.
std::span<const FormatRow> formats();
const FormatRow& row(Format format);

// What an export needs besides the drive.
struct Settings {
    std::string title; // the HTML page's title and the GPX track's name
    SubtitleExporter::Options subtitles;
};

// The bytes of the exported file. Throws veq::Error with the French reason when the drive cannot
// be written in that format (no GPS point for GPX, a value that JSON cannot hold).
std::string encode(const TelemetryFile::Contents& drive, Format format, const Settings& settings);

// A part of a drive, in seconds from its start.
struct Excerpt {
    double from = 0;
    double to = 0;
    // The end sat at the end of the drive as last read: the excerpt then ends where the drive
    // ends when the export reads it (the drive under way has gone on since).
    bool toTheEnd = false;
};

// "DJI_<local start date and time>.<extension>", for the drive's start in the current time zone;
// an excerpt puts its range between the two, each bound read to the second it falls in
// ("DJI_20261207115816-12s-95s.csv" from 12 s to 95.6 s).
std::string suggestedName(const TelemetryFile::Contents& drive, Format format,
                          const std::optional<Excerpt>& excerpt = std::nullopt);

// Told instead of exporting an excerpt that holds no record.
inline constexpr std::string_view emptyExcerptRefusal = "L'extrait ne contient aucune mesure : il n'y a rien à exporter.";

// The drive to export: its file, and the contents already read from it when the caller holds
// them (else the file is read off the GUI thread); an excerpt, or the whole drive.
struct Source {
    std::filesystem::path file; // also never a destination
    std::shared_ptr<const TelemetryFile::Contents> contents;
    std::optional<Excerpt> excerpt;
};

// The end of an export, on the GUI thread: the file written, or nothing (cancelled, refused, failed).
using Finished = std::function<void(const std::optional<std::filesystem::path>& written)>;

// Exports the telemetry file `source`. Every failure (a file that cannot be read, a drive that the
// format cannot hold, a destination the application keeps, a write that fails) is told through
// the model's dialogs in French and leaves the drive and any file at the destination as they
// were. `finished` runs on the GUI thread once it is over, whatever the outcome, unless `owner`
// has gone by then; the export itself goes on without its screen.
void start(AppModel& model, std::filesystem::path source, Format format, Settings settings, QObject* owner,
           std::function<void()> finished);
void start(AppModel& model, Source source, Format format, Settings settings, QObject* owner, Finished finished);

} // namespace DriveExport

} // namespace veq
