// The connection sequence of the model: against the simulated car, and against scripted adapters
// for the ways a connection goes wrong.
#include "ConnectionFixtures.hpp"

#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQTransport/TransportError.hpp"
#include "VEQSupport/Text.hpp"
#include "VEQUI/Model/ConnectionDiagnosis.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <thread>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;
using Access = AppModelConnectionAccess;
using Phase = AppModel::Phase;
using Lines = std::vector<std::string>;

namespace {

const Lines standardSteps{"ATZ", "ATE0", "ATL0", "ATS0", "ATH1", "ATAT2", "ATSP0"};

Lines commandsOf(const std::vector<InitStep>& steps) {
    Lines out;
    for (const auto& step : steps) out.push_back(step.command);
    return out;
}

std::vector<bool> flagsOf(const std::vector<InitStep>& steps) {
    std::vector<bool> out;
    for (const auto& step : steps) out.push_back(step.succeeded);
    return out;
}

// The position of the first `line` in `lines` from `from`, or the end.
std::size_t indexOf(const Lines& lines, const std::string& line, std::size_t from = 0) {
    const auto it = std::find(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end(), line);
    return static_cast<std::size_t>(it - lines.begin());
}

// What a connection that failed or was cut short must not have left behind.
void expectNoDrive(const AppModel& model) {
    EXPECT_EQ(model.store().recordingURL(), std::nullopt);
    EXPECT_TRUE(model.pastSessions().empty());
    EXPECT_EQ(model.recorderOrigin(), std::nullopt);
}

} // namespace

TEST(ConnectionTests, SimulatedCarGoesLiveThenDisconnectKeepsOnlyWhatOutlivesTheDrive) {
    ConnectionRig rig;
    AuditEntry entry;
    entry.kind = AuditEntry::Kind::expertAccepted;
    rig->auditLog().record(entry);
    std::vector<Phase::Kind> phases;
    std::vector<int> succeededCounts;
    QObject::connect(rig.model.get(), &AppModel::phaseChanged, [&] { phases.push_back(rig->phase().kind); });
    QObject::connect(rig.model.get(), &AppModel::initStepsChanged, [&] {
        const auto flags = flagsOf(rig->initSteps());
        succeededCounts.push_back(static_cast<int>(std::count(flags.begin(), flags.end(), true)));
    });

    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_EQ(phases, (std::vector{Phase::Kind::connecting, Phase::Kind::live}));
    EXPECT_EQ(succeededCounts, (std::vector{0, 1, 2, 3, 4, 5, 6, 7})); // one by one, as accepted
    EXPECT_EQ(commandsOf(rig->initSteps()), standardSteps);
    EXPECT_EQ(rig->vin(), "WDD2571231A123456");
    ASSERT_EQ(rig->dtcs().size(), 2u);
    EXPECT_EQ(rig->dtcs()[1].code, "P0171");
    ASSERT_TRUE(rig->monitorStatus().has_value());
    EXPECT_EQ(rig->monitorStatus()->dtcCount, 2);
    EXPECT_TRUE(rig->supportedPIDs().contains(0x0C));
    EXPECT_TRUE(rig->readFuelType().has_value());
    ASSERT_TRUE(rig->selectedProfile().has_value());
    EXPECT_EQ(rig->selectedProfile()->id, "mercedes-c257-essence"); // the car the simulator plays
    EXPECT_TRUE(rig->profileMatchedFromVIN());
    EXPECT_FALSE(rig->profileFuelMismatch());
    EXPECT_TRUE(rig->identifiedEngine().has_value());
    EXPECT_EQ(rig->ecus().size(), rig->selectedProfile()->ecus.size());

    // Polling reaches the store; the drive is recorded and catalogued; the set-up task ran.
    EXPECT_TRUE(waitUntil([&] { return rig->store().value(0x0C) && rig->store().snapshots().size() >= 3; }));
    const auto firstFile = rig->store().recordingURL();
    ASSERT_TRUE(firstFile.has_value());
    EXPECT_EQ(firstFile->parent_path(), rig.sessionsFolder());
    ASSERT_EQ(rig->pastSessions().size(), 1u);
    EXPECT_EQ(rig->pastSessions()[0].fileName, firstFile->filename().string());
    EXPECT_EQ(rig->pastSessions()[0].vin, rig->vin());
    EXPECT_EQ(rig->pastSessions()[0].profileID, "mercedes-c257-essence");
    EXPECT_TRUE(rig->recorderOrigin().has_value());
    EXPECT_TRUE(waitUntil([&] { return rig->feasibilities().size() == rig->recipes().size(); }));
    EXPECT_EQ(rig->auditEntries().size(), 1u); // the log is read at connect

    const auto kept = std::tuple(rig->monitorStatus(), rig->readFuelType(), rig->selectedProfile(), rig->identifiedEngine());
    rig->disconnect();
    EXPECT_EQ(rig->phase(), Phase::disconnected());
    EXPECT_EQ(rig->vin(), std::nullopt);
    EXPECT_TRUE(rig->dtcs().empty() && rig->ecus().empty() && rig->udsDTCs().empty());
    EXPECT_TRUE(rig->supportedPIDs().empty() && rig->initSteps().empty());
    EXPECT_TRUE(kept == std::tuple(rig->monitorStatus(), rig->readFuelType(), rig->selectedProfile(), rig->identifiedEngine()));
    EXPECT_TRUE(Access::hasCodingEngine(*rig));
    EXPECT_EQ(Access::recorder(*rig), nullptr);
    EXPECT_EQ(Access::currentSession(*rig), std::nullopt);
    EXPECT_EQ(rig->recorderOrigin(), std::nullopt);
    EXPECT_EQ(rig->store().recordingURL(), std::nullopt);
    // The record holds the drive's end and its file's record count.
    ASSERT_EQ(rig->pastSessions().size(), 1u);
    const SessionRecord record = rig->pastSessions()[0];
    EXPECT_TRUE(record.endDate.has_value());
    EXPECT_EQ(record.sampleCount, static_cast<std::int64_t>(TelemetryFile::read(*firstFile).records.size()));
    EXPECT_GT(record.sampleCount, 0);
    EXPECT_EQ(record.dtcCount, 2);
    // Batches the polling thread still had under way belong to the old connection: none shows.
    settleFor(300ms);
    EXPECT_TRUE(rig->store().stats().empty());
    EXPECT_TRUE(rig->store().snapshots().empty());

    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_TRUE(waitUntil([&] { return rig->store().value(0x0C).has_value(); }));
    EXPECT_NE(rig->store().recordingURL(), firstFile);
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
    ScriptGate gate;
    std::atomic<bool> held{false};
    ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
        if (line == "0902" && !held.exchange(true)) gate.wait();
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    rig->connect();
    ASSERT_TRUE(waitUntil([&] { return gate.reached(); }, 20s));
    rig->disconnect();
    gate.open();
    settleFor(300ms);
    EXPECT_EQ(rig->phase(), Phase::disconnected());
    EXPECT_EQ(rig->vin(), std::nullopt);
    EXPECT_TRUE(rig->supportedPIDs().empty() && rig->initSteps().empty());
    expectNoDrive(*rig);
    EXPECT_EQ(car.lines().back(), "0902"); // nothing after the VIN request was sent
    EXPECT_TRUE(rig.connect()) << rig->phase().message; // and the next connection is a fresh one
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
    EXPECT_TRUE(rig->dtcs().empty() && rig->initSteps().empty() && rig->supportedPIDs().empty());
    EXPECT_EQ(rig->monitorStatus(), std::nullopt);
    expectNoDrive(*rig);
}

