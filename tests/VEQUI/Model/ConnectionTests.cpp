// The connection sequence of the model: against the simulated car, and against scripted adapters
// for the ways a connection goes wrong.
#include "ConnectionFixtures.hpp"

#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQTransport/TransportError.hpp"
#include "VEQUI/Model/ConnectionDiagnosis.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace veq;
using namespace veq::testing;
using Access = AppModelConnectionAccess;
using Phase = AppModel::Phase;

namespace {

using namespace std::chrono_literals;

const std::vector<std::string> standardSteps{"ATZ", "ATE0", "ATL0", "ATS0", "ATH1", "ATAT2", "ATSP0"};

std::vector<std::string> codesOf(const std::vector<DTC>& dtcs) {
    std::vector<std::string> out;
    for (const auto& dtc : dtcs) out.push_back(dtc.code);
    return out;
}

std::vector<std::string> commandsOf(const std::vector<InitStep>& steps) {
    std::vector<std::string> out;
    for (const auto& step : steps) out.push_back(step.command);
    return out;
}

std::vector<bool> flagsOf(const std::vector<InitStep>& steps) {
    std::vector<bool> out;
    for (const auto& step : steps) out.push_back(step.succeeded);
    return out;
}


// The position of the first `line` in `lines`, or the end.
std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line, std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i] == line) return i;
    }
    return lines.size();
}

// A gate the script waits at until the test opens it.
class Gate {
public:
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 20s, [&] { return open_; });
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Keeps processing events for a while, for checks that nothing more arrives.
void settleFor(std::chrono::milliseconds duration) { waitUntil([] { return false; }, duration); }

} // namespace

