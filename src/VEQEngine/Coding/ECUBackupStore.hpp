#pragma once

#include "VEQEngine/Coding/ECUBackup.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace veq {

class UDSClient;

// Every ECU backup: read back from its folder when the store is created, kept in memory, each
// new one written to its own JSON file. Judges whether an ECU has a backup recent and sound
// enough for a write. Thread-safe; no file error ever reaches a caller.
class ECUBackupStore {
public:
    using Clock = ECUBackup::Clock;
    // (identifier being read, counting from 1; number of identifiers). Runs on the caller's
    // thread while the session is held: it must not block.
    using Progress = std::function<void(int current, int total)>;

    // The ISO 14229-1 identification data identifiers, in the order they are read: active
    // diagnostic session, spare part number, software number, serial number, VIN, hardware
    // number, supplier software version, system name.
    static constexpr std::array<std::uint16_t, 8> standardDIDs{0xF186, 0xF187, 0xF188, 0xF18C,
                                                               0xF190, 0xF191, 0xF195, 0xF197};
    // A larger file is no backup of ours and is not read.
    static constexpr std::uintmax_t maxFileBytes = 4 * 1024 * 1024;

    // The given folder or defaultDirectory(), created with its parents; then every backup in it.
    explicit ECUBackupStore(std::optional<std::filesystem::path> directory = std::nullopt);

    ECUBackupStore(const ECUBackupStore&) = delete;
    ECUBackupStore& operator=(const ECUBackupStore&) = delete;

    // "OskavelCar/Backups" in the application's data folder.
    static std::filesystem::path defaultDirectory();

    const std::filesystem::path& storageDirectory() const { return directory_; }

    // Newest first; backups of the same time keep their stored order.
    std::vector<ECUBackup> all() const;
    // The backup of exactly this address with the latest time; the first stored wins a tie.
    std::optional<ECUBackup> latest(const std::string& address) const;
    // The same among the backups of the car with this VIN: a backup of another car (both VINs
    // known and different) is passed over.
    std::optional<ECUBackup> latest(const std::string& address, const std::optional<std::string>& vin) const;
    // The latest backup of the address is from 0 to under 24 hours old, verified, intact and
    // written to its file: one that lives in memory only is lost at the next start.
    bool hasValidBackup(const std::string& address, Clock::time_point now = Clock::now()) const;
    // The same for the latest backup of the car with this VIN.
    bool hasValidBackup(const std::string& address, const std::optional<std::string>& vin,
                        Clock::time_point now = Clock::now()) const;
    // The backup was read from its file or written to it; false for one kept in memory only.
    bool isPersisted(const UUID& id) const;

    // Reads each identifier twice through `uds`, keeps the first read's bytes, then keeps and
    // writes the backup. It is verified when at least one value was stored and every stored value
    // was read identically twice; never when `aimedAtECU` is false (the client's requests may
    // have reached another ECU) or when the link failed or the reads were cancelled part-way. An
    // identifier the ECU refuses or does not answer is left out. Never fails.
    ECUBackup createBackup(std::string ecuName, std::string address, std::optional<std::string> vin, UDSClient& uds,
                           bool aimedAtECU, std::span<const std::uint16_t> dids, const Progress& onProgress = {},
                           std::stop_token stop = {});

    // Keeps the backup and writes it to a file of its own. Returns the file, or nothing when it
    // could not be written (the backup then lives in memory only).
    std::optional<std::filesystem::path> add(ECUBackup backup);

    // "<address>-<whole seconds>.json" with only [0-9A-Za-z_-] kept of the address, so that no
    // address can name a file outside the folder.
    static std::string fileName(const ECUBackup& backup);

private:
    // Writes the backup under its file name, or with "-2", "-3", ... before ".json" when that
    // name is taken: a second backup of one ECU within one second, by this process or another,
    // must not replace the first.
    std::optional<std::filesystem::path> persist(const ECUBackup& backup);
    static std::vector<ECUBackup> loadFromDisk(const std::filesystem::path& directory);
    // Called with the lock held.
    const ECUBackup* latestLocked(const std::string& address, const std::optional<std::string>* vin) const;

    const std::filesystem::path directory_;
    mutable std::mutex mutex_;
    std::vector<ECUBackup> backups_; // load order, then creation order
    // Parallel to backups_. Kept here, never in the file: a file read back was written.
    std::vector<bool> persisted_;
};

} // namespace veq
