#include "VEQEngine/Coding/ECUBackupStore.hpp"

#include "VEQEngine/UDS/UDSClient.hpp"
#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/DataFolder.hpp"
#include "VEQSupport/Error.hpp"
#include "VEQSupport/FileReading.hpp"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <unistd.h>

namespace veq {

namespace {

namespace fs = std::filesystem;

// Suffixes tried for backups of one ECU within one second before the write is given up.
constexpr int kMaxNameSuffix = 1000;

bool isNameCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-';
}

} // namespace

ECUBackupStore::ECUBackupStore(std::optional<fs::path> directory)
    : directory_(directory ? std::move(*directory) : defaultDirectory()) {
    std::error_code ec;
    fs::create_directories(directory_, ec);
    // What a crash left half-written: staged backups of processes that are gone.
    removeStaleTemporaryFiles(directory_, [](std::string_view target) { return target.ends_with(".json"); });
    backups_ = loadFromDisk(directory_);
    persisted_.assign(backups_.size(), true);
}

fs::path ECUBackupStore::defaultDirectory() { return applicationDataFolder() / "Backups"; }

std::vector<ECUBackup> ECUBackupStore::all() const {
    std::lock_guard lock(mutex_);
    std::vector<ECUBackup> sorted = backups_;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ECUBackup& a, const ECUBackup& b) { return a.createdAt > b.createdAt; });
    return sorted;
}

const ECUBackup* ECUBackupStore::latestLocked(const std::string& address, const std::optional<std::string>* vin) const {
    const ECUBackup* best = nullptr;
    for (const ECUBackup& backup : backups_) {
        if (backup.ecuAddress != address) continue;
        if (vin && *vin && backup.vin && *backup.vin != **vin) continue; // another car's
        if (!best || backup.createdAt > best->createdAt) best = &backup;
    }
    return best;
}

std::optional<ECUBackup> ECUBackupStore::latest(const std::string& address) const {
    std::lock_guard lock(mutex_);
    if (const ECUBackup* best = latestLocked(address, nullptr)) return *best;
    return std::nullopt;
}

std::optional<ECUBackup> ECUBackupStore::latest(const std::string& address, const std::optional<std::string>& vin) const {
    std::lock_guard lock(mutex_);
    if (const ECUBackup* best = latestLocked(address, &vin)) return *best;
    return std::nullopt;
}

bool ECUBackupStore::hasValidBackup(const std::string& address, Clock::time_point now) const {
    return hasValidBackup(address, std::nullopt, now);
}

bool ECUBackupStore::hasValidBackup(const std::string& address, const std::optional<std::string>& vin,
                                    Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    const ECUBackup* backup = latestLocked(address, &vin);
    if (!backup) return false;
    const bool persisted = persisted_[static_cast<std::size_t>(backup - backups_.data())];
    return persisted && backup->isFresh(now) && backup->verified && backup->isIntact();
}

bool ECUBackupStore::isPersisted(const UUID& id) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < backups_.size(); ++i) {
        if (backups_[i].id == id) return persisted_[i];
    }
    return false;
}

