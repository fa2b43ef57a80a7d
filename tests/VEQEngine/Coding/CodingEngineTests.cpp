// The coding engine against the simulated car, with every command line it sends recorded.
#include "VEQEngine/Coding/CodingEngine.hpp"

#include "VEQEngine/Coding/RecordingSimulator.hpp"
#include "VEQEngine/Session/ScriptedTransport.hpp"
#include "TestSupport/FileSizeLimit.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "VEQEngine/Coding/RecipeCatalog.hpp"
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQProtocol/SecurityAccessProvider.hpp"
#include "VEQProtocol/UDSService.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <latch>
#include <map>
#include <thread>

using namespace veq;
using veq::testing::RecordingSimulator;
using Result = CodingEngine::ExecutionResult;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

namespace {

RecipeStep step(std::string service, std::string did, std::string value) {
    return {std::move(service), std::move(did), std::nullopt, std::nullopt, std::move(value), std::nullopt};
}

// A recipe with the catalogue's usual session and read steps, which the engine never sends itself.
CodingRecipe recipe(std::optional<std::string> address, std::vector<RecipeStep> writes, bool security = false) {
    CodingRecipe r;
    r.id = "test-recipe";
    r.ecuAddress = std::move(address);
    r.requiresSecurityAccess = security;
    r.steps = {step("0x10", "", "03"), step("0x22", "0xF1A0", "")};
    r.steps.insert(r.steps.end(), writes.begin(), writes.end());
    return r;
}

const RecipeStep writeF1A0 = step("0x2E", "0xF1A0", "01");

std::string negative(UDSNegativeResponse code) {
    return "Réponse négative du calculateur : " + std::string(description(code)) + ".";
}

struct TestProvider : SecurityAccessProvider {
    std::string identifier() const override { return "test"; }
    std::set<std::string> supportedECUs() const override { return {"7E0"}; }
    Bytes computeKey(std::span<const std::uint8_t> s, std::uint8_t level, const std::string& ecu) override {
        seed.assign(s.begin(), s.end());
        asked = {level, ecu};
        return {0xAB, 0xCD};
    }
    Bytes seed;
    std::pair<std::uint8_t, std::string> asked;
};

// Covers every ECU it is given, with a key the simulated car refuses.
struct ProviderFor : SecurityAccessProvider {
    explicit ProviderFor(std::set<std::string> ecus) : ecus(std::move(ecus)) {}
    std::string identifier() const override { return "every-ecu"; }
    std::set<std::string> supportedECUs() const override { return ecus; }
    Bytes computeKey(std::span<const std::uint8_t>, std::uint8_t, const std::string&) override { return {0x00}; }
    std::set<std::string> ecus;
};

const GuardCheck& backupCheck(const GuardVerdict& verdict) {
    return *std::find_if(verdict.checks.begin(), verdict.checks.end(), [](const GuardCheck& c) { return c.id == "backup"; });
}

class CodingEngineTest : public ::testing::Test {
protected:
    void SetUp() override { prepare("7DF"); }
    // A live connection whose adapter was last aimed at `header` (none: not since its reset).
    void prepare(std::optional<std::string> header, FrameFormat format = FrameFormat::can11) {
        session->connect();
        session->runInitialization();
        if (header) session->raw("ATSH" + *header);
        session->setFormat(format);
        transport->clearRecording();
    }
    // The audit lines from the `from`-th on, oldest first, without their time.
    Lines log(std::size_t from = 0) const {
        const auto recent = audit->recent();
        Lines lines;
        for (auto e = recent.rbegin() + static_cast<std::ptrdiff_t>(from); e != recent.rend(); ++e) {
            lines.push_back(e->logLine().substr(21));
        }
        return lines;
    }
    void addValidBackup(const std::string& address = "7E0") {
        store->add(ECUBackup(UUID::random(), "", address, std::chrono::system_clock::now(), {}, {{"0xF187", {1}}}, true));
    }
    Result run(const CodingRecipe& r, bool confirmed = true) { return engine.execute(r, true, confirmed, parked); }
    static CodingEngine::LiveValues parked() { return {12.6, 0.0, 0.0}; }

