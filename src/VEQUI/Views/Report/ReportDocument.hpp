#pragma once

#include "VEQUI/Views/Report/ReportContent.hpp"
#include "VEQStore/Export/LocalTime.hpp"

#include <QByteArray>

#include <chrono>
#include <optional>
#include <string>

// The report printed: an A4 portrait PDF of real text, each page under a header (the
// application, "Rapport de diagnostic", the VIN) and over its footer ("page N / M"), the tables
// breaking across pages with their header row repeated.
namespace veq::ReportDocument {

// The PDF's bytes. Runs on any thread: it uses nothing but the content. Throws veq::Error with the
// French reason when Qt's PDF writer fails.
QByteArray pdf(const ReportContent& content);

// "Rapport_20261207-115816.pdf" for a report on a drive begun then, local time; the present moment
// when nothing began.
std::string fileName(std::optional<std::chrono::system_clock::time_point> start, const TimeZone& timeZone);

} // namespace veq::ReportDocument