TEST(ConnectionTests, SimulatedCarGoesLiveWithEveryReadPollingRecordingAndCatalogued) {
    ConnectionRig rig;
    std::vector<Phase::Kind> phases;
    std::vector<int> succeededCounts;
    QObject::connect(rig.model.get(), &AppModel::phaseChanged, [&] { phases.push_back(rig->phase().kind); });
    QObject::connect(rig.model.get(), &AppModel::initStepsChanged, [&] {
        const auto flags = flagsOf(rig->initSteps());
        succeededCounts.push_back(static_cast<int>(std::count(flags.begin(), flags.end(), true)));
    });

    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_EQ(phases, (std::vector{Phase::Kind::connecting, Phase::Kind::live}));
    // The steps fill one by one, as the adapter accepts them.
    EXPECT_EQ(succeededCounts, (std::vector{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(commandsOf(rig->initSteps()), standardSteps);

    EXPECT_EQ(rig->vin(), "WDD2571231A123456");
    EXPECT_EQ(codesOf(rig->dtcs()), (std::vector<std::string>{"P0300", "P0171"}));
    ASSERT_TRUE(rig->monitorStatus().has_value());
    EXPECT_EQ(rig->monitorStatus()->dtcCount, 2);
    EXPECT_TRUE(rig->supportedPIDs().contains(0x0C));
    EXPECT_TRUE(rig->readFuelType().has_value());
    ASSERT_TRUE(rig->selectedProfile().has_value());
    EXPECT_EQ(rig->selectedProfile()->id, "mercedes-w204-essence");
    // The matched profile's ECUs, in its order, each with its UDS trouble codes.
    std::vector<std::string> expectedHeaders, headers;
    for (const auto& ecu : rig->selectedProfile()->ecus) expectedHeaders.push_back(ecu.txId);
    for (const auto& ecu : rig->ecus()) {
        headers.push_back(ecu.txHeader);
        EXPECT_TRUE(ecu.responded) << ecu.txHeader;
        EXPECT_TRUE(rig->udsDTCs().contains(ecu.txHeader)) << ecu.txHeader;
    }
    EXPECT_EQ(headers, expectedHeaders);
    EXPECT_EQ(rig->udsDTCs().size(), rig->ecus().size());
    ASSERT_TRUE(rig->udsDTCs().contains("7E0"));
    EXPECT_FALSE(rig->udsDTCs().at("7E0").empty());
    EXPECT_TRUE(rig->identifiedEngine().has_value());

    // Polling reaches the store; the drive is recorded and catalogued.
    EXPECT_TRUE(waitUntil([&] { return rig->store().value(0x0C).has_value() && rig->store().value(0x0D).has_value(); }));
    const auto url = rig->store().recordingURL();
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->parent_path(), rig.sessionsFolder());
    ASSERT_EQ(rig->pastSessions().size(), 1u);
    EXPECT_EQ(rig->pastSessions()[0].fileName, url->filename().string());
    EXPECT_EQ(rig->pastSessions()[0].vin, rig->vin());
    EXPECT_EQ(rig->pastSessions()[0].profileID, "mercedes-w204-essence");
    EXPECT_EQ(rig->logPhase(), AppModel::LogPhase::idle());
    EXPECT_TRUE(rig->recorderOrigin().has_value());

    // The expert set-up task ran: feasibilities of every recipe, no provider.
    EXPECT_TRUE(waitUntil([&] { return !rig->feasibilities().empty(); }));
    EXPECT_TRUE(rig->loadedProviders().empty());
}

TEST(ConnectionTests, DisconnectClearsTheDriveAndKeepsWhatThePartKeepsAndASecondConnectWorks) {
    ConnectionRig rig;
    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(waitUntil([&] { return rig->store().snapshots().size() >= 3; }));
    const auto firstFile = *rig->store().recordingURL();
    const auto monitors = rig->monitorStatus();
    const auto fuel = rig->readFuelType();
    const auto profile = rig->selectedProfile();
    const auto engine = rig->identifiedEngine();

    rig->disconnect();
    EXPECT_EQ(rig->phase(), Phase::disconnected());
    EXPECT_EQ(rig->vin(), std::nullopt);
    EXPECT_TRUE(rig->dtcs().empty());
    EXPECT_TRUE(rig->ecus().empty());
    EXPECT_TRUE(rig->udsDTCs().empty());
    EXPECT_TRUE(rig->supportedPIDs().empty());
    EXPECT_TRUE(rig->initSteps().empty());
    EXPECT_EQ(rig->monitorStatus(), monitors);
    EXPECT_EQ(rig->readFuelType(), fuel);
    EXPECT_EQ(rig->selectedProfile(), profile);
    EXPECT_EQ(rig->identifiedEngine(), engine);
    EXPECT_TRUE(Access::hasCodingEngine(*rig));
    EXPECT_EQ(Access::recorder(*rig), nullptr);
    EXPECT_EQ(Access::currentSession(*rig), std::nullopt);
    EXPECT_EQ(rig->recorderOrigin(), std::nullopt);
    EXPECT_EQ(rig->store().recordingURL(), std::nullopt);

    // The record holds the drive's end and its file's record count.
    ASSERT_EQ(rig->pastSessions().size(), 1u);
    const SessionRecord record = rig->pastSessions()[0];
    EXPECT_TRUE(record.endDate.has_value());
    EXPECT_EQ(record.sampleCount, static_cast<std::int64_t>(TelemetryFile::read(firstFile).records.size()));
    EXPECT_GT(record.sampleCount, 0);
    EXPECT_EQ(record.dtcCount, 2);

    // Batches the polling thread still had under way belong to the old connection: none shows.
    settleFor(300ms);
    EXPECT_TRUE(rig->store().stats().empty());
    EXPECT_TRUE(rig->store().snapshots().empty());

    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_TRUE(waitUntil([&] { return rig->store().value(0x0C).has_value(); }));
    ASSERT_TRUE(rig->store().recordingURL().has_value());
    EXPECT_NE(*rig->store().recordingURL(), firstFile);
    EXPECT_EQ(rig->pastSessions().size(), 2u);
    rig->disconnect();
}

TEST(ConnectionTests, ConnectWhileConnectingOrLiveStartsNoSecondSequence) {
    ScriptedCar car;
    ConnectionRig rig({.car = &car});
    rig->connect();
    rig->connect(); // still connecting
    EXPECT_EQ(rig->phase(), Phase::connecting());
    ASSERT_TRUE(waitUntil([&] { return rig.settled(); }, 20s));
    ASSERT_EQ(rig->phase(), Phase::live());
    rig->connect(); // live
    settleFor(100ms);
    EXPECT_EQ(car.count("ATZ"), 1u);
    EXPECT_EQ(rig->phase(), Phase::live());
}

TEST(ConnectionTests, ADisconnectWhileConnectingEndsTheSequenceAndDropsItsLateResults) {
    Gate gate;
    std::atomic<bool> held{false};
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "0902" && !held.exchange(true)) gate.wait();
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    rig->connect();
    ASSERT_TRUE(waitUntil([&] { return held.load(); }, 20s));
    rig->disconnect();
    gate.open();
    settleFor(300ms);

    EXPECT_EQ(rig->phase(), Phase::disconnected());
    EXPECT_EQ(rig->vin(), std::nullopt);
    EXPECT_TRUE(rig->supportedPIDs().empty());
    EXPECT_TRUE(rig->initSteps().empty());
    EXPECT_EQ(rig->store().recordingURL(), std::nullopt);
    EXPECT_TRUE(rig->pastSessions().empty());
    // The sequence stopped where it was: nothing after the VIN request was sent.
    EXPECT_EQ(car.lines().back(), "0902");

    // And the next connection is a fresh one.
    EXPECT_TRUE(rig.connect()) << rig->phase().message;
    rig->disconnect();
}

TEST(ConnectionTests, ResultsStillQueuedForTheGUIThreadAtADisconnectAreDropped) {
    ScriptedCar car;
    ConnectionRig rig({.car = &car});
    rig->connect();
    // No event is processed meanwhile: every step, the VIN and the codes wait in the queue.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!car.sent("0101") && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(car.sent("0101"));
    std::this_thread::sleep_for(50ms);
    rig->disconnect();
    settleFor(300ms);

    EXPECT_EQ(rig->phase(), Phase::disconnected());
    EXPECT_EQ(rig->vin(), std::nullopt);
    EXPECT_TRUE(rig->dtcs().empty());
    EXPECT_TRUE(rig->initSteps().empty());
    EXPECT_TRUE(rig->supportedPIDs().empty());
    EXPECT_EQ(rig->monitorStatus(), std::nullopt);
    EXPECT_TRUE(rig->pastSessions().empty());
}

TEST(ConnectionTests, AnAdapterErrorOnOneStepClearsItsFlagAndTheSequenceGoesOn) {
    ScriptedCar car([](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "ATAT2") return says("?");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_EQ(commandsOf(rig->initSteps()), standardSteps);
    EXPECT_EQ(flagsOf(rig->initSteps()), (std::vector{true, true, true, true, true, false, true}));
    const auto lines = car.lines();
    EXPECT_LT(indexOf(lines, "ATAT2"), indexOf(lines, "ATSP0"));
    rig->disconnect();
}

// The probe that a car first answers (counting every "0100"): the second is the one after format
// detection, the fifth the last of the three probe-only attempts. None of them needs a sweep.
class LateAnsweringCar : public ::testing::TestWithParam<int> {};

TEST_P(LateAnsweringCar, ConnectsWithoutASweep) {
    const int answeringProbe = GetParam();
    std::atomic<int> probes{0};
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "0100" && ++probes < answeringProbe) return says("NO DATA");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_TRUE(rig->sweepAttempts().empty());
    EXPECT_FALSE(rig->lastSweep().has_value());
    EXPECT_EQ(car.count("ATZ"), 1u); // no sweep preparation
    const auto lines = car.lines();
    EXPECT_LT(indexOf(lines, "0100"), indexOf(lines, "ATDPN"));
    rig->disconnect();
}

INSTANTIATE_TEST_SUITE_P(ConnectionTests, LateAnsweringCar, ::testing::Values(2, 5));

namespace {

// An adapter whose bus never answers: every request "NO DATA" at once; in monitor mode it prints
// `monitorChunk`.
ScriptedCar::Script silentBus(std::string monitorChunk) {
    return [monitorChunk](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "ATMA") return monitorChunk.empty() ? silence() : std::vector<std::string>{monitorChunk};
        if (line.starts_with("AT")) return std::nullopt;
        return says("NO DATA");
    };
}

} // namespace

