#include "VEQEngine/Coding/AuditLog.hpp"

#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/DataFolder.hpp"
#include "VEQSupport/Error.hpp"
#include "VEQSupport/ISO8601.hpp"
#include "VEQSupport/Text.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace veq {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "# Journal d'audit Oskavel Car \u2014 append-only\n"
                                     "# horodatage\ttype\tecu\tdid\tavant\taprès\trecette\trésultat\n";

constexpr std::string_view kAbsent = "-";

// A TAB would shift the columns and a line break would split the record.
std::string cleanField(std::string_view text) {
    std::string out(text);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return out;
}

std::string optionalField(const std::optional<std::string>& text) {
    return text ? cleanField(*text) : std::string(kAbsent);
}

bool isValidUTF8(std::string_view text) { return text::decodeUTF8Lossy(text) == text; }

// Publishes a complete header under the file's name only while no file has that name, so a log
// that another process created meanwhile is never replaced.
void createWithHeader(const fs::path& file) {
    std::error_code ec;
    if (fs::exists(file, ec)) return;
    try {
        const auto staged = temporaryPathBeside(file);
        writeFileAtomically(staged, kHeader);
        if (::link(staged.c_str(), file.c_str()) != 0 && errno != EEXIST && !fs::exists(file, ec)) {
            // A file system without hard links: fall back to a plain rename.
            fs::rename(staged, file, ec);
        }
        fs::remove(staged, ec);
    } catch (const Error&) {
        // The log then lives in memory only; the next start tries again.
    }
}

// O_APPEND makes the kernel place each write at the end of the file at the moment of writing,
// so records of several processes never overwrite each other; the file is never created here.
// Returns the bytes written, or nothing when the file could not be opened.
std::optional<std::size_t> appendToExistingFile(const fs::path& file, std::string_view bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::size_t written = 0;
    while (written < bytes.size()) {
        // One write carries the whole record; only a short write (a nearly full disk) loops, to
        // finish the line rather than leave it open for the next record.
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::fsync(fd); // evidence of a coding action should survive a power cut
    ::close(fd);
    return written;
}

} // namespace

std::string AuditEntry::logLine() const {
    std::string line = iso8601::format(timestamp);
    for (const auto& field : {std::string(rawValue(kind)), optionalField(ecu), optionalField(did),
                              optionalField(valueBefore), optionalField(valueAfter), optionalField(recipe),
                              cleanField(result)}) {
        line += '\t';
        line += field;
    }
    return line;
}

void to_json(nlohmann::json& j, const AuditEntry& entry) {
    j = nlohmann::json::object();
    j["id"] = entry.id.uuidString();
    j["timestamp"] = iso8601::format(entry.timestamp, true);
    j["kind"] = std::string(rawValue(entry.kind));
    const std::pair<const char*, const std::optional<std::string>*> optionals[] = {
        {"ecu", &entry.ecu},         {"did", &entry.did},       {"valueBefore", &entry.valueBefore},
        {"valueAfter", &entry.valueAfter}, {"recipe", &entry.recipe}};
    for (const auto& [key, value] : optionals) {
        if (*value) j[key] = **value;
    }
    j["result"] = entry.result;
}

void from_json(const nlohmann::json& j, AuditEntry& entry) {
    const auto& idText = j.at("id").get_ref<const std::string&>();
    const auto id = UUID::parse(idText);
    if (!id) throw nlohmann::json::other_error::create(501, "identifiant invalide : " + idText, &j);
    const auto& timeText = j.at("timestamp").get_ref<const std::string&>();
    const auto time = iso8601::parse(timeText);
    if (!time) throw nlohmann::json::other_error::create(501, "date invalide : " + timeText, &j);
    const auto& kindText = j.at("kind").get_ref<const std::string&>();
    const auto kind = fromRaw<AuditEntry::Kind>(kindText);
    if (!kind) throw nlohmann::json::other_error::create(501, "type inconnu : " + kindText, &j);

    entry.id = *id;
    entry.timestamp = *time;
    entry.kind = *kind;
    const auto optional = [&j](const char* key) -> std::optional<std::string> {
        const auto it = j.find(key);
        if (it == j.end()) return std::nullopt;
        return it->get<std::string>();
    };
    entry.ecu = optional("ecu");
    entry.did = optional("did");
    entry.valueBefore = optional("valueBefore");
    entry.valueAfter = optional("valueAfter");
    entry.recipe = optional("recipe");
    entry.result = j.at("result").get<std::string>();
}

AuditLog::AuditLog(std::optional<std::filesystem::path> fileURL)
    : fileURL_(fileURL ? std::move(*fileURL) : defaultURL()) {
    std::error_code ec;
    fs::create_directories(fileURL_.parent_path(), ec);
    // A header staged by a process that died before publishing it.
    removeStaleTemporaryFiles(fileURL_.parent_path(),
                              [name = fileURL_.filename().string()](std::string_view target) { return target == name; });
    createWithHeader(fileURL_);
}

std::filesystem::path AuditLog::defaultURL() { return applicationDataFolder() / "audit.log"; }

std::string_view AuditLog::header() { return kHeader; }

void AuditLog::record(AuditEntry entry) {
    // The file is written under the lock, so its line order is the order of `entries_`.
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
    std::string line = entries_.back().logLine() + '\n';
    if (!isValidUTF8(line)) return; // kept in memory only, as text that is not UTF-8 has no line
    // The file is shared and append-only, so a fragment left by a short write is never cut
    // back: the next record starts on a line of its own, and only the fragment is lost.
    const std::size_t prefix = unterminated_ ? 1 : 0;
    if (prefix) line.insert(line.begin(), '\n');
    const auto written = appendToExistingFile(fileURL_, line);
    if (written && *written > 0) unterminated_ = *written > prefix && *written < line.size();
}

std::vector<AuditEntry> AuditLog::recent() const {
    std::lock_guard lock(mutex_);
    return {entries_.rbegin(), entries_.rend()};
}

} // namespace veq
