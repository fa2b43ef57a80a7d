#include "VEQEngine/Coding/ECUBackup.hpp"

#include "VEQSupport/ISO8601.hpp"

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace veq {

namespace {

using json = nlohmann::json;

// "2024-01-31T12:00:00Z": the only date form written and read.
constexpr std::size_t kWholeSecondDateLength = 20;

long long wholeSeconds(ECUBackup::Clock::time_point date) {
    return std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
}

class SHA256 {
public:
    SHA256() : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free) {
        if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) fail();
    }
    void update(const void* data, std::size_t size) {
        if (size != 0 && EVP_DigestUpdate(context_.get(), data, size) != 1) fail();
    }
    std::string hexDigest() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        if (EVP_DigestFinal_ex(context_.get(), digest, &size) != 1) fail();
        std::string hex;
        for (unsigned int i = 0; i < size; ++i) hex += fmt::format("{:02x}", digest[i]);
        return hex;
    }

private:
    // Only an exhausted allocator makes EVP fail on SHA-256; no checksum can be made then.
    [[noreturn]] static void fail() { throw std::bad_alloc(); }

    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

} // namespace

ECUBackup::ECUBackup(UUID id, std::string ecuName, std::string ecuAddress, Clock::time_point createdAt,
                     std::optional<std::string> vin, Values values, bool verified)
    : id(id), ecuName(std::move(ecuName)), ecuAddress(std::move(ecuAddress)), createdAt(createdAt),
      vin(std::move(vin)), values(std::move(values)), verified(verified) {
    checksum = computeChecksum(this->values, this->ecuAddress, this->createdAt);
}

std::string ECUBackup::computeChecksum(const Values& values, std::string_view address, Clock::time_point date) {
    SHA256 digest;
    digest.update(address.data(), address.size());
    const std::string seconds = std::to_string(wholeSeconds(date));
    digest.update(seconds.data(), seconds.size());
    // std::map iterates its keys in ascending byte order, the order the checksum is defined in.
    for (const auto& [key, bytes] : values) {
        digest.update(key.data(), key.size());
        digest.update(bytes.data(), bytes.size());
    }
    return digest.hexDigest();
}

std::string ECUBackup::key(std::uint16_t identifier) { return fmt::format("0x{:04X}", identifier); }

double ECUBackup::age(Clock::time_point now) const {
    return std::chrono::duration<double>(now - createdAt).count();
}

// A backup dated in the future (a clock set wrong) is not recent: it would stay so for ever.
bool ECUBackup::isFresh(Clock::time_point now) const {
    const double seconds = age(now);
    return seconds >= 0.0 && seconds < 86400.0;
}

bool ECUBackup::isIntact() const { return computeChecksum(values, ecuAddress, createdAt) == checksum; }

void to_json(json& j, const ECUBackup& backup) {
    j = json::object();
    j["checksum"] = backup.checksum;
    j["createdAt"] = iso8601::format(backup.createdAt);
    j["ecuAddress"] = backup.ecuAddress;
    j["ecuName"] = backup.ecuName;
    j["id"] = backup.id.uuidString();
    json values = json::object();
    for (const auto& [key, bytes] : backup.values) values[key] = bytes;
    j["values"] = std::move(values);
    j["verified"] = backup.verified;
    if (backup.vin) j["vin"] = *backup.vin;
}

// nlohmann's object keeps its keys sorted, so the file has them in ascending order at every level.
std::string ECUBackup::encoded() const { return json(*this).dump(2); }

std::optional<ECUBackup> ECUBackup::decode(std::string_view bytes) {
    const json j = json::parse(bytes, nullptr, false);
    if (!j.is_object()) return std::nullopt;
    try {
        const auto& dateText = j.at("createdAt").get_ref<const std::string&>();
        const auto createdAt = iso8601::parse(dateText);
        const auto id = UUID::parse(j.at("id").get_ref<const std::string&>());
        if (!createdAt || !id || dateText.size() != kWholeSecondDateLength) return std::nullopt;

        Values values;
        for (const auto& [key, array] : j.at("values").get_ref<const json::object_t&>()) {
            auto& out = values[key];
            for (const json& byte : array.get_ref<const json::array_t&>()) {
                if (!byte.is_number_unsigned() || byte.get<std::uint64_t>() > 0xFF) return std::nullopt;
                out.push_back(static_cast<std::uint8_t>(byte.get<std::uint64_t>()));
            }
        }
        std::optional<std::string> vin;
        if (const auto it = j.find("vin"); it != j.end() && !it->is_null()) vin = it->get<std::string>();

        ECUBackup backup(*id, j.at("ecuName").get<std::string>(), j.at("ecuAddress").get<std::string>(), *createdAt,
                         std::move(vin), std::move(values), j.at("verified").get<bool>());
        // The stored checksum is kept as it is: comparing it with a fresh one tells an edited file.
        backup.checksum = j.at("checksum").get<std::string>();
        return backup;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

} // namespace veq