TEST(ConnectionTests, ASilentBusAfterTheDeepSweepGivesFourDiagnosisLines) {
    ScriptedCar car(silentBus(""));
    ConnectionRig rig({.car = &car});
    EXPECT_FALSE(rig.connect());
    EXPECT_EQ(rig->phase(), Phase::failed("Aucun protocole n'a répondu après balayage complet"));

    // Four tested attempts, then exactly one sweep.
    const auto lines = car.lines();
    const auto sweepStart = indexOf(lines, "ATZ", 1);
    ASSERT_LT(sweepStart, lines.size());
    EXPECT_EQ(std::count(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(sweepStart), "0100"), 5);
    EXPECT_EQ(car.count("ATZ"), 2u);
    EXPECT_EQ(car.count("ATMA"), 1u);

    ASSERT_TRUE(rig->lastSweep().has_value());
    EXPECT_FALSE(rig->lastSweep()->succeeded());
    EXPECT_EQ(rig->sweepAttempts(), rig->lastSweep()->attempts);
    EXPECT_EQ(rig->sweepAttempts().size(), 61u);
    EXPECT_TRUE(rig->busTraffic().empty());
    // The silent-bus advice (its texts are checked with the diagnosis itself).
    EXPECT_EQ(rig->diagnostics(), ConnectionDiagnosis::sweepFailureDiagnostics(*rig->lastSweep(), {}));
    ASSERT_EQ(rig->diagnostics().size(), 4u);
    EXPECT_TRUE(rig->diagnostics()[1].starts_with("Aucun trafic entendu sur le bus"));

    EXPECT_EQ(car.transport()->state(), TransportState::disconnected());
    EXPECT_EQ(rig->initSteps().size(), 7u); // what was done stays visible
}