    veq::testing::TemporaryFolder folder;
    std::shared_ptr<RecordingSimulator> transport = std::make_shared<RecordingSimulator>();
    std::shared_ptr<ELM327Session> session = std::make_shared<ELM327Session>(transport);
    std::shared_ptr<SecurityAccessRegistry> registry = std::make_shared<SecurityAccessRegistry>();
    std::shared_ptr<ECUBackupStore> store = std::make_shared<ECUBackupStore>(folder / "Backups");
    std::shared_ptr<AuditLog> audit = std::make_shared<AuditLog>(folder / "audit.log");
    CodingEngine engine{session, registry, store, audit, std::nullopt};
};

} // namespace

TEST_F(CodingEngineTest, FeasibilityTakesTheFirstRuleThatApplies) {
    using F = Feasibility::Kind;
    const struct {
        std::optional<std::string> address;
        bool critical, security, provider;
        std::set<std::string> reachable;
        F kind;
        std::string explanation; // how it begins
        std::vector<RecipeStep> writes = {writeF1A0};
    } cases[] = {
        {"7E0", true, true, false, {"7E1"}, F::forbidden, "\u26D4\uFE0F INTERDIT \u2014 Cette fonction touche"},
        {"7E0", true, false, false, {}, F::forbidden, "\u26D4\uFE0F INTERDIT", {}}, // even with nothing to write
        {"7E0", false, true, false, {}, F::readOnly, "Cette opération exige le service UDS 0x27"},
        {"7E0", false, true, false, {"7E1"}, F::ecuUnreachable, "Le calculateur ciblé n'a pas répondu"},
        {"7E0", false, true, true, {"7E0", "7E1"}, F::executable, "Le matériel"},
        {"7E1", false, true, true, {}, F::readOnly, "Cette opération"}, // the provider covers 7E0 only
        {"7E0", false, false, false, {}, F::executable, "Le matériel"},
        // What execute would refuse whatever the live values, it never calls executable.
        {"7E0", false, false, false, {}, F::readOnly, "Cette recette ne fait que lire : elle n'a aucune étape d'écriture", {}},
        {"7E0", false, true, false, {}, F::readOnly, "Cette recette ne fait que lire", {}},
        {"7E0", false, false, false, {}, F::readOnly, "Étape 0x31 (RoutineControl)", {step("0x31", "0301", "01")}},
        {"7E0", false, false, false, {}, F::readOnly, "Étape d'écriture illisible", {step("0x2E", "F1A0", "0x01")}},
        {"7DF", false, false, false, {}, F::readOnly, "Adresse du calculateur « 7DF » fonctionnelle"},
        {std::nullopt, false, false, false, {"7E0"}, F::readOnly, "Adresse du calculateur «  » invalide"},
    };
    for (const auto& c : cases) {
        registry->removeAll();
        if (c.provider) registry->registerProvider(std::make_shared<TestProvider>());
        auto r = recipe(c.address, c.writes, c.security);
        if (c.critical) r.safetyImpact = SafetyImpact::safetyCritical;
        const Feasibility f = engine.feasibility(r, c.reachable);
        EXPECT_EQ(f.kind, c.kind) << c.explanation;
        EXPECT_TRUE(f.explanation().starts_with(c.explanation)) << f.explanation();
    }
    EXPECT_TRUE(transport->lines().empty());
}

