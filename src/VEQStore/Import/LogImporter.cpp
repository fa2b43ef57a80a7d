#include "VEQStore/Import/LogImporter.hpp"

#include "VEQStore/Export/ExportText.hpp"
#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Text.hpp"

#include <nlohmann/json.hpp>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <numeric>

namespace veq::LogImporter {

namespace {

using Json = nlohmann::ordered_json; // keeps the keys of a row in file order
using Values = std::vector<std::optional<float>>;

// Normalised names of a time column, in the order they are looked for.
constexpr std::array<std::string_view, 9> kTimeNames = {"temps_s", "temps",   "time",        "timestamp", "horodatage",
                                                    "seconds", "elapsed", "device time", "gps time"};

struct ChannelAlias {
    std::uint8_t pid;
    std::string_view name;
    std::vector<std::string_view> aliases; // normalised column names, in the order they are tried
};

const std::vector<ChannelAlias>& aliasTable() {
    static const std::vector<ChannelAlias> table = {
        {13, "Vitesse véhicule",                        {"vitesse vehicule", "vitesse", "speed", "vehicle speed", "spd", "gps speed"}},
        {12, "Régime moteur",                           {"regime moteur", "regime", "rpm", "engine rpm", "engine speed", "tr/min"}},
        {5,  "Température liquide de refroidissement",  {"temperature liquide de refroidissement", "temperature liquide", "coolant", "coolant temp", "coolant temperature", "engine coolant temperature", "temp eau", "eau"}},
        {17, "Position papillon",                       {"position papillon", "papillon", "throttle", "throttle position", "throttle pos", "tps"}},
        {11, "Pression absolue collecteur d'admission", {"pression absolue collecteur d'admission", "pression admission", "boost", "map", "manifold absolute pressure", "intake manifold pressure", "suralimentation"}},
        {92, "Température huile moteur",                {"temperature huile moteur", "oil temp", "oil temperature", "huile"}},
        {4,  "Charge moteur calculée",                  {"charge moteur calculee", "charge", "engine load", "load"}},
    };
    return table;
}

// Separators a CSV header is tried against; a later one wins only with strictly more occurrences.
constexpr std::array<char, 4> kSeparators = {';', ',', '\t', '|'};
// Keys that may hold the rows of a JSON object, in this order.
constexpr std::array<std::string_view, 5> kRowKeys = {"records", "data", "rows", "log", "samples"};

// A log larger than this is refused rather than loaded whole into memory.
constexpr std::size_t kMaxFileBytes = 512u * 1024 * 1024;

constexpr std::string_view kUnreadableJSON = "lecture impossible";

std::string lowercaseASCII(std::string s) {
    for (auto& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return s;
}

template <typename List>
bool contains(const List& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

std::size_t codePointCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The first code point that is not Unicode white space (line breaks included), or nothing.
std::optional<UChar32> firstVisible(std::string_view utf8) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());
    const auto length = static_cast<std::int32_t>(std::min<std::size_t>(utf8.size(), std::numeric_limits<std::int32_t>::max()));
    for (std::int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (!u_isUWhiteSpace(c)) return c;
    }
    return std::nullopt;
}

// Lines split at LF, CR, CR LF, VT, FF, NEL, U+2028 and U+2029; empty lines dropped.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    const auto cut = [&](std::size_t end, std::size_t breakLength) {
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + breakLength;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t breakLength = 0;
        if (c == '\n' || c == '\r' || c == '\v' || c == '\f') breakLength = 1;
        else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85) breakLength = 2;
        else if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                 (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9))
            breakLength = 3;
        if (breakLength == 0) {
            ++i;
            continue;
        }
        cut(i, breakLength);
        i += breakLength;
    }
    cut(text.size(), 0);
    return lines;
}