TEST(ConnectionTests, AnAdapterErrorOnOneStepClearsItsFlagAndTheSequenceGoesOn) {
    ScriptedCar car([](const std::string& line) -> std::optional<Lines> {
        return line == "ATAT2" ? says("?") : std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_EQ(commandsOf(rig->initSteps()), standardSteps);
    EXPECT_EQ(flagsOf(rig->initSteps()), (std::vector{true, true, true, true, true, false, true}));
    EXPECT_LT(indexOf(car.lines(), "ATAT2"), indexOf(car.lines(), "ATSP0"));
    rig->disconnect();
}

// The probe that a car first answers (counting every "0100"): the second is the one after format
// detection, the fifth the last of the three probe-only attempts. None of them needs a sweep.
class LateAnsweringCar : public ::testing::TestWithParam<int> {};

TEST_P(LateAnsweringCar, ConnectsWithoutASweep) {
    std::atomic<int> probes{0};
    ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
        if (line == "0100" && ++probes < GetParam()) return says("NO DATA");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_TRUE(rig->sweepAttempts().empty());
    EXPECT_FALSE(rig->lastSweep().has_value());
    EXPECT_EQ(car.count("ATZ"), 1u); // no sweep preparation
    EXPECT_LT(indexOf(car.lines(), "0100"), indexOf(car.lines(), "ATDPN"));
    rig->disconnect();
}

INSTANTIATE_TEST_SUITE_P(ConnectionTests, LateAnsweringCar, ::testing::Values(2, 5));

TEST(ConnectionTests, ASilentBusAfterTheDeepSweepGetsTheDiagnosisOfWhatWasHeard) {
    std::string tenFrames;
    for (int i = 0; i < 10; ++i) tenFrames += fmt::format("{:03X} 11 22 33 44 55 66 77 88\r", 0x100 + i);
    const struct { std::string monitorChunk; Lines traffic; std::string secondLine; } cases[] = {
        {"", {}, "Aucun trafic entendu sur le bus"},
        {tenFrames, {"100", "101", "102", "103", "104", "105", "106", "107", "108", "109"},
         "Trafic entendu sur le bus (100, 101, 102, 103, 104, 105) : "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.secondLine);
        // Every request "NO DATA" at once; in monitor mode the chunk, if any.
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (line == "ATMA") return c.monitorChunk.empty() ? silence() : Lines{c.monitorChunk};
            return line.starts_with("AT") ? std::nullopt : says("NO DATA");
        });
        ConnectionRig rig({.car = &car});
        EXPECT_FALSE(rig.connect());
        EXPECT_EQ(rig->phase(), Phase::failed("Aucun protocole n'a répondu après balayage complet"));
        // Four tested attempts (five probes), then exactly one sweep with one listening.
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
        EXPECT_EQ(rig->busTraffic(), c.traffic);
        // The advice itself is checked with the diagnosis.
        EXPECT_EQ(rig->diagnostics(), ConnectionDiagnosis::sweepFailureDiagnostics(*rig->lastSweep(), c.traffic));
        ASSERT_EQ(rig->diagnostics().size(), 4u);
        EXPECT_TRUE(rig->diagnostics()[1].starts_with(c.secondLine));
        EXPECT_EQ(car.transport()->state(), TransportState::disconnected());
        EXPECT_EQ(rig->initSteps().size(), 7u); // what was done stays visible
    }
}

// The probe after a sweep that found a protocol fails: the advice quotes the adapter's word.
TEST(ConnectionTests, AProtocolFoundByTheSweepThatThenFailsNamesTheProbesAdapterError) {
    std::atomic<int> probes{0};
    ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
        if (line != "0100") return line.starts_with("AT") ? std::nullopt : says("NO DATA");
        const int n = ++probes;
        if (n <= 5) return says("NO DATA");           // the four attempts
        if (n == 6) return says("7E8064100BE3EB811"); // the sweep's first combination answers
        return says("CAN ERROR");
    });
    ConnectionRig rig({.car = &car});
    EXPECT_FALSE(rig.connect());
    EXPECT_EQ(rig->phase(), Phase::failed("Véhicule injoignable — CAN ERROR"));
    ASSERT_TRUE(rig->lastSweep().has_value());
    EXPECT_TRUE(rig->lastSweep()->succeeded());
    EXPECT_EQ(rig->sweepAttempts().size(), 1u);
    EXPECT_EQ(rig->diagnostics(), ConnectionDiagnosis::vehicleUnreachableDiagnostics(ELM327Error::canError));
    EXPECT_FALSE(car.sent("ATMA")); // no listening after a sweep that found a protocol
    EXPECT_EQ(car.transport()->state(), TransportState::disconnected());
}