TEST_F(CodingEngineTest, BackupReadsEachIdentifierTwiceOnTheECUsHeader) {
    int progress = 0;
    const ECUBackup backup = engine.backupECU("Moteur", "7E0", "WDD2571231A123456", [&](int i, int) { progress = i; });
    // The simulated engine knows neither F186 nor F191: each is asked once and left out.
    EXPECT_EQ(transport->lines(), (Lines{"ATSH7E0", "22F186", "22F187", "22F187", "22F188", "22F188", "22F18C", "22F18C",
                                         "22F190", "22F190", "22F191", "22F195", "22F195", "22F197", "22F197"}));
    EXPECT_EQ(progress, 8);
    EXPECT_EQ(backup.values.at("0xF190"), text::bytesOf("WDD2571231A123456"));
    EXPECT_TRUE(store->hasValidBackup("7E0"));
    EXPECT_EQ(log(), Lines{"backupCreated\t7E0\t-\t-\t-\t-\tSauvegarde vérifiée \u2014 6 DID"});
}

// The ECU's header goes out when the backup begins, even when the session believes it in force
// (the adapter may have been reset unseen); only a selection the adapter took verifies it.
TEST_F(CodingEngineTest, OnlyABackupOfTheSelectedECUIsVerified) {
    const struct {
        std::optional<std::string> previous;
        FrameFormat format;
        std::string address;
        bool adapterRefuses;
        std::string first, last; // the first and last lines sent
        bool verified;
    } cases[] = {
        {"7E1", FrameFormat::can11, "7E0", false, "ATSH7E0", "22F197", true}, // left by an identifier scan
        {"7E0", FrameFormat::can11, "7E0", false, "ATSH7E0", "22F197", true},
        // The adapter stays on the engine, whose answers must not pass for the gearbox's: each read
        // asks for the gearbox again, and none goes out.
        {"7E0", FrameFormat::can11, "7E1", true, "ATSH7E1", "ATSH7E1", false},
        {"7E0", FrameFormat::can11, "7E0\rATZ", false, "22F186", "22F197", false}, // never put on the line
        {std::nullopt, FrameFormat::can29, "18DA10F1", false, "ATSH18DA10F1", "22F197", false}, // nobody answers there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address + " after " + c.previous.value_or("reset"));
        prepare(c.previous, c.format);
        transport->setOverride([&](const std::string& line) -> std::optional<std::string> {
            if (c.adapterRefuses && line == "ATSH" + c.address) return "?";
            return std::nullopt;
        });
        const ECUBackup backup = engine.backupECU("ECU", c.address, std::nullopt);
        ASSERT_FALSE(transport->lines().empty());
        EXPECT_EQ(transport->lines().front(), c.first);
        EXPECT_EQ(transport->lines().back(), c.last);
        const Lines lines = transport->lines();
        EXPECT_EQ(std::none_of(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("22"); }),
                  c.adapterRefuses);
        EXPECT_EQ(backup.verified, c.verified);
        EXPECT_EQ(log().back().ends_with("\tSauvegarde NON vérifiée \u2014 " + std::to_string(backup.didCount()) + " DID"),
                  !c.verified);
    }
}

