#include "VEQUI/Views/Report/ReportContent.hpp"

#include "VEQProtocol/DTCDatabase.hpp"
#include "VEQProtocol/VIN.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/AppVersion.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/SeverityColor.hpp"

namespace veq::Report {

namespace {

const QString unknown = QStringLiteral("\u2014");

QString qs(const std::string& text) { return QString::fromStdString(text); }
QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

const char* noECUsNote(bool scanned) {
    return scanned ? "Aucun calculateur n'a répondu" : "Aucun calculateur interrogé";
}

QStringList causeLines(const QStringList& causes) {
    QStringList lines;
    for (const QString& cause : causes) lines << QStringLiteral("• ") + cause;
    return lines;
}

std::vector<ReportCode> codesOf(const std::vector<DTC>& dtcs) {
    std::vector<ReportCode> rows;
    rows.reserve(dtcs.size());
    for (const DTC& dtc : dtcs) {
        const DTCInfo info = DTCDatabase::describe(dtc);
        QStringList causes;
        for (const std::string& cause : info.causes) causes << qs(cause);
        rows.push_back({qs(dtc.code), qs(info.title), qs(info.system), qs(info.subsystem), qs(label(info.severity)),
                        severityColor(info.severity), causes});
    }
    return rows;
}

std::vector<ReportECU> ecusOf(const std::vector<DiscoveredECU>& ecus,
                              const UDSCodesByECU& codes) {
    std::vector<ReportECU> rows;
    for (const DiscoveredECU& ecu : ecus) {
        if (!ecu.responded) continue;
        const auto held = codes.find(ecu.txHeader);
        rows.push_back({qs(ecu.txHeader), qs(ecu.name), ecu.partNumber ? qs(*ecu.partNumber) : unknown,
                        ecu.softwareVersion ? qs(*ecu.softwareVersion) : unknown,
                        held == codes.end() ? std::optional(0)
                        : held->second      ? std::optional(static_cast<int>(held->second->size()))
                                            : std::nullopt});
    }
    return rows;
}

QString codeCountText(const ReportECU& ecu) {
    return ecu.codeCount ? QString::number(*ecu.codeCount) : QStringLiteral("non lus");
}

std::array<QString, 3> vinSectionsOf(const std::optional<std::string>& vin) {
    const auto decoded = vin ? VIN::analyze(*vin) : std::nullopt;
    if (!decoded) return {unknown, unknown, unknown};
    return {qs(decoded->wmi), qs(decoded->vds), qs(decoded->vis)};
}

std::optional<std::chrono::system_clock::time_point> startOf(const AppModel& model) {
    if (const auto& start = model.store().trip().startTime) return *start;
    return model.recorderOrigin();
}

ReportContent contentOf(const AppModel& model) {
    ReportContent content;
    content.application = AppVersion::label();
    const auto& profile = model.selectedProfile();
    content.profile = profile ? qs(profile->displayName()) : unknown;
    content.vin = model.vin() ? qs(*model.vin()) : unknown;
    content.vinSections = vinSectionsOf(model.vin());
    const auto start = startOf(model);
    content.start = start ? DateTexts::listDate(*start, true) : unknown;
    content.trip = TripFigures::ofCurrentDrive(model.store().trip());
    content.codes = codesOf(model.dtcs());
    content.codesUnread = model.dtcsUnread();
    content.ecusScanned = !model.ecus().empty();
    content.ecus = ecusOf(model.ecus(), model.udsDTCs());
    content.parameters = ParameterRow::of(model.store(), model.unitSystem());
    return content;
}

} // namespace veq::Report