TEST(ConnectionTests, AReadThatThrowsFailsTheConnectionAndKeepsWhatWasRead) {
    const struct {
        std::string request;
        bool vinRead, codesRead;
    } cases[] = {{"0120", false, false}, {"0902", false, false}, {"03", true, false}, {"0101", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        ScriptedCar car;
        car.failSendsContaining(c.request + "\r");
        ConnectionRig rig({.car = &car});
        EXPECT_FALSE(rig.connect());
        const std::string error = TransportError::notConnected().what();
        EXPECT_EQ(rig->phase(), Phase::failed(error));
        EXPECT_EQ(rig->diagnostics(), (Lines{"Le simulateur n'a pas répondu — anomalie interne.", error}));
        EXPECT_EQ(car.transport()->state(), TransportState::disconnected());
        EXPECT_EQ(rig->vin().has_value(), c.vinRead);
        EXPECT_EQ(!rig->dtcs().empty(), c.codesRead);
        EXPECT_EQ(rig->initSteps().size(), 7u);
        EXPECT_FALSE(rig->monitorStatus().has_value());
        expectNoDrive(*rig);
    }
}

// The vehicle probe asks once more after an answer broken on the way (here the one after the
// sweep, which no further probe follows); only a whole support map says the car answered.
TEST(ConnectionTests, ABrokenVehicleProbeIsAskedOnceMoreAndOnlyAWholeMapAnswers) {
    const std::string whole = "7E8 06 41 00 BE 3F A8 13", broken = "7E8 07 41 00 BE 3F A8 13";
    const struct {
        const char* name;
        Lines probes; // each "0100" takes the next, the last one again once they are used up
        bool live;
    } cases[] = {
        // five probes before the sweep, the sweep's first attempt, then the probe after it
        {"broken once after the sweep",
         {"NO DATA", "NO DATA", "NO DATA", "NO DATA", "NO DATA", whole, broken, whole}, true},
        {"always broken", {broken}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t asked = 0; // the command lock serialises the script
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (line != "0100") return std::nullopt;
            return says(c.probes[std::min(asked++, c.probes.size() - 1)]);
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 200ms});
        EXPECT_EQ(rig.connect(std::chrono::seconds(60)), c.live) << rig->phase().message;
        rig->disconnect();
    }
}

// A read of the identification that gets no reply at all, or only an adapter error other than
// "NO DATA", is asked once more; a second such reply fails the connection, since codes, a VIN or
// monitors never read must not read as none. Twice nothing at all is asked a third time when the
// adapter answers a probe. The fuel type alone goes without. An answer broken on the way is asked
// once more too; broken twice, the codes are unread and the connection goes on.
TEST(ConnectionTests, AnIdentificationReadLeftUnansweredIsAskedOnceMoreThenFailsTheConnection) {
    const std::string stopped(ConnectionDiagnosis::identificationSilenceMessage);
    // Ten codes with their first consecutive frame printed twice.
    const std::string brokenCodes = "7E81016430A01410142\r7E82101430144014501\r7E82101430144014501\r"
                                    "7E82246014701480149\r7E823014A";
    const struct {
        std::string request;
        std::optional<std::string> word; // the adapter's, or nothing at all
        int times;
        bool live;
        bool probeLost = false;
        bool unread = false;
    } cases[] = {{"03", {}, 1, true},          {"03", {}, 2, true},          {"0902", {}, 2, true},
                 {"0101", {}, 2, true},        {"0120", {}, 2, true},        {"0151", {}, 2, true},
                 {"03", {}, 3, false},         {"0101", {}, 2, false, true}, {"03", "STOPPED", 2, false},
                 {"03", "?", 1, true},         {"0902", "BUFFER FULL", 2, false}, {"03", "NO DATA", 1, true},
                 {"03", brokenCodes, 1, true}, {"03", brokenCodes, 2, true, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request + " " + c.word.value_or("silent") + " " + std::to_string(c.times) +
                     (c.probeLost ? " probe lost" : ""));
        std::atomic<int> left{c.times};
        std::atomic<bool> asked{false};
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (c.probeLost && asked && (line == "ATI" || line == "ATRV")) return silence();
            if (line != c.request || left-- <= 0) return std::nullopt;
            asked = true;
            return c.word ? says(*c.word) : silence();
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 200ms});
        EXPECT_EQ(rig.connect(), c.live) << rig->phase().message;
        if (c.live) {
            // The car's two codes, read once asked again; "NO DATA" is an answer: none.
            EXPECT_EQ(rig->dtcs().size(), c.word == "NO DATA" || c.unread ? 0u : 2u);
            EXPECT_EQ(rig->dtcsUnread(), c.unread);
            if (!c.word && c.times == 2 && c.request != "0151") {
                const Lines lines = car.lines();
                const std::size_t second = indexOf(lines, c.request, indexOf(lines, c.request) + 1);
                const std::size_t third = indexOf(lines, c.request, second + 1);
                ASSERT_LT(third, lines.size());
                EXPECT_EQ(lines[third - 1], "ATI"); // the third ask only once a probe was answered
            }
        } else {
            EXPECT_EQ(car.count(c.request), c.times == 3 ? 3u : 2u);
            EXPECT_EQ(rig->phase(), Phase::failed(stopped));
            ASSERT_FALSE(rig->diagnostics().empty());
            EXPECT_EQ(rig->diagnostics().back(), stopped);
            if (c.request == "03") {
                EXPECT_TRUE(rig->dtcs().empty());
            }
            expectNoDrive(*rig);
        }
        rig->disconnect();
    }
}

// An adapter that goes mute during the ECU scan fails the connection once it has answered nothing
// for the limit, with the scan's message, instead of going live with what it has.
TEST(ConnectionTests, AnAdapterMuteDuringTheECUScanFailsTheConnection) {
    std::atomic<int> testersPresent{0};
    ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
        if (testersPresent >= 2) return silence();
        if (line == "3E00") ++testersPresent;
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car, .responseTimeout = 100ms, .adapterSilence = 1s});
    EXPECT_FALSE(rig.connect());
    const std::string message(ConnectionDiagnosis::ecuScanSilenceMessage);
    EXPECT_EQ(rig->phase(), Phase::failed(message));
    EXPECT_EQ(rig->diagnostics().back(), message);
    EXPECT_EQ(car.transport()->state(), TransportState::disconnected());
    for (const DiscoveredECU& ecu : rig->ecus()) {
        EXPECT_TRUE(ecu.responded || car.sent("ATSH" + ecu.txHeader)) << ecu.txHeader << " shown silent, never asked";
    }
    expectNoDrive(*rig);
}