std::vector<std::string_view> splitFields(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const auto end = line.find(separator, start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

char separatorOf(std::string_view header) {
    char best = kSeparators[0];
    auto bestCount = std::count(header.begin(), header.end(), best);
    for (const char candidate : kSeparators) {
        const auto count = std::count(header.begin(), header.end(), candidate);
        if (count > bestCount) {
            best = candidate;
            bestCount = count;
        }
    }
    return best;
}

std::optional<float> floatOf(double value) {
    if (!std::isfinite(value) || std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

// A JSON channel value: a number as it is, a text read for the number in it, anything else missing.
std::optional<float> jsonValue(const Json& value) {
    if (value.is_number()) return floatOf(value.get<double>());
    if (value.is_string()) return number(value.get_ref<const std::string&>());
    return std::nullopt;
}

bool isArrayOf(const Json& value, bool (Json::*kind)() const noexcept) {
    return value.is_array() && std::all_of(value.begin(), value.end(), [&](const Json& e) { return (e.*kind)(); });
}

// The channels-and-samples shape: {"channels": [{"name": ...}, ...], "samples": [[t, v1, ...], ...]}.
TelemetryFile::Contents readChannelsAndSamples(const Json& channels, const Json& samples) {
    std::vector<std::string> names;
    for (const auto& channel : channels) {
        const auto name = channel.find("name");
        names.push_back(name != channel.end() && name->is_string() ? name->get<std::string>() : std::string());
    }
    const auto mapped = mapColumns(names).channels;
    std::vector<double> times;
    std::vector<Values> records;
    for (const auto& sample : samples) {
        if (sample.empty()) continue;
        std::optional<double> time;
        if (sample[0].is_number()) {
            time = readableTime(sample[0].get<double>());
        } else if (sample[0].is_string()) { // a decimal number as a whole, never a date
            if (const auto v = exporttext::readDouble(sample[0].get_ref<const std::string&>())) time = readableTime(*v);
        }
        if (!time) continue;
        Values values;
        for (const auto& channel : mapped) {
            const auto position = channel.column + 1;
            values.push_back(position < sample.size() ? jsonValue(sample[position]) : std::nullopt);
        }
        times.push_back(*time);
        records.push_back(std::move(values));
    }
    return assemble(times, std::move(records), mapped);
}

TelemetryFile::Contents readRows(const Json& rows) {
    if (rows.empty()) throw ImportError::noSamples();
    std::vector<std::string> keys;
    for (const auto& item : rows.front().items()) keys.push_back(item.key());
    const auto mapping = mapColumns(keys);
    if (!mapping.time) throw ImportError::noTimeColumn(keys);
    const auto& timeKey = keys[*mapping.time];
    std::vector<double> times;
    std::vector<Values> records;
    for (const auto& row : rows) {
        const auto timeValue = row.find(timeKey);
        if (timeValue == row.end()) continue;
        std::optional<double> time;
        if (timeValue->is_number()) time = readableTime(timeValue->get<double>()); // seconds as they are
        else if (timeValue->is_string()) time = timestamp(timeValue->get_ref<const std::string&>());
        if (!time) continue;
        Values values;
        for (const auto& channel : mapping.channels) {
            const auto value = row.find(keys[channel.column]);
            values.push_back(value != row.end() ? jsonValue(*value) : std::nullopt);
        }
        times.push_back(*time);
        records.push_back(std::move(values));
    }
    return assemble(times, std::move(records), mapping.channels);
}

} // namespace

// ---- errors

ImportError ImportError::fileNotFound(const std::string& path) {
    return ImportError(Kind::fileNotFound, path, {}, "fichier introuvable : " + path);
}

ImportError ImportError::noTimeColumn(std::vector<std::string> seen) {
    std::string joined;
    for (const auto& name : seen) joined += (joined.empty() ? "" : ", ") + name;
    return ImportError(Kind::noTimeColumn, {}, std::move(seen),
                       "aucune colonne d'horodatage reconnue (colonnes vues : " + joined + ")");
}

ImportError ImportError::invalidJSON(const std::string& message) {
    return ImportError(Kind::invalidJSON, message, {}, "JSON invalide : " + message);
}

ImportError ImportError::empty() { return ImportError(Kind::empty, {}, {}, "fichier vide"); }
ImportError ImportError::noHeaders() { return ImportError(Kind::noHeaders, {}, {}, "aucun en-tête détecté"); }
ImportError ImportError::noSamples() { return ImportError(Kind::noSamples, {}, {}, "aucun échantillon exploitable"); }

// ---- reading

TelemetryFile::Contents load(const std::filesystem::path& url) {
    std::error_code ec;
    if (!std::filesystem::exists(url, ec)) throw ImportError::fileNotFound(url.string());
    const auto extension = lowercaseASCII(url.extension().string());
    if (extension == ".veqt") { // a file from elsewhere: bounded like every other import
        const std::string bytes = readWholeFile(url, kMaxFileBytes);
        return TelemetryFile::decode(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
    std::string text = text::decodeUTF8Lossy(readWholeFile(url, kMaxFileBytes));
    // Spreadsheets often begin UTF-8 text with a byte-order mark; it is no part of the first name.
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    const auto first = firstVisible(text);
    if (!first) throw ImportError::empty();
    if (extension == ".json" || *first == '[' || *first == '{') return readJSON(text);
    return readCSV(text);
}

TelemetryFile::Contents readCSV(std::string_view text) {
    const auto lines = splitLines(text);
    if (lines.empty()) throw ImportError::noHeaders();
    const char separator = separatorOf(lines.front());
    std::vector<std::string> names;
    for (const auto field : splitFields(lines.front(), separator)) names.emplace_back(text::trimSpacesAndTabs(field));
    if (names.size() < 2) throw ImportError::noHeaders();
    const auto mapping = mapColumns(names);
    if (!mapping.time) throw ImportError::noTimeColumn(names);

    std::vector<double> times;
    std::vector<Values> records;
    for (std::size_t l = 1; l < lines.size(); ++l) {
        const auto fields = splitFields(lines[l], separator);
        if (*mapping.time >= fields.size()) continue;
        const auto time = timestamp(fields[*mapping.time]);
        if (!time) continue;
        Values values;
        values.reserve(mapping.channels.size());
        for (const auto& channel : mapping.channels) {
            values.push_back(channel.column < fields.size() ? number(fields[channel.column]) : std::nullopt);
        }
        times.push_back(*time);
        records.push_back(std::move(values));
    }
    return assemble(times, std::move(records), mapping.channels);
}

TelemetryFile::Contents readJSON(std::string_view text) {
    // Only an object or an array is a log; a bare value at the top is refused like broken JSON.
    const Json root = Json::parse(text, nullptr, false);
    if (root.is_discarded() || !(root.is_object() || root.is_array())) {
        throw ImportError::invalidJSON(std::string(kUnreadableJSON));
    }
    if (root.is_object()) {
        const auto channels = root.find("channels");
        const auto samples = root.find("samples");
        if (channels != root.end() && samples != root.end() && isArrayOf(*channels, &Json::is_object) &&
            isArrayOf(*samples, &Json::is_array)) {
            return readChannelsAndSamples(*channels, *samples);
        }
        for (const auto key : kRowKeys) {
            const auto rows = root.find(key);
            if (rows != root.end() && isArrayOf(*rows, &Json::is_object)) return readRows(*rows);
        }
        throw ImportError::noSamples();
    }
    if (!isArrayOf(root, &Json::is_object)) throw ImportError::noSamples();
    return readRows(root);
}

// ---- columns

ColumnMapping mapColumns(const std::vector<std::string>& names) {
    std::vector<std::string> normalised;
    normalised.reserve(names.size());
    for (const auto& name : names) normalised.push_back(normalise(name));

    ColumnMapping mapping;
    // The first column, other than `skip`, whose name satisfies `matches`.
    const auto firstColumn = [&](auto matches, std::optional<std::size_t> skip) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < normalised.size(); ++i) {
            if (i != skip && matches(std::string_view(normalised[i]))) return i;
        }
        return std::nullopt;
    };
    mapping.time = firstColumn([](std::string_view n) { return contains(kTimeNames, n); }, std::nullopt);
    if (!mapping.time) {
        mapping.time = firstColumn([](std::string_view n) {
            return std::any_of(kTimeNames.begin(), kTimeNames.end(), [&](std::string_view t) { return n.starts_with(t); });
        }, std::nullopt);
    }

    for (const auto& entry : aliasTable()) {
        auto found = firstColumn([&](std::string_view n) { return contains(entry.aliases, n); }, mapping.time);
        if (!found) {
            found = firstColumn([&](std::string_view n) {
                return codePointCount(n) > 2 && std::any_of(entry.aliases.begin(), entry.aliases.end(), [&](std::string_view a) {
                           return n.starts_with(a) || a.starts_with(n);
                       });
            }, mapping.time);
        }
        const bool taken = std::any_of(mapping.channels.begin(), mapping.channels.end(),
                                       [&](const MappedChannel& c) { return c.pid == entry.pid; });
        if (found && !taken) mapping.channels.push_back({*found, entry.pid, std::string(entry.name)});
    }
    return mapping;
}

// ---- assembly

TelemetryFile::Contents assemble(const std::vector<double>& times, std::vector<Values> records,
                                 const std::vector<MappedChannel>& channels) {
    TelemetryFile::Contents drive;
    if (times.empty()) {
        drive.startDate = std::chrono::system_clock::now();
        return drive;
    }
    const double t0 = *std::min_element(times.begin(), times.end());
    std::vector<std::size_t> order(times.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return times[a] < times[b]; });

    for (const auto& channel : channels) drive.channels.push_back({channel.pid, channel.name});
    drive.records.reserve(order.size());
    for (const auto index : order) {
        const double ms = std::round((times[index] - t0) * 1000.0);
        // The file counts milliseconds in 32 bits (about 49.7 days); later records cannot be held.
        if (ms > static_cast<double>(std::numeric_limits<std::uint32_t>::max())) continue;
        drive.records.push_back({static_cast<std::uint32_t>(std::max(ms, 0.0)), std::move(records[index])});
    }

    // A start before 1970 is taken as 1970 (the file cannot hold it); one beyond what the clock
    // holds (past the year 2262) as the clock's last date.
    using Date = std::chrono::system_clock::time_point;
    constexpr double latest = static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(Date::duration::max()).count());
    const double start = std::max(t0, 0.0);
    drive.startDate = start >= latest
                          ? Date::max()
                          : Date{std::chrono::round<Date::duration>(std::chrono::duration<double>(start))};
    return drive;
}

} // namespace veq::LogImporter