TEST(ConnectionTests, BusTrafficAfterTheDeepSweepIsQuotedUpToSixIdentifiers) {
    std::string frames;
    for (int i = 0; i < 10; ++i) frames += fmt::format("{:03X} 11 22 33 44 55 66 77 88\r", 0x100 + i);
    ScriptedCar car(silentBus(frames));
    ConnectionRig rig({.car = &car});
    EXPECT_FALSE(rig.connect());
    EXPECT_EQ(rig->phase(), Phase::failed("Aucun protocole n'a répondu après balayage complet"));
    EXPECT_EQ(rig->busTraffic(), (std::vector<std::string>{"100", "101", "102", "103", "104", "105", "106", "107",
                                                          "108", "109"}));
    ASSERT_TRUE(rig->lastSweep().has_value());
    EXPECT_EQ(rig->diagnostics(), ConnectionDiagnosis::sweepFailureDiagnostics(*rig->lastSweep(), rig->busTraffic()));
    ASSERT_EQ(rig->diagnostics().size(), 4u);
    EXPECT_TRUE(rig->diagnostics()[1].starts_with("Trafic entendu sur le bus (100, 101, 102, 103, 104, 105) : "));

}

struct UnreachableCase {
    std::string name;
    std::string finalProbeReply;
    std::string phaseMessage;
    std::string lastLine;
};

void PrintTo(const UnreachableCase& c, std::ostream* out) { *out << c.name; }

class UnreachableAfterSweep : public ::testing::TestWithParam<UnreachableCase> {};

TEST_P(UnreachableAfterSweep, NamesTheProbesAdapterError) {
    const UnreachableCase c = GetParam();
    std::atomic<int> probes{0};
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line != "0100") return line.starts_with("AT") ? std::nullopt : says("NO DATA");
        const int n = ++probes;
        if (n <= 5) return says("NO DATA");        // the four attempts
        if (n == 6) return says("7E8064100BE3EB811"); // the sweep's first combination answers
        return says(c.finalProbeReply);
    });
    ConnectionRig rig({.car = &car});
    EXPECT_FALSE(rig.connect());
    EXPECT_EQ(rig->phase(), Phase::failed(c.phaseMessage));
    ASSERT_TRUE(rig->lastSweep().has_value());
    EXPECT_TRUE(rig->lastSweep()->succeeded());
    EXPECT_EQ(rig->sweepAttempts().size(), 1u);
    ASSERT_EQ(rig->diagnostics().size(), 6u);
    EXPECT_EQ(rig->diagnostics()[0], "L'adaptateur ELM327 fonctionne, mais le véhicule ne répond pas.");
    EXPECT_EQ(rig->diagnostics()[5], c.lastLine);

    EXPECT_FALSE(car.sent("ATMA")); // no listening after a sweep that found a protocol
    EXPECT_EQ(car.transport()->state(), TransportState::disconnected());
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionTests, UnreachableAfterSweep,
    ::testing::Values(UnreachableCase{"adapterError", "CAN ERROR", "Véhicule injoignable — CAN ERROR",
                                      "Réponse de l'adaptateur : CAN ERROR"},
                      UnreachableCase{"noAnswer", "", "Véhicule injoignable — aucune réponse", "Aucune réponse du bus."}),
    [](const auto& info) { return info.param.name; });

struct ThrowingReadCase {
    std::string request;
    bool vinRead;
    bool codesRead;
};

void PrintTo(const ThrowingReadCase& c, std::ostream* out) { *out << c.request; }

class ThrowingRead : public ::testing::TestWithParam<ThrowingReadCase> {};