// An adapter that answers every command at once with a long line of hex fails the connection
// without waiting for a single time-out (here an hour): each reply is its own command's, wrong
// as it is, however it reads.
TEST(ConnectionTests, AGarbledAdapterFailsTheConnectionWithoutWaiting) {
    std::string garble;
    for (int i = 0; i < 30000; ++i) garble += "41 ";
    ScriptedCar car([&](const std::string&) { return says(garble); });
    ConnectionRig rig({.car = &car, .responseTimeout = std::chrono::hours(1)});
    rig.connect(60s);
    EXPECT_EQ(rig->phase(), Phase::failed(std::string(ConnectionDiagnosis::noProtocolMessage)));
    EXPECT_EQ(rig->sweepAttempts().size(), 61u);
    rig->disconnect();
}

TEST(ConnectionTests, UDSCodesPerAnsweringECUAndUnreadWhereTheirReadFails) {
    // No VIN: the generic profile and its ECU list; 7E5 stays silent, the transmission refuses
    // its codes.
    std::string header = "7DF";
    ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
        if (line.starts_with("ATSH")) header = line.substr(4);
        if (line == "0902" || (header == "7E5" && !line.starts_with("AT"))) return says("NO DATA");
        if (line == "1902FF" && header == "7E1") return says("7E9037F1922");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect() && rig->selectedProfile()) << rig->phase().message;
    EXPECT_EQ(rig->selectedProfile()->id, "generic-obd2");
    std::set<std::string> answering, keys;
    for (const auto& ecu : rig->ecus()) {
        if (ecu.responded) answering.insert(ecu.txHeader);
    }
    for (const auto& [key, codes] : rig->udsDTCs()) keys.insert(key);
    ASSERT_TRUE(answering.contains("7E0") && answering.contains("7E1"));
    EXPECT_FALSE(answering.contains("7E5"));
    EXPECT_EQ(keys, answering); // a silent ECU has no entry
    ASSERT_TRUE(rig->udsDTCs().at("7E0").has_value());
    EXPECT_FALSE(rig->udsDTCs().at("7E0")->empty());
    EXPECT_EQ(rig->udsDTCs().at("7E1"), std::nullopt); // refused: not read, which is not none
    // Functional addressing is put back after the scan.
    const auto lines = car.lines();
    const auto lastHeader = std::find_if(lines.rbegin(), lines.rend(), [](const auto& l) { return l.starts_with("ATSH"); });
    ASSERT_NE(lastHeader, lines.rend());
    EXPECT_EQ(*lastHeader, "ATSH7DF");
    EXPECT_EQ(car.count("ATSH7DF"), 2u);
    rig->disconnect();
}

