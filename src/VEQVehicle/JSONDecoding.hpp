#pragma once

#include "VEQSupport/Error.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// A JSON document that does not have the expected shape. `path` names the faulty value
// ("[2].busses[0].speed"), `reason` says what was expected there.
class JSONDecodingError : public Error {
public:
    JSONDecodingError(std::string path, std::string reason);
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }

private:
    std::string path_;
    std::string reason_;
};

// Strict readers of JSON values. nlohmann converts silently (true or 2.7 read as an integer
// give 1 and 2), so every read checks the JSON type first and throws JSONDecodingError on
// anything else. Keys the reader does not ask for are ignored; an optional key may be absent
// or null.
namespace jsonfield {

std::string member(const std::string& path, std::string_view key);
std::string element(const std::string& path, std::size_t index);

template <class Json>
const Json& requireObject(const Json& value, const std::string& path) {
    if (!value.is_object()) throw JSONDecodingError(path, "objet attendu");
    return value;
}

template <class Json>
const Json& requireArray(const Json& value, const std::string& path) {
    if (!value.is_array()) throw JSONDecodingError(path, "liste attendue");
    return value;
}

// The value under `key`, or nothing when the key is absent or null.
template <class Json>
const Json* find(const Json& object, std::string_view key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return nullptr;
    return &*it;
}

template <class Json>
const Json& require(const Json& object, std::string_view key, const std::string& path) {
    const Json* value = find(object, key);
    if (value == nullptr) throw JSONDecodingError(member(path, key), "valeur requise absente");
    return *value;
}

template <class Json>
std::string asText(const Json& value, const std::string& path) {
    if (!value.is_string()) throw JSONDecodingError(path, "texte attendu");
    return value.template get_ref<const typename Json::string_t&>();
}

// JSON integers only: 12.0, 12.5, true and "12" are refused.
template <class Json>
std::int64_t asInteger(const Json& value, const std::string& path) {
    if (value.is_number_unsigned()) {
        const auto u = value.template get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            throw JSONDecodingError(path, "entier hors de l'intervalle 64 bits");
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_integer()) return value.template get<std::int64_t>();
    throw JSONDecodingError(path, "nombre entier attendu");
}

// Any JSON number; booleans and texts are refused.
template <class Json>
double asNumber(const Json& value, const std::string& path) {
    if (!value.is_number()) throw JSONDecodingError(path, "nombre attendu");
    return value.template get<double>();
}

template <class Json>
bool asBoolean(const Json& value, const std::string& path) {
    if (!value.is_boolean()) throw JSONDecodingError(path, "booléen attendu");
    return value.template get<bool>();
}

template <class T, class Json, class Decode>
std::vector<T> asList(const Json& value, const std::string& path, Decode decode) {
    requireArray(value, path);
    std::vector<T> out;
    out.reserve(value.size());
    std::size_t index = 0;
    for (const auto& item : value) {
        out.push_back(decode(item, element(path, index)));
        ++index;
    }
    return out;
}

template <class Json>
std::string text(const Json& object, std::string_view key, const std::string& path) {
    return asText(require(object, key, path), member(path, key));
}

template <class Json>
std::optional<std::string> optionalText(const Json& object, std::string_view key, const std::string& path) {
    const Json* value = find(object, key);
    if (value == nullptr) return std::nullopt;
    return asText(*value, member(path, key));
}

template <class Json>
std::int64_t integer(const Json& object, std::string_view key, const std::string& path) {
    return asInteger(require(object, key, path), member(path, key));
}

template <class Json>
double number(const Json& object, std::string_view key, const std::string& path) {
    return asNumber(require(object, key, path), member(path, key));
}

template <class Json>
std::optional<double> optionalNumber(const Json& object, std::string_view key, const std::string& path) {
    const Json* value = find(object, key);
    if (value == nullptr) return std::nullopt;
    return asNumber(*value, member(path, key));
}

template <class Json>
bool boolean(const Json& object, std::string_view key, const std::string& path) {
    return asBoolean(require(object, key, path), member(path, key));
}

// Parses a whole JSON text; a syntax error becomes a JSONDecodingError at the root.
nlohmann::json parse(std::string_view text);

} // namespace jsonfield
} // namespace veq