TEST_P(ThrowingRead, FailsTheConnectionAndKeepsWhatWasRead) {
    const ThrowingReadCase c = GetParam();
    ScriptedCar car;
    car.failSendsContaining(c.request + "\r");
    ConnectionRig rig({.car = &car});
    EXPECT_FALSE(rig.connect());
    const std::string error = TransportError::notConnected().what();
    EXPECT_EQ(rig->phase(), Phase::failed(error));
    EXPECT_EQ(rig->diagnostics(), (std::vector<std::string>{"Le simulateur n'a pas répondu — anomalie interne.", error}));
    EXPECT_EQ(car.transport()->state(), TransportState::disconnected());
    EXPECT_EQ(rig->vin().has_value(), c.vinRead);
    EXPECT_EQ(!rig->dtcs().empty(), c.codesRead);
    EXPECT_EQ(rig->initSteps().size(), 7u);
    EXPECT_FALSE(rig->monitorStatus().has_value());
    // Nothing of a live drive was started.
    EXPECT_EQ(rig->store().recordingURL(), std::nullopt);
    EXPECT_TRUE(rig->pastSessions().empty());
    EXPECT_EQ(rig->recorderOrigin(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(ConnectionTests, ThrowingRead,
                         ::testing::Values(ThrowingReadCase{"0120", false, false}, // supported parameters
                                           ThrowingReadCase{"0902", false, false}, // VIN
                                           ThrowingReadCase{"03", true, false},    // stored codes
                                           ThrowingReadCase{"0101", true, true}), // monitors
                         [](const auto& info) { return "request" + info.param.request; });

TEST(ConnectionTests, UDSCodesPerAnsweringECUAndAnEmptyListWhereTheirReadFails) {
    // No VIN: the generic profile and its ECU list; 7E5 stays silent, the transmission refuses
    // its codes.
    std::string header = "7DF";
    ScriptedCar car([&](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line.starts_with("ATSH")) header = line.substr(4);
        if (line == "0902") return says("NO DATA");
        if (header == "7E5" && !line.starts_with("AT")) return says("NO DATA");
        if (line == "1902FF" && header == "7E1") return says("7E9037F1922");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(rig->selectedProfile().has_value());
    EXPECT_EQ(rig->selectedProfile()->id, "generic-obd2");
    std::set<std::string> answering;
    for (const auto& ecu : rig->ecus()) {
        if (ecu.responded) answering.insert(ecu.txHeader);
    }
    ASSERT_TRUE(answering.contains("7E0") && answering.contains("7E1"));
    EXPECT_FALSE(answering.contains("7E5"));
    std::set<std::string> keys;
    for (const auto& [key, codes] : rig->udsDTCs()) keys.insert(key);
    EXPECT_EQ(keys, answering); // a silent ECU has no entry
    EXPECT_FALSE(rig->udsDTCs().at("7E0").empty());
    EXPECT_TRUE(rig->udsDTCs().at("7E1").empty());
    // Functional addressing is put back after the scan.
    const auto lines = car.lines();
    const auto lastHeader = std::find_if(lines.rbegin(), lines.rend(), [](const auto& l) { return l.starts_with("ATSH"); });
    ASSERT_NE(lastHeader, lines.rend());
    EXPECT_EQ(*lastHeader, "ATSH7DF");
    EXPECT_EQ(car.count("ATSH7DF"), 2u);
    rig->disconnect();
}

TEST(ConnectionTests, On29BitCANTheScanAndTheSecondFunctionalHeaderAreSkipped) {
    ScriptedCar car([](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "ATDPN") return says("A7");
        if (line == "0100") return says("18DAF110064100BE3EB811");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_TRUE(rig->ecus().empty());
    EXPECT_TRUE(rig->udsDTCs().empty());
    EXPECT_EQ(car.count("ATSH7DF"), 1u);
    EXPECT_FALSE(car.sent("3E00"));
    rig->disconnect();
}

TEST(ConnectionTests, TheConnectionsSetUpTaskListsBackupsAuditAndFeasibilities) {
    ConnectionRig rig;
    AuditEntry entry;
    entry.kind = AuditEntry::Kind::expertAccepted;
    entry.result = "entrée d'essai";
    rig->auditLog().record(entry);
    rig->refreshFeasibilities(); // no coding engine yet: nothing
    settleFor(50ms);
    EXPECT_TRUE(rig->feasibilities().empty());

    ASSERT_TRUE(rig.connect());
    ASSERT_TRUE(waitUntil([&] { return !rig->feasibilities().empty(); }));
    EXPECT_EQ(rig->auditEntries(), rig->auditLog().recent());
    EXPECT_EQ(rig->auditEntries().size(), 1u);
    EXPECT_EQ(rig->backupList(), rig->backupStore().all());
    std::set<std::string> ids;
    for (const auto& recipe : rig->recipes()) ids.insert(recipe.id);
    EXPECT_EQ(rig->feasibilities().size(), ids.size());
    rig->disconnect();
}
