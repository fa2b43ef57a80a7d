#pragma once

#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQProtocol/DTC.hpp"
#include "VEQProtocol/UDSDTC.hpp"
#include "VEQUI/Views/Report/ParameterTable.hpp"
#include "VEQUI/Views/Recording/TripFigures.hpp"

#include <QColor>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veq {

class AppModel;

// One stored trouble code as the report explains it, from the trouble-code text base.
struct ReportCode {
    QString code;
    QString title;
    QString system;
    QString subsystem;
    QString severity; // "Faible", "Moyenne", "Élevée"
    QColor severityColor;
    QStringList causes; // most likely first

    bool operator==(const ReportCode&) const = default;
};

// One ECU that answered the scan, as the ECU map has it.
struct ReportECU {
    QString address; // its request header
    QString name;
    QString partNumber;      // "—" when it gave none
    QString softwareVersion; // "—" when it gave none
    std::optional<int> codeCount = 0; // the UDS trouble codes held for it; nothing when unread

    bool operator==(const ReportECU&) const = default;
};

// Everything the report shows and prints, as plain values: taken on the GUI thread, then handed
// to the PDF writer on another.
struct ReportContent {
    QString application; // the application's name and version, atop every page
    QString profile;
    QString vin;                        // "—" when none was read
    std::array<QString, 3> vinSections; // manufacturer (WMI), descriptor (VDS), identifier (VIS)
    QString start;                      // as "Début" shows it
    std::vector<TripFigures::Figure> trip;
    std::vector<ReportCode> codes;
    bool codesUnread = false; // the codes could not be read whole: none is listed
    bool ecusScanned = false; // whether a scan ran at all
    std::vector<ReportECU> ecus;
    std::vector<ParameterRow> parameters;

    bool operator==(const ReportContent&) const = default;
};

namespace Report {

// The words the screen and the PDF share, so that they say the same. The titles of the VIN's
// sections, in order.
inline constexpr std::array<const char*, 3> vinSectionTitles{"Constructeur (WMI)", "Descripteur (VDS)",
                                                             "Identifiant (VIS)"};
// The parameters' columns: name, unit, the four values as `ParameterRow` holds them, samples.
inline constexpr std::array<const char*, 7> parameterColumnTitles{"Paramètre", "Unité", "Actuelle",    "Min",
                                                                  "Moyenne",   "Max",   "Échantillons"};
// What a section says when it has nothing to list.
inline constexpr const char* noCodesNote = "Aucun code défaut";
// In place of the codes when they could not be read whole, in the warning colour.
inline constexpr const char* codesUnreadNote = "Codes non lus";
inline constexpr const char* noParametersNote = "Aucun paramètre reçu pour l'instant.";
// Before any scan, and after one that no ECU answered.
const char* noECUsNote(bool scanned);
// A code's likely causes, one bulleted line each.
QStringList causeLines(const QStringList& causes);

// Each stored code with its description, in the order they were read.
std::vector<ReportCode> codesOf(const std::vector<DTC>& dtcs);
// The ECUs that answered, in scan order, each with the UDS codes held under its request header.
std::vector<ReportECU> ecusOf(const std::vector<DiscoveredECU>& ecus,
                              const UDSCodesByECU& codes);

// The count of an ECU's codes as the report prints it: "non lus" when they could not be read.
QString codeCountText(const ReportECU& ecu);
// The sections of a 17-character VIN; dashes for anything else.
std::array<QString, 3> vinSectionsOf(const std::optional<std::string>& vin);

// When the drive began as "Début" tells it: its first speed reading, else the moment of connecting.
std::optional<std::chrono::system_clock::time_point> startOf(const AppModel& model);

// The report's content as the model stands now. GUI thread.
ReportContent contentOf(const AppModel& model);

} // namespace Report

} // namespace veq