ECUBackup ECUBackupStore::createBackup(std::string ecuName, std::string address, std::optional<std::string> vin,
                                       UDSClient& uds, bool aimedAtECU, std::span<const std::uint16_t> dids,
                                       const Progress& onProgress, std::stop_token stop) {
    ECUBackup::Values values;
    bool confirmed = aimedAtECU;
    const int total = static_cast<int>(dids.size());
    for (int i = 0; i < total; ++i) {
        if (stop.stop_requested()) {
            confirmed = false; // an interrupted copy is incomplete
            break;
        }
        const std::uint16_t did = dids[static_cast<std::size_t>(i)];
        if (onProgress) onProgress(i + 1, total);
        const std::array<std::uint8_t, 2> echo{static_cast<std::uint8_t>(did >> 8), static_cast<std::uint8_t>(did)};
        std::vector<std::uint8_t> kept;
        try {
            const auto response = uds.request(UDSService::readDataByIdentifier, echo, 2, stop);
            if (response.size() <= 2) continue;
            if (response[0] != echo[0] || response[1] != echo[1]) {
                confirmed = false; // an answer to another request: its bytes are not this identifier's
                continue;
            }
            kept.assign(response.begin() + 2, response.end());
        } catch (const UDSError&) {
            continue; // refused or unanswered by the ECU: left out
        } catch (const std::exception&) {
            confirmed = false; // the link failed or the read was cancelled: the copy is incomplete
            continue;
        }
        try {
            if (uds.readDataByIdentifier(did, stop) != kept) confirmed = false;
        } catch (const std::exception&) {
            confirmed = false;
        }
        values[ECUBackup::key(did)] = std::move(kept);
    }
    const bool verified = confirmed && !values.empty();
    ECUBackup backup(UUID::random(), std::move(ecuName), std::move(address), Clock::now(), std::move(vin),
                     std::move(values), verified);
    add(backup);
    return backup;
}

std::optional<fs::path> ECUBackupStore::add(ECUBackup backup) {
    std::lock_guard lock(mutex_);
    backups_.push_back(std::move(backup));
    auto file = persist(backups_.back());
    persisted_.push_back(file.has_value());
    return file;
}

std::string ECUBackupStore::fileName(const ECUBackup& backup) {
    std::string name;
    std::copy_if(backup.ecuAddress.begin(), backup.ecuAddress.end(), std::back_inserter(name), isNameCharacter);
    name += '-';
    name += std::to_string(std::chrono::duration_cast<std::chrono::seconds>(backup.createdAt.time_since_epoch()).count());
    return name + ".json";
}

// Called with the lock held. Another process may write a backup into the folder at the same
// moment, so a name is taken only by creating it: link() fails on a name that exists, where a
// check followed by rename() would replace a file created in between.
std::optional<fs::path> ECUBackupStore::persist(const ECUBackup& backup) {
    try {
        const std::string name = fileName(backup);
        const std::string stem = name.substr(0, name.size() - std::string_view(".json").size());
        const fs::path staged = temporaryPathBeside(directory_ / name);
        writeFileAtomically(staged, backup.encoded());
        std::optional<fs::path> published;
        bool hardLinks = true;
        for (int suffix = 1; suffix <= kMaxNameSuffix; ++suffix) {
            const fs::path candidate = directory_ / (suffix == 1 ? name : stem + '-' + std::to_string(suffix) + ".json");
            if (hardLinks) {
                if (::link(staged.c_str(), candidate.c_str()) == 0) {
                    published = candidate;
                    break;
                }
                if (errno == EEXIST) continue;
                if (errno != EPERM && errno != EOPNOTSUPP) break; // a full disk, a folder gone
                hardLinks = false;
            }
            // A file system without hard links: only a rename is left, which cannot see a file
            // another process creates under this name meanwhile.
            std::error_code ec;
            if (fs::exists(candidate, ec) || ec) continue;
            fs::rename(staged, candidate, ec);
            if (!ec) published = candidate;
            break;
        }
        std::error_code ec;
        fs::remove(staged, ec);
        if (published) syncFolder(directory_);
        return published;
    } catch (const std::exception&) {
        // Text that is not UTF-8 cannot be encoded, a full disk cannot be written: the backup
        // stays in memory, and an unpersisted backup is no worse than none after a restart.
        return std::nullopt;
    }
}

std::vector<ECUBackup> ECUBackupStore::loadFromDisk(const fs::path& directory) {
    std::vector<ECUBackup> loaded;
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::path& file = it->path();
        if (file.extension() != ".json") continue;
        const auto bytes = readWholeFileIfReadable(file, maxFileBytes);
        if (!bytes) continue;
        if (auto backup = ECUBackup::decode(*bytes)) loaded.push_back(std::move(*backup));
    }
    return loaded;
}

} // namespace veq
