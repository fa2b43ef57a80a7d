#pragma once

#include "VEQEngine/Coding/AuditLog.hpp"
#include "VEQEngine/Coding/CodingRecipe.hpp"
#include "VEQEngine/Coding/ECUBackupStore.hpp"
#include "VEQEngine/Coding/WriteGuard.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

class ELM327Session;
class SecurityAccessRegistry;

// Whether a recipe can run at all on this vehicle, before any live condition.
struct Feasibility {
    enum class Kind { readOnly, forbidden, executable, ecuUnreachable };

    Kind kind = Kind::executable;
    std::string reason; // readOnly and forbidden only

    static Feasibility readOnly(std::string reason) { return {Kind::readOnly, std::move(reason)}; }
    static Feasibility forbidden(std::string reason) { return {Kind::forbidden, std::move(reason)}; }
    static Feasibility executable() { return {Kind::executable, {}}; }
    static Feasibility ecuUnreachable() { return {Kind::ecuUnreachable, {}}; }

    std::string_view label() const;
    std::string explanation() const;

    bool operator==(const Feasibility&) const = default;
};

// The only path from expert coding to an ECU. It judges recipes, evaluates the write guard with
// live values, backs ECUs up, runs a recipe's writes and answers restore requests, and traces
// every action in the audit log. Refusals and failures are results, never exceptions.
//
// Each backup and each execution runs in one exclusive section of the session addressed to its
// ECU: the ECU's header goes out when it opens (even when the session believes it in force, as
// after an adapter reset it did not see) and every request inside goes out with it, so no other
// user's exchange (a data identifier scan, the polling) comes in between, and none is left on the
// ECU's header afterwards, each stating its own. An execution takes the session before it judges
// the guard, and waits for it at most `sessionWait`.
// Thread-safe: the engine keeps no state of its own.
class CodingEngine {
public:
    // The live values the guard judges: battery voltage in volts, engine speed in rpm, vehicle
    // speed in km/h, each absent when not measured.
    struct LiveValues {
        std::optional<double> batteryVoltage;
        std::optional<double> rpm;
        std::optional<double> speedKmh;
    };
    // Gives the latest live values when asked. It is called with the session held, so it must
    // not wait for another thread that uses the session.
    using LiveValuesSource = std::function<LiveValues()>;

    static constexpr std::chrono::seconds defaultSessionWait{5};

    struct ExecutionResult {
        enum class Kind { refused, failed, succeeded };

        Kind kind = Kind::succeeded;
        std::vector<std::string> reasons; // refused: nothing was sent to the ECU
        std::string description;          // failed: what went wrong, in French

        static ExecutionResult refused(std::vector<std::string> reasons) {
            return {Kind::refused, std::move(reasons), {}};
        }
        static ExecutionResult failed(std::string description) { return {Kind::failed, {}, std::move(description)}; }
        static ExecutionResult succeeded() { return {}; }

        bool operator==(const ExecutionResult&) const = default;
    };

    // `vin`: the VIN read over this connection, absent when the car gave none. A backup of
    // another car (both VINs known and different) never counts for the write guard.
    CodingEngine(std::shared_ptr<ELM327Session> session, std::shared_ptr<SecurityAccessRegistry> registry,
                 std::shared_ptr<ECUBackupStore> backups, std::shared_ptr<AuditLog> audit,
                 std::optional<std::string> vin, std::chrono::nanoseconds sessionWait = defaultSessionWait);

    // `reachableECUs`: the addresses known to answer; empty when nothing is known. Judges the
    // recipe's steps as `execute` does, so that a recipe it would refuse whatever the live
    // conditions (nothing to write, a step it cannot carry out) is never executable.
    Feasibility feasibility(const CodingRecipe& recipe, const std::set<std::string>& reachableECUs) const;

    GuardVerdict evaluateGuards(const CodingRecipe& recipe, bool expertAccepted, std::optional<double> batteryVoltage,
                                std::optional<double> rpm, std::optional<double> speedKmh) const;

    // Reads the standard identification identifiers of the ECU at `address` into a new backup.
    // When the ECU cannot be selected the reads go to the adapter's current header and the
    // backup is never verified.
    ECUBackup backupECU(const std::string& name, const std::string& address, const std::optional<std::string>& vin,
                        const ECUBackupStore::Progress& onProgress = {}, std::stop_token stop = {});

    void recordExpertAcceptance();

    // Runs the recipe's WriteDataByIdentifier steps when the user confirmed, the guard allows and
    // every write step of the recipe can be carried out; each write is confirmed by reading the
    // identifier back. The live values are asked of `live` once the session is held, so a wait
    // for the session never leaves the guard judging values older than the writes; a session
    // still busy after `sessionWait` refuses the execution.
    ExecutionResult execute(const CodingRecipe& recipe, bool expertAccepted, bool userConfirmed,
                            const LiveValuesSource& live, std::stop_token stop = {});

    // Checks the backup and refuses: no restore exchange exists, and nothing is ever sent.
    ExecutionResult restore(const ECUBackup& backup);

private:
    void record(AuditEntry::Kind kind, std::optional<std::string> ecu, std::string result,
                std::optional<std::string> recipe = std::nullopt, std::optional<std::string> did = std::nullopt,
                std::optional<std::string> valueBefore = std::nullopt,
                std::optional<std::string> valueAfter = std::nullopt);

    const std::shared_ptr<ELM327Session> session_;
    const std::shared_ptr<SecurityAccessRegistry> registry_;
    const std::shared_ptr<ECUBackupStore> backups_;
    const std::shared_ptr<AuditLog> audit_;
    const std::optional<std::string> vin_;
    const std::chrono::nanoseconds sessionWait_;
    const WriteGuard guardian_{};
};

} // namespace veq