TEST_F(CodingEngineTest, RefusalsSendNothingAndAreAudited) {
    // so that the guard lets them by
    for (const char* address : {"7E0", "7E0\rATZ", "7DF", "7df", "18DB33F1", "18db10f1"}) addValidBackup(address);
    auto critical = recipe("7E4", {writeF1A0});
    critical.safetyImpact = SafetyImpact::safetyCritical;
    const struct {
        CodingRecipe recipe;
        bool confirmed;
        std::string result; // how the writeRefused entry's result begins
        std::size_t reasons;
    } cases[] = {
        {recipe("7E0", {writeF1A0}), false, "Confirmation explicite de l'utilisateur absente.", 1},
        {recipe("7E0", {writeF1A0}, true), true, "Refusée par le WriteGuard : Provider d'accès sécurisé \u2014 ", 1},
        {critical, true, "Refusée par le WriteGuard : Impact sur la sécurité \u2014 ", 2}, // and no backup of 7E4
        {recipe("7E0", {}), true, "Recette refusée : Cette recette ne fait que lire", 1},
        {recipe("7E0", {writeF1A0, step("0x31", "0301", "01")}), true, "Recette refusée : Étape 0x31", 1},
        {recipe("7E0", {step("0x2E", "F1A0", "0x01")}), true, "Recette refusée : Étape d'écriture", 1},
        {recipe("7E0", {step("0x2E", "1F1A0", "01"), step(" 2E", "F1A0", "01")}), true, "Recette refusée : Étape", 2},
        {recipe("7E0\rATZ", {writeF1A0}), true, "Recette refusée : Adresse", 1},
        // functional addresses are never written to
        {recipe("7DF", {writeF1A0}), true, "Recette refusée : Adresse du calculateur « 7DF » fonctionnelle", 1},
        {recipe("7df", {writeF1A0}), true, "Recette refusée : Adresse du calculateur « 7df » fonctionnelle", 1},
        {recipe("18DB33F1", {writeF1A0}), true, "Recette refusée : Adresse du calculateur « 18DB33F1 » fonctionnelle", 1},
        {recipe("18db10f1", {writeF1A0}), true, "Recette refusée : Adresse du calculateur « 18db10f1 » fonctionnelle", 1},
    };
    for (const auto& c : cases) {
        const auto before = audit->recent().size();
        const Result result = run(c.recipe, c.confirmed);
        EXPECT_EQ(result.kind, Result::Kind::refused);
        EXPECT_EQ(result.reasons.size(), c.reasons) << c.result;
        const Lines lines = log(before);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_TRUE(lines[0].starts_with("writeAttempted\t")) << lines[0];
        EXPECT_TRUE(lines[1].starts_with("writeRefused\t")) << lines[1];
        EXPECT_NE(lines[1].find("\ttest-recipe\t" + c.result), std::string::npos) << lines[1];
    }
    EXPECT_TRUE(transport->lines().empty());
}

TEST_F(CodingEngineTest, AWriteTheSimulatorRefusesFailsAndIsAudited) {
    engine.recordExpertAcceptance();
    engine.backupECU("Moteur", "7E0", std::nullopt);
    transport->clearRecording();
    EXPECT_EQ(run(recipe("7E0", {step("0x2E", "0201", "00")})),
              Result::failed(negative(UDSNegativeResponse::securityAccessDenied)));
    EXPECT_EQ(transport->lines(), (Lines{"ATSH7E0", "1003", "220201", "2E020100"}));
    EXPECT_EQ(log(), (Lines{"expertAccepted\t-\t-\t-\t-\t-\tAvertissement du mode Expert lu et accepté par l'utilisateur",
                            "backupCreated\t7E0\t-\t-\t-\t-\tSauvegarde vérifiée \u2014 6 DID",
                            "writeAttempted\t7E0\t-\t-\t-\ttest-recipe\tTentative d'exécution demandée",
                            "writeFailed\t7E0\t0201\t-\t-\ttest-recipe\t" + negative(UDSNegativeResponse::securityAccessDenied)}));
}

TEST_F(CodingEngineTest, EachWriteIsConfirmedByItsReadBack) {
    const struct {
        std::optional<Bytes> before, after; // F1A0 as read; nothing: NO DATA
        Result result;
        std::string logged; // the last entry's kind, identifier and values
    } cases[] = {
        {Bytes{0x00}, Bytes{0x01}, Result::succeeded(), "writeSucceeded\t7E0\t0xF1A0\t00\t01"},
        {std::nullopt, Bytes{0x01}, Result::succeeded(), "writeSucceeded\t7E0\t0xF1A0\t-\t01"},
        {Bytes{0x00}, std::nullopt, Result::failed("Écriture non confirmée : relecture impossible"),
         "writeFailed\t7E0\t0xF1A0\t00\t-"},
        {Bytes{0x00}, Bytes{0x01, 0x00}, Result::failed("Écriture non confirmée : valeur relue différente"),
         "writeFailed\t7E0\t0xF1A0\t00\t01 00"},
    };
    addValidBackup();
    for (const auto& c : cases) {
        transport->clearRecording();
        int reads = 0;
        transport->setOverride([&](const std::string& line) -> std::optional<std::string> {
            if (line == "2EF1A001") return RecordingSimulator::ecuReply({0x6E, 0xF1, 0xA0});
            if (line != "22F1A0") return std::nullopt;
            const auto& value = reads++ == 0 ? c.before : c.after;
            if (!value) return "NO DATA";
            Bytes payload{0x62, 0xF1, 0xA0};
            payload.insert(payload.end(), value->begin(), value->end());
            return RecordingSimulator::ecuReply(payload);
        });
        EXPECT_EQ(run(recipe("7E0", {writeF1A0})), c.result) << c.logged;
        EXPECT_EQ(transport->lines(), (Lines{"ATSH7E0", "1003", "22F1A0", "2EF1A001", "22F1A0"}));
        EXPECT_TRUE(log().back().starts_with(c.logged)) << log().back();
    }
}

