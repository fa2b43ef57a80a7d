#include "VEQVehicle/JSONDecoding.hpp"

#include <fmt/format.h>

namespace veq {

namespace {

std::string describe(const std::string& path, const std::string& reason) {
    return fmt::format("Données JSON illisibles ({}) : {}", path.empty() ? "racine" : path, reason);
}

} // namespace

JSONDecodingError::JSONDecodingError(std::string path, std::string reason)
    : Error(describe(path, reason)), path_(std::move(path)), reason_(std::move(reason)) {}

namespace jsonfield {

std::string member(const std::string& path, std::string_view key) {
    return path.empty() ? std::string(key) : fmt::format("{}.{}", path, key);
}

std::string element(const std::string& path, std::size_t index) {
    return fmt::format("{}[{}]", path, index);
}

nlohmann::json parse(std::string_view text) {
    try {
        return nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        throw JSONDecodingError({}, fmt::format("syntaxe JSON invalide à l'octet {}", e.byte));
    } catch (const nlohmann::json::exception&) {
        // A number too large for a 64-bit float is the only other refusal of the parser.
        throw JSONDecodingError({}, "nombre hors de l'intervalle représentable");
    }
}

} // namespace jsonfield
} // namespace veq