TEST(ConnectionTests, On29BitCANTheScanAndTheSecondFunctionalHeaderAreSkipped) {
    ScriptedCar car([](const std::string& line) -> std::optional<Lines> {
        if (line == "ATDPN") return says("A7");
        if (line == "0100") return says("18DAF110064100BE3EB811");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_TRUE(rig->ecus().empty() && rig->udsDTCs().empty());
    EXPECT_EQ(car.count("ATSH7DF"), 1u);
    EXPECT_FALSE(car.sent("3E00"));
    rig->disconnect();
}

// An adapter that completes no reply to the reset and the echo-off stops the sequence there;
// one that answers with hex that is no mode 01 parameter 00 support bitmap is no car.
TEST(ConnectionTests, OnlyAnAdapterThatAnswersAndACarThatGivesItsBitmapGoLive) {
    const std::string silentAdapter = "L'adaptateur ne répond pas — aucune réponse à ATZ ni à ATE0";
    std::string hexLine;
    for (int i = 0; i < 2000; ++i) hexLine += "41";
    const std::vector<bool> noFlags(7, false), allFlags(7, true);
    const struct {
        std::string name;
        ScriptedCar::Script script;
        Phase phase;
        bool probed;
        std::vector<bool> flags;
    } cases[] = {
        {"mute", [](const std::string&) { return silence(); }, Phase::failed(silentAdapter), false, noFlags},
        {"no prompt", [](const std::string&) { return std::optional(Lines{"OK\r\r"}); },
         Phase::failed(silentAdapter), false, noFlags},
        {"hex line", [&](const std::string&) { return says(hexLine); },
         Phase::failed("Aucun protocole n'a répondu après balayage complet"), true, allFlags},
        {"41 00 and two bytes", [](const std::string&) { return says("41 00 BE 3F"); },
         Phase::failed("Véhicule injoignable — aucune réponse"), true, allFlags},
        {"mute to the reset only", [](const std::string& line) { return line == "ATZ" ? silence() : std::nullopt; },
         Phase::live(), true, allFlags},
        {"car", {}, Phase::live(), true, allFlags},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCar car(c.script);
        ConnectionRig rig({.car = &car, .responseTimeout = 200ms});
        rig.connect();
        EXPECT_EQ(rig->phase(), c.phase);
        EXPECT_EQ(flagsOf(rig->initSteps()), c.flags);
        EXPECT_EQ(car.sent("0100"), c.probed);
        if (c.phase == Phase::failed(silentAdapter)) {
            EXPECT_EQ(car.lines(), (Lines{"ATZ", "ATE0"}));
            EXPECT_EQ(rig->diagnostics(), (Lines{"Le simulateur n'a pas répondu — anomalie interne.", silentAdapter}));
            EXPECT_EQ(car.transport()->state(), TransportState::disconnected());
        }
        rig->disconnect();
    }
}

namespace {

// The ECUs that answered the scan.
std::set<std::string> answeringECUs(const AppModel& model) {
    std::set<std::string> answering;
    for (const auto& ecu : model.ecus()) {
        if (ecu.responded) answering.insert(ecu.txHeader);
    }
    return answering;
}

// What a connection through a scripted adapter shows once live, and the waits it cost.
struct CleanRun {
    bool live = false;
    std::vector<DiscoveredECU> ecus;
    AppModel::UDSCodes codes;
    std::uint64_t waits = 0;
};

CleanRun cleanRun(ScriptedCar::Script script) {
    ScriptedCar car(std::move(script));
    ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
    CleanRun run;
    run.live = rig.connect();
    EXPECT_TRUE(run.live) << rig->phase().message;
    run.ecus = rig->ecus();
    run.codes = rig->udsDTCs();
    run.waits = AppModelConnectionAccess::fruitlessWaits(*rig);
    rig->disconnect();
    return run;
}

} // namespace

// Replies the adapter never sends, during the ECU scan: the engine's header "OK", which the session
// sends once more, or its presence or code request, which the scan asks once more after a probe.
// One loss costs nothing; a request lost twice costs only its own ECU's answer, unless the adapter
// has said "NO DATA" (here to the first probe, which is not tested): then it is asked a last time
// after every other ECU's, and only a third loss costs the answer.
TEST(ConnectionTests, AReplyLostInTheECUScanCostsOnlyItsOwnECU) {
    std::set<std::string> all;
    AppModel::UDSCodes codes;
    {
        ScriptedCar car;
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        all = answeringECUs(*rig);
        codes = rig->udsDTCs();
        rig->disconnect();
    }
    ASSERT_TRUE(all.contains("7E0") && all.contains("7E1") && codes.at("7E0") && !codes.at("7E0")->empty());
    const struct {
        std::string victim; // a line to the engine
        int losses;
        bool engineAnswers, codesRead;
        bool noData = false;
    } cases[] = {{"ATSH7E0", 1, true, true},       {"3E00", 1, true, true},         {"1902FF", 1, true, true},
                 {"3E00", 2, false, false},        {"1902FF", 2, true, false},      {"3E00", 2, true, true, true},
                 {"1902FF", 2, true, true, true}, {"3E00", 3, false, false, true}, {"1902FF", 3, true, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.victim + " lost " + std::to_string(c.losses) + "x" + (c.noData ? " after NO DATA" : ""));
        std::string header = "7DF";
        int lost = 0; // the command lock serialises the script
        bool probed = false;
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (line.starts_with("ATSH")) header = line.substr(4);
            if (c.noData && line == "0100" && !std::exchange(probed, true)) return says("NO DATA");
            if (line != c.victim || header != "7E0" || lost == c.losses) return std::nullopt;
            ++lost;
            return silence();
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        std::set<std::string> expected = all;
        if (!c.engineAnswers) expected.erase("7E0");
        EXPECT_EQ(answeringECUs(*rig), expected);
        const auto engineCodes = rig->udsDTCs().find("7E0");
        EXPECT_EQ(engineCodes != rig->udsDTCs().end() && engineCodes->second == codes.at("7E0"), c.codesRead);
        EXPECT_EQ(rig->udsDTCs().at("7E1"), codes.at("7E1"));
        const Lines lines = car.lines();
        const std::size_t again = indexOf(lines, c.victim, indexOf(lines, c.victim) + 1);
        ASSERT_LT(again, lines.size());
        EXPECT_TRUE(lines[again - 1] == "ATI" || lines[again - 1] == "ATRV") << "asked again before a probe";
        // The last ask, to the engine, comes after every other ECU's (the header before it).
        const auto last = std::find(lines.rbegin(), lines.rend(), c.victim);
        const auto headerThen = std::find_if(std::next(last), lines.rend(), [](const auto& l) { return l.starts_with("ATSH"); });
        ASSERT_NE(headerThen, lines.rend());
        EXPECT_EQ(*headerThen == "ATSH7E0", c.noData && c.losses >= 2);
        rig->disconnect();
    }
}

// The same losses through a clone that refuses both probes ("?" to "ATI" and "ATRV"): a request
// asked again alike after its lost reply takes its own answer, and the connection goes on as if
// nothing had been lost, the engine identified and its codes read.
TEST(ConnectionTests, AReplyLostThroughACloneRefusingBothProbesCostsNothing) {
    const auto clone = [](const std::string& line) -> std::optional<Lines> {
        if (line == "ATI" || line == "ATRV") return says("?");
        return std::nullopt;
    };
    std::vector<DiscoveredECU> ecus;
    AppModel::UDSCodes codes;
    {
        ScriptedCar car(clone);
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        ecus = rig->ecus();
        codes = rig->udsDTCs();
        rig->disconnect();
    }
    ASSERT_TRUE(!ecus.empty() && ecus.front().partNumber && codes.at("7E0") && !codes.at("7E0")->empty());
    const struct {
        std::string victim;
        int occurrence; // of the line to the engine, or of a functional one for an OBD request
        bool nextLost = false; // the reply to the line after it too
    } cases[] = {{"0100", 2}, {"0101", 1}, {"3E00", 1}, {"1902FF", 1}, {"22F187", 1},
                 {"ATSH7E0", 1}, {"ATSH7E1", 1}, {"3E00", 1, true}, {"ATDPN", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.victim + " #" + std::to_string(c.occurrence) + " lost" + (c.nextLost ? " with the next" : ""));
        std::string header = "7DF";
        int seen = 0; // the command lock serialises the script
        bool loseNext = false;
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (line.starts_with("ATSH")) header = line.substr(4);
            if (std::exchange(loseNext, false)) return silence();
            // A UDS request counts only to the engine; an OBD request or an adapter line wherever it goes.
            const bool anywhere = line.starts_with("01") || line.starts_with("AT");
            const bool toVictim = line == c.victim && (anywhere || header == "7E0");
            if (toVictim && ++seen == c.occurrence) {
                loseNext = c.nextLost;
                return silence();
            }
            return clone(line);
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        EXPECT_EQ(rig->ecus(), ecus);
        EXPECT_EQ(rig->udsDTCs(), codes);
        EXPECT_TRUE(waitUntil([&] { return rig->store().value(0x0C).has_value(); }));
        rig->disconnect();
    }
}

// An ECU's own answer that came once its read was decided, whatever line took it, counts up to the
// end of the code read: the connection goes live with every ECU, identification and code as on a
// clean run, and no final ask goes out for an answer already come.
TEST(ConnectionTests, AnECUsOwnAnswerCountsWhicheverLineTookIt) {
    std::vector<DiscoveredECU> ecus;
    AppModel::UDSCodes codes;
    {
        ScriptedCar car;
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        ecus = rig->ecus();
        codes = rig->udsDTCs();
        rig->disconnect();
    }
    ASSERT_TRUE(!ecus.empty() && ecus.front().responded && ecus.front().partNumber && codes.at("7E0"));
    const struct {
        const char* name;
        std::string victim; // a request to the engine
        int asks;           // its sends, all lost but for the answer that comes later
        bool noData;        // the adapter said "NO DATA" before: the last loss is a final ask
        bool afterOK;       // the answer comes right after an "OK", which the read takes
    } cases[] = {
        {"the presence's final ask answered during the code read", "3E00", 3, true, false},
        {"the codes lost twice, answered before the next ECU's header", "1902FF", 2, false, false},
        {"a header's OK taken by the presence read, its own answer next", "3E00", 1, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string header = "7DF";
        int sent = 0; // the command lock serialises the script
        bool probed = false;
        std::string held;
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (line.starts_with("ATSH")) header = line.substr(4);
            if (c.noData && line == "0100" && !std::exchange(probed, true)) return says("NO DATA");
            if (line == c.victim && header == "7E0" && ++sent <= c.asks) {
                if (c.afterOK) return Lines{reply("OK"), car.carAnswer(line).front()};
                if (sent == c.asks) held = car.carAnswer(line).front();
                return silence();
            }
            // The held answer comes just before the header of the next ECU is answered.
            if (held.empty() || header == "7E0" || !line.starts_with("ATSH")) return std::nullopt;
            Lines own = car.carAnswer(line);
            own.front().insert(0, std::exchange(held, {}));
            return own;
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        EXPECT_EQ(rig->ecus(), ecus);
        EXPECT_EQ(rig->udsDTCs(), codes);
        EXPECT_EQ(sent, c.asks); // none asked again once its answer came
        rig->disconnect();
    }
}

// An ECU that answers its code read "response pending" and then nothing: its codes stay unread,
// and the next ECU's are asked and read.
TEST(ConnectionTests, ACodeReadLeftPendingCostsOnlyItsOwnECU) {
    std::string header = "7DF";
    ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
        if (line.starts_with("ATSH")) header = line.substr(4);
        if (line == "1902FF" && header == "7E0") return says("7E8037F1978");
        return std::nullopt;
    });
    ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(rig->udsDTCs().contains("7E0") && rig->udsDTCs().contains("7E1"));
    EXPECT_EQ(rig->udsDTCs().at("7E0"), std::nullopt);
    EXPECT_TRUE(rig->udsDTCs().at("7E1").has_value());
    EXPECT_EQ(car.count("1902FF"), answeringECUs(*rig).size());
    rig->disconnect();
}

// The VIN's reply comes late, while its request is asked once more: it is read, whether the
// second request gets an answer of its own after it or not. Either answer is the request's, so
// nothing goes out between the two.
TEST(ConnectionTests, AnIdentificationReplyThatComesWithinTheSecondAskIsRead) {
    std::optional<std::string> vin;
    {
        ScriptedCar car;
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        vin = rig->vin();
        rig->disconnect();
    }
    ASSERT_TRUE(vin);
    for (const bool secondAnswered : {false, true}) {
        SCOPED_TRACE(secondAnswered ? "both answered" : "only the first");
        int asked = 0; // the command lock serialises the script
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (line != "0902") return std::nullopt;
            if (++asked == 1) return silence();
            Lines replies = car.carAnswer(line);
            if (secondAnswered) replies.push_back(car.carAnswer(line).front());
            return replies;
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        EXPECT_EQ(rig->vin(), vin);
        const Lines lines = car.lines();
        const std::size_t first = indexOf(lines, "0902");
        ASSERT_LT(first + 1, lines.size());
        EXPECT_EQ(lines[first + 1], "0902"); // asked again at once, with nothing before it
        EXPECT_EQ(car.count("0902"), 2u);
        rig->disconnect();
    }
}

// Read with headers, an ECU is never shown with what another ECU sent, nor with a message cut
// short: a reply to one ECU holding only another's message, its own answer to another of its
// reads, or its own cut short, is asked again, and the connection goes live with the ECU map and
// codes of a clean run; its own cut short and then whole in one reply is read whole. The engine's codes,
// printed in the gearbox's reply after the engine's read got "NO DATA", are the engine's, posted
// once the code read ends. The gateway (7E3) is absent.
TEST(ConnectionTests, AnECUIsNeverShownWithAnotherECUsAnswerNorOneCutShort) {
    std::string header = "7DF";
    const auto gatewayAbsent = [&](const std::string& line) -> std::optional<Lines> {
        if (line.starts_with("ATSH")) header = line.substr(4);
        if (header == "7E3" && !line.starts_with("AT")) return says("NO DATA");
        return std::nullopt;
    };
    const CleanRun clean = cleanRun(gatewayAbsent);
    const std::vector<DiscoveredECU>& ecus = clean.ecus;
    const AppModel::UDSCodes& codes = clean.codes;
    ASSERT_TRUE(clean.live && ecus.size() > 3 && !ecus[3].responded && ecus[1].softwareVersion && ecus[1].partNumber && codes.at("7E0") &&
                !codes.at("7E0")->empty());
    const struct {
        const char* name;
        std::string victim, line; // the first ask of `line` to `victim`...
        std::string source;       // ...answered by this ECU's answer to it, or its own cut short when empty
        bool engineSaysNoData = false;
        std::string sourceLine = {}; // the source's answer to this line instead
        bool thenWhole = false;      // its own cut short followed by its own whole
    } cases[] = {
        {"the gearbox's software version answered by the engine's", "7E1", "22F195", "7E0"},
        {"the gateway's test request answered by the engine's", "7E3", "3E00", "7E0"},
        {"the engine's codes in the gearbox's reply", "7E1", "1902FF", "7E0", true},
        {"the gearbox's part number cut short", "7E1", "22F187", ""},
        {"the engine's codes answered by its software version", "7E0", "1902FF", "7E0", false, "22F195"},
        {"the gearbox's software version answered by its part number", "7E1", "22F195", "7E1", false, "22F187"},
        {"the gearbox's part number cut short, then whole", "7E1", "22F187", "", false, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        header = "7DF";
        std::map<std::pair<std::string, std::string>, std::string> answered; // the car's, by header and line
        bool struck = false; // the command lock serialises the script
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            const std::optional<Lines> base = gatewayAbsent(line);
            if (line.starts_with("AT")) return std::nullopt;
            const Lines own = base ? *base : car.carAnswer(line);
            answered[{header, line}] = own.front();
            if (c.engineSaysNoData && header == "7E0" && line == c.line) return says("NO DATA");
            if (header != c.victim || line != c.line || std::exchange(struck, true)) return own;
            if (!c.source.empty()) return Lines{answered.at({c.source, c.sourceLine.empty() ? line : c.sourceLine})};
            std::string cut = own.front().substr(0, own.front().rfind("\r\r>"));
            cut.erase(cut.rfind('\r')); // the last frame never comes
            if (c.thenWhole) return Lines{cut + "\r" + own.front()};
            return says(cut);
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        EXPECT_TRUE(struck);
        EXPECT_EQ(rig->ecus(), ecus);
        EXPECT_TRUE(waitUntil([&] { return rig->udsDTCs() == codes; }));
        EXPECT_EQ(AppModelConnectionAccess::fruitlessWaits(*rig), clean.waits); // asked again at once
        rig->disconnect();
    }
}

// A clone refusing one probe loses four replies while connecting: the engine's test request, the
// other probe sent after it, the engine's request asked again and the gearbox's first. Once a
// header's "OK" has come in order, the given-up probe's answer can no longer come, so the next
// probe takes its own: the connection goes live as a clean one, each loss costing one wait and
// the refused probes' wait one more (five in all, not seven).
TEST(ConnectionTests, AGivenUpProbesAnswerIsNoLongerAwaitedOnceASettingsOKCame) {
    for (const std::string refused : {"ATRV", "ATI"}) {
        SCOPED_TRACE("a clone refusing " + refused);
        const std::string other = refused == "ATRV" ? "ATI" : "ATRV";
        std::string header = "7DF";
        // The gateway is absent: the adapter's "NO DATA" makes the engine's test request, lost
        // twice, asked a last time at the end of the scan.
        const auto clone = [&](const std::string& line) -> std::optional<Lines> {
            if (line.starts_with("ATSH")) header = line.substr(4);
            if (line == refused) return says("?");
            if (header == "7E3" && !line.starts_with("AT")) return says("NO DATA");
            return std::nullopt;
        };
        const CleanRun clean = cleanRun(clone);
        ASSERT_TRUE(clean.live);
        header = "7DF";
        int engineAsks = 0, gearboxAsks = 0; // the command lock serialises the script
        bool probeLost = false;
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            const std::optional<Lines> cloned = clone(line);
            if (line == other && engineAsks == 1 && !std::exchange(probeLost, true)) return silence();
            if (line != "3E00") return cloned;
            if (header == "7E0" && ++engineAsks <= 2) return silence();
            if (header == "7E1" && ++gearboxAsks == 1) return silence();
            return cloned;
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        EXPECT_TRUE(probeLost);
        EXPECT_EQ(rig->ecus(), clean.ecus);
        EXPECT_EQ(Access::fruitlessWaits(*rig), clean.waits + 5);
        rig->disconnect();
    }
}

// A clone refusing ATRV loses the reply to a read, and the link then stalls from the probe sent
// after it: the later replies come in order in a burst, the first probe's banner as the second
// "ATI" goes, then the given-up "ATRV"'s "?" and the second "ATI"'s banner as the next line goes.
// Those are given-up probes' answers, never that line's. The link then lags one reply behind until
// a probe goes: the engine's codes are read though their first read was lost, and a lost fuel
// type read still lets the connection go live, with what a clean run shows.
TEST(ConnectionTests, AGivenUpProbesLateRefusalIsNeverALaterLinesReply) {
    std::string header = "7DF";
    // Only the engine has codes: the others' reads are answered "NO DATA", as a setting may be.
    const auto clone = [&](const std::string& line) -> std::optional<Lines> {
        if (line.starts_with("ATSH")) header = line.substr(4);
        if (line == "ATRV") return says("?");
        if (line == "1902FF" && header != "7E0") return says("NO DATA");
        return std::nullopt;
    };
    const CleanRun clean = cleanRun(clone);
    ASSERT_TRUE(clean.live && clean.codes.at("7E0") && !clean.codes.at("7E0")->empty());
    for (const std::string victim : {"1902FF", "0151"}) {
        SCOPED_TRACE(victim + " lost, the link stalled from the probe after it");
        header = "7DF";
        enum class Link { clear, stalled, lagging, clearAgain } link = Link::clear; // the command lock serialises the script
        bool lost = false;
        int linesSinceStall = 0;
        std::deque<std::string> held;
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (line.starts_with("ATSH")) header = line.substr(4);
            if (!lost && line == victim && (line == "0151" || header == "7E0")) {
                lost = true;
                return silence();
            }
            const bool probe = line == "ATI" || line == "ATRV";
            if (link == Link::clearAgain || !lost || (link == Link::clear && line != "ATI")) return clone(line);
            held.push_back(clone(line).value_or(car.carAnswer(line)).front());
            if (link == Link::clear || (link == Link::stalled && probe && ++linesSinceStall < 2)) {
                link = Link::stalled;
                return silence();
            }
            // Stalled, a probe lets the oldest reply out, and a line that is no probe all but its
            // own; lagging, a line lets out the one before, and a probe its own too.
            const std::size_t keep = link == Link::lagging ? (probe ? 0 : 1) : (probe ? held.size() - 1 : 1);
            std::string out;
            for (; held.size() > keep; held.pop_front()) out += held.front();
            link = !probe ? Link::lagging : link == Link::lagging ? Link::clearAgain : Link::stalled;
            return Lines{out};
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        EXPECT_EQ(link, Link::clearAgain);
        EXPECT_EQ(rig->ecus(), clean.ecus);
        EXPECT_TRUE(waitUntil([&] { return rig->udsDTCs() == clean.codes; }));
        rig->disconnect();
    }
}

namespace {

// The car's reply (printed by the emulator with control bytes) as a real adapter prints it
// without headers: a single frame as its data, a longer message as its byte count and then
// numbered lines.
std::string printedWithoutHeaders(const std::string& reply) {
    std::string out;
    std::size_t from = 0;
    while (from < reply.size()) {
        std::size_t end = reply.find('\r', from);
        if (end == std::string::npos) end = reply.size();
        const std::string line = reply.substr(from, end - from);
        from = end + 1;
        std::vector<std::uint8_t> frame;
        if (line.empty() || line == ">") continue;
        if (!text::parseHexBytes(text::withoutBlanks(line), frame) || frame.size() < 2) {
            out += line + "\r";
            continue;
        }
        const auto rest = [&](std::size_t at, std::size_t count) {
            return text::hexUpper(std::span(frame).subspan(at, std::min(count, frame.size() - at)), " ");
        };
        switch (frame[0] >> 4) {
        case 0: out += rest(1, frame[0] & 0x0F); break;
        case 1: out += fmt::format("{:03X}\r0: {}", ((frame[0] & 0x0F) << 8) | frame[1], rest(2, 6)); break;
        default: out += fmt::format("{:X}: {}", frame[0] & 0x0F, rest(1, 7)); break;
        }
        out += "\r";
    }
    return out;
}

} // namespace

// Through a clone that refuses "ATH1" (and often "ATDPN") and prints every reply as a real adapter
// does without headers, the window shows only what the car sent: its codes read as CAN's when the
// protocol is unknown, CAN found as CAN, a message broken anyhow asked again (unread when broken
// twice), each line of CAN a message of its own, and an older protocol's VIN lines in order.
TEST(ConnectionTests, ThroughACloneWithoutHeadersTheWindowShowsOnlyWhatTheCarSent) {
    const std::string carsVIN = ELM327Emulator{}.vin;
    const std::vector<std::string> carsCodes{"P0300", "P0171"};
    const std::string twoECUsCodes = "43 01 07 00\r00A\r0: 43 04 01 33 03 00\r1: C1 00 41 23 00 00 00";
    const std::string codesLine1 = "43 01 07 00\r00A\r1: C1 00 41 23 00 00 00";
    const std::string legacyVIN1 = "49 02 01 00 00 00 57\r49 02 02 44 44 32 30\r",
                      legacyVIN3 = "49 02 03 35 30 30 38\r49 02 04 31 46 31 32\r49 02 05 33 34 35 36";
    const std::string partLine0 = "0: 62 F1 87 41 32 35\r", partLine1 = "1: 36 39 30 30 36 32 30\r";
    struct Case {
        const char* name;
        std::string protocol;                              // what "ATDPN" answers
        std::map<std::string, std::vector<std::string>> turns; // by header and line: the replies in turn
        std::function<void(const AppModel&, const ScriptedCar&)> check;
    };
    const Case cases[] = {
        {"the protocol never learnt: codes in CAN's form", "?", {{"7DF 03", {twoECUsCodes}}},
         [](const AppModel& m, const ScriptedCar&) {
             std::vector<std::string> codes;
             for (const DTC& dtc : m.dtcs()) codes.push_back(dtc.code);
             EXPECT_EQ(codes, (std::vector<std::string>{"P0700", "P0133", "P0300", "U0100", "C0123"}));
         }},
        {"CAN named by ATDPN is read as CAN without headers", "A6", {},
         [&](const AppModel& m, const ScriptedCar& car) {
             EXPECT_EQ(car.count("ATZ"), 1u); // no protocol sweep
             EXPECT_EQ(m.vin(), carsVIN);
             std::vector<std::string> codes;
             for (const DTC& dtc : m.dtcs()) codes.push_back(dtc.code);
             EXPECT_EQ(codes, carsCodes);
         }},
        {"the engine's part number in numbered lines with no count line, line 1 printed twice", "A6",
         {{"7E0 22F187", {partLine0 + partLine1 + partLine1 + "2: 30", ""}}},
         [](const AppModel& m, const ScriptedCar&) {
             const auto engine = std::ranges::find(m.ecus(), std::string("7E0"), &DiscoveredECU::txHeader);
             ASSERT_NE(engine, m.ecus().end());
             EXPECT_EQ(engine->partNumber, "A2569006200");
         }},
        {"7E1 says response pending, then has no codes, each a line of its own", "A6", {{"7E1 1902FF", {"7F 19 78\r59 02 FF"}}},
         [](const AppModel& m, const ScriptedCar&) {
             ASSERT_TRUE(m.udsDTCs().contains("7E1"));
             EXPECT_EQ(m.udsDTCs().at("7E1"), std::vector<UDSDTC>{});
         }},
        {"the same, the protocol never learnt", "?", {{"7E1 1902FF", {"7F 19 78\r59 02 FF"}}},
         [](const AppModel& m, const ScriptedCar&) {
             ASSERT_TRUE(m.udsDTCs().contains("7E1"));
             EXPECT_EQ(m.udsDTCs().at("7E1"), std::vector<UDSDTC>{});
         }},
        {"codes broken before the second ECU's first byte, twice", "A6", {{"7DF 03", {codesLine1}}},
         [](const AppModel& m, const ScriptedCar& car) {
             EXPECT_TRUE(m.dtcsUnread());
             EXPECT_EQ(car.count("03"), 2u);
         }},
        {"an older protocol's VIN with line 2 printed twice, then whole", "A3",
         {{"7DF 0902", {legacyVIN1 + "49 02 02 44 44 32 30\r" + legacyVIN3, legacyVIN1 + legacyVIN3}}},
         [](const AppModel& m, const ScriptedCar& car) {
             EXPECT_EQ(m.vin(), "WDD2050081F123456");
             EXPECT_EQ(car.count("0902"), 2u);
         }},
        {"two ECUs' support maps joined", "A6", {{"7DF 0100", {"41 00 BE 3F A8 13\r41 00 00 40 00 00"}}},
         [](const AppModel& m, const ScriptedCar&) { EXPECT_TRUE(m.supportedPIDs().contains(0x0A)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto turns = c.turns;
        std::string header = "7DF";
        ScriptedCar car([&](const std::string& line) -> std::optional<Lines> {
            if (line.starts_with("ATSH")) header = line.substr(4);
            if (line == "ATH1") return says("?");
            if (line == "ATDPN") return says(c.protocol);
            if (line.starts_with("AT")) return std::nullopt;
            const auto it = turns.find(header + " " + line);
            if (it != turns.end() && !it->second.front().empty()) {
                const std::string answer = it->second.front();
                if (it->second.size() > 1) it->second.erase(it->second.begin());
                return says(answer);
            }
            if (it != turns.end() && it->second.size() > 1) it->second.erase(it->second.begin());
            return says(printedWithoutHeaders(car.carAnswer(line).front()));
        });
        ConnectionRig rig({.car = &car, .responseTimeout = 300ms});
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        c.check(*rig, car);
        rig->disconnect();
    }
}