TEST_F(CodingEngineTest, WithAProviderTheSeedGoesToItAndItsKeyToTheECU) {
    auto provider = std::make_shared<TestProvider>();
    registry->registerProvider(provider);
    addValidBackup();
    EXPECT_EQ(run(recipe("7E0", {writeF1A0}, true)), Result::failed(negative(UDSNegativeResponse::invalidKey)));
    EXPECT_EQ(transport->lines(), (Lines{"ATSH7E0", "1003", "2701", "2702ABCD"}));
    EXPECT_EQ(provider->seed, (Bytes{0x01, 0x5A, 0xC3, 0x19, 0x7E})); // the echoed level first
    EXPECT_EQ(provider->asked, std::make_pair(std::uint8_t{1}, std::string("7E0")));
}

TEST_F(CodingEngineTest, RestoreNeverSendsAnything) {
    const ECUBackup intact(UUID::random(), "", "7E0", std::chrono::system_clock::time_point{std::chrono::seconds{1700000000}},
                           {}, {{"0xF187", {0x41}}}, true);
    ECUBackup altered = intact;
    altered.values["0xF187"] = {0x42};
    const std::string attempted = "restoreAttempted\t7E0\t-\t-\t-\t-\tRestauration demandée (sauvegarde du "
                                  "2023-11-14 22:13:20 +0000)";
    const std::string needsSecurity = "La restauration écrit dans le calculateur et exige donc le SecurityAccess (0x27), "
                                      "indisponible sans provider. La sauvegarde reste intacte et exportable : un "
                                      "atelier équipé de XENTRY ou DTS Monaco peut la réappliquer.";
    const struct {
        const ECUBackup& backup;
        bool provider;
        Result result;
    } cases[] = {
        {altered, true, Result::failed("Sauvegarde altérée : l'empreinte de contrôle ne correspond pas.")},
        {intact, false, Result::refused({needsSecurity})},
        {intact, true, Result::refused({"restauration non prise en charge"})},
    };
    for (const auto& c : cases) {
        registry->removeAll();
        if (c.provider) registry->registerProvider(std::make_shared<TestProvider>());
        const auto before = audit->recent().size();
        EXPECT_EQ(engine.restore(c.backup), c.result);
        Lines expected{attempted};
        if (!c.result.reasons.empty()) expected.push_back("writeRefused\t7E0\t-\t-\t-\t-\t" + c.result.reasons[0]);
        EXPECT_EQ(log(before), expected);
    }
    EXPECT_TRUE(transport->lines().empty());
}

// Nor is any left on the ECU's header afterwards: each states its own.
TEST_F(CodingEngineTest, NoOtherCommandComesBetweenTheSelectionAndTheLastWrite) {
    addValidBackup();
    std::jthread scanner;
    transport->setOverride([&](const std::string& line) -> std::optional<std::string> {
        if (line == "ATSH7E0" && !scanner.joinable()) {
            // Another user of the session aims at another ECU while the engine holds its ECU.
            scanner = std::jthread([this] { session->raw("ATSH7E1"); });
            EXPECT_TRUE(veq::testing::eventually([this] { return session->lockQueueLength() == 1; }));
        }
        return std::nullopt;
    });
    run(recipe("7E0", {writeF1A0}));
    scanner.join();
    EXPECT_TRUE(session->read(0x0C).has_value());
    EXPECT_EQ(transport->lines(), (Lines{"ATSH7E0", "1003", "22F1A0", "2EF1A001", "ATSH7E1", "ATSH7DF", "010C"}));
}

