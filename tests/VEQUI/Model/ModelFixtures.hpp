#pragma once

#include "VEQEngine/Session/TelemetrySink.hpp"
#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQUI/Model/AppModel.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>

// Shared pieces of the model's tests: sample making, event-loop waits and a model on a
// temporary data folder with no position source.
namespace veq::testing {

using Date = std::chrono::system_clock::time_point;

// 2026-03-01 09:00:00 UTC.
inline const Date kStart = Date(std::chrono::seconds(1'772'355'600));

inline Date at(double seconds) {
    return kStart + std::chrono::round<Date::duration>(std::chrono::duration<double>(seconds));
}

inline Date atMs(std::int64_t ms) { return kStart + std::chrono::milliseconds(ms); }

inline TelemetrySample measured(std::uint8_t pid, double value, Date timestamp,
                                const MeasurementUnit& unit = MeasurementUnit::none) {
    return {pid, PIDReading::measurement(value, unit), timestamp};
}

// Runs the event loop until `done` holds or the time-out passes; true when it held.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    QDeadlineTimer deadline(timeout.count());
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Keeps processing events for a while, for checks that nothing more arrives.
inline void settleFor(std::chrono::milliseconds duration) { waitUntil([] { return false; }, duration); }

// A model whose files all live in a temporary folder, without any position source.
struct ModelRig {
    TemporaryFolder folder;
    std::unique_ptr<AppModel> model;

    ModelRig() {
        AppModel::Environment environment;
        environment.dataFolder = folder.path();
        environment.locationSource = [] { return nullptr; };
        model = std::make_unique<AppModel>(std::move(environment));
    }
};

} // namespace veq::testing

namespace veq {
// A phase in a failed check reads as its case and message, not as bytes.
inline void PrintTo(const AppModel::Phase& phase, std::ostream* out) {
    constexpr const char* names[] = {"failed", "disconnected", "connecting", "live"};
    *out << names[static_cast<int>(phase.kind)];
    if (phase.kind == AppModel::Phase::Kind::failed) *out << "(\"" << phase.message << "\")";
}

// The model's own setters of connection-time state, for tests that need a state without a car.
struct AppModelTestAccess {
    static void setVin(AppModel& m, std::optional<std::string> vin) { m.setVin(std::move(vin)); }
    static void setReadFuelType(AppModel& m, std::optional<FuelType> fuel) { m.setReadFuelType(fuel); }
    static void setEcus(AppModel& m, std::vector<DiscoveredECU> ecus) { m.setEcus(std::move(ecus)); }
    static void setDtcs(AppModel& m, std::vector<DTC> dtcs) { m.setDtcs(std::move(dtcs)); }
    static void setDtcsUnread(AppModel& m) { m.setDtcsUnread(); }
    // Every ECU listed had its codes read.
    static void setUdsDTCs(AppModel& m, const std::map<std::string, std::vector<UDSDTC>>& codes) {
        AppModel::UDSCodes read;
        for (const auto& [header, list] : codes) read[header] = list;
        m.setUdsDTCs(std::move(read));
    }
    static void setUdsDTCReads(AppModel& m, AppModel::UDSCodes codes) { m.setUdsDTCs(std::move(codes)); }
    static void setRecognisedMake(AppModel& m, std::optional<WMIRegistry::Make> make) {
        m.setRecognisedMake(std::move(make));
    }
    static void setProfileFuelMismatch(AppModel& m, bool on) { m.setProfileFuelMismatch(on); }
    static void setRecipes(AppModel& m, std::vector<CodingRecipe> recipes) { m.setRecipes(std::move(recipes)); }
    static void setLoadedProviders(AppModel& m, std::vector<std::string> names) {
        m.setLoadedProviders(std::move(names));
    }
    static void setLastExecutionMessage(AppModel& m, std::optional<std::string> message) {
        m.setLastExecutionMessage(std::move(message));
    }
    static void setCurrentSession(AppModel& m, std::optional<SessionRecord> record) {
        m.currentSession_ = std::move(record);
    }
    static void setDiscoveredDIDs(AppModel& m, std::vector<DiscoveredDID> dids) { m.setDiscoveredDIDs(std::move(dids)); }
    static void setDidWatching(AppModel& m, bool watching) { m.setDidWatching(watching); }
    static void setCaptureSummaries(AppModel& m, std::vector<EventRecorder::ChannelSummary> summaries) {
        m.setCaptureSummaries(std::move(summaries));
    }
    static void setCaptureStatus(AppModel& m, std::optional<EventRecorder::Status> status) {
        m.setCaptureStatus(std::move(status));
    }
    static void setLogPhase(AppModel& m, AppModel::LogPhase phase) { m.setLogPhase(phase); }
    static void setLastSavedLog(AppModel& m, std::optional<EventRecorder::SavedLog> log) {
        m.setLastSavedLog(std::move(log));
    }
    static bool captureRefreshing(const AppModel& m) { return m.captureRefreshTask_ != nullptr; }
    static void setRecorder(AppModel& m, std::shared_ptr<EventRecorder> recorder) { m.setRecorder(std::move(recorder)); }
    static void setCaptureOldestEvent(AppModel& m, std::optional<AppModel::Date> date) { m.setCaptureOldestEvent(date); }
    static QTimer& pendingSessionsTimer(AppModel& m) { return *m.pendingSessionsTimer_; }
};
} // namespace veq