TEST_F(CodingEngineTest, TheGuardJudgesValuesMeasuredOnceTheSessionIsHeld) {
    addValidBackup();
    const struct {
        bool released; // the other user of the session lets go within the engine's wait
        std::string refusal;
    } cases[] = {
        {true, "Refusée par le WriteGuard : Moteur à l'arrêt (régime nul) \u2014 "}, // started during the wait
        {false, "Session occupée : écriture abandonnée"},
    };
    for (const auto& c : cases) {
        std::atomic<double> rpm = 0.0;
        int measured = 0;
        std::latch held(1);
        std::promise<void> done;
        std::jthread holder([&] {
            const auto section = session->exclusive();
            held.count_down();
            // Held until the engine has given up; the bound only keeps an engine that never gives up from hanging.
            if (!c.released) return void(done.get_future().wait_for(std::chrono::seconds(30)));
            EXPECT_TRUE(veq::testing::eventually([this] { return session->lockQueueLength() == 1; }));
            rpm = 2400.0;
        });
        held.wait();
        CodingEngine impatient{session, registry, store, audit, std::nullopt,
                               std::chrono::milliseconds(c.released ? 60000 : 50)};
        const Result result = impatient.execute(recipe("7E0", {writeF1A0}), true, true, [&] {
            ++measured;
            return CodingEngine::LiveValues{12.6, rpm.load(), 0.0};
        });
        done.set_value();
        EXPECT_EQ(result.kind, Result::Kind::refused);
        EXPECT_EQ(measured, c.released ? 1 : 0);
        EXPECT_TRUE(log().back().starts_with("writeRefused\t7E0\t-\t-\t-\ttest-recipe\t" + c.refusal)) << log().back();
    }
    EXPECT_TRUE(transport->lines().empty());
}

// Executable must mean that, with every guard passed, the engine goes on to the ECU; anything
// else must be refused before a byte is sent.
TEST_F(CodingEngineTest, EveryShippedRecipeIsExecutableExactlyWhenItsExecutionGoesToTheECU) {
    const std::vector<CodingRecipe> recipes = RecipeCatalog::bundled();
    ASSERT_GE(recipes.size(), 30u);
    std::set<std::string> addresses;
    for (const CodingRecipe& r : recipes) {
        if (r.ecuAddress) addresses.insert(*r.ecuAddress);
    }
    for (const bool provider : {false, true}) {
        registry->removeAll();
        if (provider) registry->registerProvider(std::make_shared<ProviderFor>(addresses));
        std::map<Feasibility::Kind, int> kinds;
        for (const CodingRecipe& r : recipes) {
            SCOPED_TRACE(r.id + (provider ? " with a provider" : " without a provider"));
            addValidBackup(r.ecuAddress.value_or(""));
            const Feasibility feasibility = engine.feasibility(r, {});
            ++kinds[feasibility.kind];
            transport->clearRecording();
            const Result result = run(r);
            if (feasibility.kind == Feasibility::Kind::executable) {
                EXPECT_NE(result.kind, Result::Kind::refused) << (result.reasons.empty() ? "" : result.reasons[0]);
            } else {
                EXPECT_EQ(result.kind, Result::Kind::refused) << feasibility.explanation();
                EXPECT_TRUE(transport->lines().empty());
            }
        }
        // Out of the box nothing is written; a provider makes some recipes executable.
        EXPECT_EQ(kinds[Feasibility::Kind::executable] > 0, provider);
        EXPECT_GT(kinds[Feasibility::Kind::readOnly], 0);
        EXPECT_GT(kinds[Feasibility::Kind::forbidden], 0);
    }
    for (const char* id : {"ic-read-service", "zgw-read-variant", "eng-read-injectors"}) {
        const auto r = std::find_if(recipes.begin(), recipes.end(), [&](const CodingRecipe& c) { return c.id == id; });
        ASSERT_NE(r, recipes.end()) << id;
        EXPECT_EQ(engine.feasibility(*r, {}),
                  Feasibility::readOnly("Cette recette ne fait que lire : elle n'a aucune étape d'écriture, il n'y a "
                                        "rien à écrire dans le calculateur."));
    }
}

// A full disk: the backup file comes up short, so the backup lives in memory only.
TEST_F(CodingEngineTest, ABackupThatNeverReachedTheDiskAllowsNoWriteAndIsAuditedAsUnsaved) {
    const CodingRecipe writing = recipe("7E0", {writeF1A0});
    {
        veq::testing::FileSizeLimit full(64);
        ASSERT_TRUE(full.active());
        EXPECT_TRUE(engine.backupECU("Moteur", "7E0", std::nullopt).verified) << "its reads were confirmed";
    }
    EXPECT_FALSE(store->hasValidBackup("7E0"));
    const GuardCheck check = backupCheck(engine.evaluateGuards(writing, true, 12.6, 0.0, 0.0));
    EXPECT_FALSE(check.passed);
    EXPECT_TRUE(check.detail.starts_with("Aucune sauvegarde valide de ce calculateur.")) << check.detail;
    EXPECT_EQ(log().back(), "backupCreated\t7E0\t-\t-\t-\t-\tSauvegarde vérifiée \u2014 6 DID \u2014 NON enregistrée sur le "
                            "disque");
    EXPECT_TRUE(ECUBackupStore(folder / "Backups").all().empty()) << "nothing to find after a restart";

    engine.backupECU("Moteur", "7E0", std::nullopt); // room again
    EXPECT_EQ(log().back(), "backupCreated\t7E0\t-\t-\t-\t-\tSauvegarde vérifiée \u2014 6 DID");
    EXPECT_TRUE(backupCheck(engine.evaluateGuards(writing, true, 12.6, 0.0, 0.0)).passed);
}

TEST_F(CodingEngineTest, TheGuardCountsOnlyARecentBackupOfThisCar) {
    using namespace std::chrono;
    const std::string mine = "WDD2571231A123456", other = "WDD2050041R123456";
    struct Taken {
        std::optional<std::string> vin;
        system_clock::duration age;
    };
    const struct {
        const char* name;
        std::optional<std::string> engineVIN;
        std::vector<Taken> backups; // in the order taken
        bool passed;
    } cases[] = {
        {"this car's", mine, {{mine, 1h}}, true},
        {"same address, another car", mine, {{other, 1h}}, false},
        {"another car's later backup hides nothing", mine, {{mine, 2h}, {other, 1h}}, true},
        {"backup without a VIN", mine, {{std::nullopt, 1h}}, true},
        {"connection without a VIN", std::nullopt, {{other, 1h}}, true},
        {"a day old", mine, {{mine, 24h}}, false}, // the age limits themselves are the store's
    };
    for (const auto& c : cases) {
        veq::testing::TemporaryFolder backups;
        auto local = std::make_shared<ECUBackupStore>(backups.path());
        const auto now = system_clock::now();
        for (const Taken& t : c.backups) {
            local->add(ECUBackup(UUID::random(), "", "7E0", now - t.age, t.vin, {{"0xF187", {1}}}, true));
        }
        CodingEngine onThisCar{session, registry, local, audit, c.engineVIN};
        EXPECT_EQ(backupCheck(onThisCar.evaluateGuards(recipe("7E0", {writeF1A0}), true, 12.6, 0.0, 0.0)).passed, c.passed)
            << c.name;
    }
}
