#include "VEQStore/Import/LogImporter.hpp"

#include "VEQStore/Import/LogImporterDrive.hpp"
#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Text.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <numeric>

namespace veq::LogImporter {

namespace {

using detail::Values;

// Normalised names of a time column, in the order they are looked for.
constexpr std::array<std::string_view, 9> kTimeNames = {"temps_s", "temps",   "time",        "timestamp", "horodatage",
                                                    "seconds", "elapsed", "device time", "gps time"};

// The unit an imported channel holds its values in.
enum class ChannelUnit { kilometresPerHour, revolutionsPerMinute, celsius, percent, kilopascals };

struct UnitSpellings {
    ChannelUnit unit;
    std::string_view symbol;
    std::vector<std::string_view> spellings; // as statedUnit() gives them: folded, without white space
};

// A column that states any other unit (mph, m/s, °F, psi, bar...) serves no channel.
const std::vector<UnitSpellings>& unitTable() {
    static const std::vector<UnitSpellings> table = {
        {ChannelUnit::kilometresPerHour,    "km/h",   {"km/h", "kmh", "km/hr", "kph"}},
        {ChannelUnit::revolutionsPerMinute, "tr/min", {"tr/min", "tr/mn", "trs/min", "t/min", "rpm", "1/min", "min-1", "min^-1", "r/min", "rev/min"}},
        {ChannelUnit::celsius,              "°C",     {"°c", "ºc", "c", "degc", "celsius"}},
        {ChannelUnit::percent,              "%",      {"%", "pct", "percent", "pourcent"}},
        {ChannelUnit::kilopascals,          "kPa",    {"kpa"}},
    };
    return table;
}

const UnitSpellings& spellingsOf(ChannelUnit unit) {
    const auto& table = unitTable();
    return *std::find_if(table.begin(), table.end(), [&](const UnitSpellings& u) { return u.unit == unit; });
}

struct ChannelAlias {
    std::uint8_t pid;
    std::string_view name;
    ChannelUnit unit;
    std::vector<std::string_view> aliases; // normalised column names, in the order they are tried
};

const std::vector<ChannelAlias>& aliasTable() {
    using U = ChannelUnit;
    static const std::vector<ChannelAlias> table = {
        {13, "Vitesse véhicule",                        U::kilometresPerHour,    {"vitesse vehicule", "vitesse", "speed", "vehicle speed", "spd", "gps speed"}},
        {12, "Régime moteur",                           U::revolutionsPerMinute, {"regime moteur", "regime", "rpm", "engine rpm", "engine speed", "tr/min"}},
        {5,  "Température liquide de refroidissement",  U::celsius,              {"temperature liquide de refroidissement", "temperature liquide", "coolant", "coolant temp", "coolant temperature", "engine coolant temperature", "temp eau", "eau"}},
        {17, "Position papillon",                       U::percent,              {"position papillon", "papillon", "throttle", "throttle position", "throttle pos", "tps"}},
        {11, "Pression absolue collecteur d'admission", U::kilopascals,          {"pression absolue collecteur d'admission", "pression admission", "boost", "map", "manifold absolute pressure", "intake manifold pressure", "suralimentation"}},
        {92, "Température huile moteur",                U::celsius,              {"temperature huile moteur", "oil temp", "oil temperature", "huile"}},
        {4,  "Charge moteur calculée",                  U::percent,              {"charge moteur calculee", "charge", "engine load", "load"}},
    };
    return table;
}

const ChannelAlias* aliasOf(std::uint8_t pid) {
    const auto& table = aliasTable();
    const auto found = std::find_if(table.begin(), table.end(), [&](const ChannelAlias& a) { return a.pid == pid; });
    return found == table.end() ? nullptr : &*found;
}

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

bool isValidUTF8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int64_t>(text.size());
    for (std::int64_t i = 0; i < length;) {
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        // Step through one multi-byte sequence; a window keeps the index within int32 for ICU.
        const auto window = static_cast<std::int32_t>(std::min<std::int64_t>(length - i, 4));
        std::int32_t k = 0;
        UChar32 c = 0;
        U8_NEXT(bytes + i, k, window, c);
        if (c < 0) return false;
        i += k;
    }
    return true;
}

// True when the column states no unit, or the channel's own.
bool unitFits(const std::optional<std::string>& stated, ChannelUnit unit) {
    return !stated || contains(spellingsOf(unit).spellings, *stated);
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

ImportError ImportError::noSamples(const std::string& timeColumn) {
    return ImportError(Kind::noSamples, timeColumn, {},
                       "aucun échantillon exploitable : aucune heure lisible dans la colonne « " + timeColumn + " »");
}

// ---- reading

TelemetryFile::Contents load(const std::filesystem::path& url) {
    std::error_code ec;
    if (!std::filesystem::exists(url, ec)) throw ImportError::fileNotFound(url.string());
    const auto extension = lowercaseASCII(url.extension().string());
    if (extension == ".veqt") return detail::readOwnFile(url, detail::kMaxFileBytes, detail::kMaxDriveBytes);
    std::string text = readWholeFile(url, detail::kMaxFileBytes);
    // Decoded again only when needed: a second copy of a large log would double its cost.
    if (!isValidUTF8(text)) text = text::decodeUTF8Lossy(text);
    std::string_view view(text);
    // Spreadsheets often begin UTF-8 text with a byte-order mark; it is no part of the first name.
    if (view.starts_with("\xEF\xBB\xBF")) view.remove_prefix(3);
    const auto first = firstVisible(view);
    if (!first) throw ImportError::empty();
    if (extension == ".json" || *first == '[' || *first == '{') return readJSON(view);
    return readCSV(view);
}

// ---- columns

ColumnMapping mapColumns(const std::vector<std::string>& names) {
    std::vector<std::string> normalised;
    std::vector<std::optional<std::string>> units;
    normalised.reserve(names.size());
    units.reserve(names.size());
    for (const auto& name : names) {
        normalised.push_back(normalise(name));
        units.push_back(statedUnit(name));
    }

    ColumnMapping mapping;
    // The first column, other than `skip`, whose name satisfies `matches`.
    const auto firstColumn = [&](auto matches, std::optional<std::size_t> skip) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < normalised.size(); ++i) {
            if (i != skip && matches(i, std::string_view(normalised[i]))) return i;
        }
        return std::nullopt;
    };
    mapping.time = firstColumn([](std::size_t, std::string_view n) { return contains(kTimeNames, n); }, std::nullopt);
    if (!mapping.time) {
        mapping.time = firstColumn([](std::size_t, std::string_view n) {
            return std::any_of(kTimeNames.begin(), kTimeNames.end(), [&](std::string_view t) { return n.starts_with(t); });
        }, std::nullopt);
    }

    std::vector<LeftOutColumn> refused; // columns named for a channel whose unit is another
    for (const auto& entry : aliasTable()) {
        // A column whose name fits but whose unit does not is passed over, so that a later
        // column in the channel's unit can still serve it.
        const auto fitting = [&](auto nameMatches) {
            return [&, nameMatches](std::size_t i, std::string_view n) {
                if (!nameMatches(n)) return false;
                if (unitFits(units[i], entry.unit)) return true;
                refused.push_back({i, entry.pid});
                return false;
            };
        };
        auto found = firstColumn(fitting([&](std::string_view n) { return contains(entry.aliases, n); }), mapping.time);
        if (!found) {
            found = firstColumn(fitting([&](std::string_view n) {
                return codePointCount(n) > 2 && std::any_of(entry.aliases.begin(), entry.aliases.end(), [&](std::string_view a) {
                           return n.starts_with(a) || a.starts_with(n);
                       });
            }), mapping.time);
        }
        const bool taken = std::any_of(mapping.channels.begin(), mapping.channels.end(),
                                       [&](const MappedChannel& c) { return c.pid == entry.pid; });
        if (found && !taken) mapping.channels.push_back({*found, entry.pid, std::string(entry.name)});
    }

    std::stable_sort(refused.begin(), refused.end(),
                     [](const LeftOutColumn& a, const LeftOutColumn& b) { return a.column < b.column; });
    for (const auto& column : refused) {
        const bool serves = std::any_of(mapping.channels.begin(), mapping.channels.end(),
                                        [&](const MappedChannel& c) { return c.column == column.column; });
        const bool listed = !mapping.leftOut.empty() && mapping.leftOut.back().column == column.column;
        if (!serves && !listed) mapping.leftOut.push_back(column);
    }
    return mapping;
}

// ---- assembly

TelemetryFile::Contents assemble(const std::vector<double>& times, std::vector<Values> records,
                                 const std::vector<MappedChannel>& channels, const std::string& timeColumn,
                                 std::optional<TelemetryFile::Date> statedStart) {
    if (times.empty()) throw timeColumn.empty() ? ImportError::noSamples() : ImportError::noSamples(timeColumn);
    const double t0 = *std::min_element(times.begin(), times.end());
    std::vector<std::size_t> order(times.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return times[a] < times[b]; });

    TelemetryFile::Contents drive;
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
    using Seconds = std::chrono::duration<double>;
    constexpr double latest = static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(Date::duration::max()).count());
    const double origin = statedStart ? std::chrono::duration_cast<Seconds>(statedStart->time_since_epoch()).count() : 0.0;
    const double start = std::max(origin + t0, 0.0);
    drive.startDate = start >= latest ? Date::max() : Date{std::chrono::round<Date::duration>(Seconds(start))};
    return drive;
}

namespace detail {

void traceLeftOut(const std::vector<std::string>& names, const ColumnMapping& mapping) {
    if (mapping.leftOut.empty() || std::getenv("VEQ_TRACE") == nullptr) return;
    for (const auto& column : mapping.leftOut) {
        const ChannelAlias* alias = aliasOf(column.pid);
        const std::string& name = column.column < names.size() ? names[column.column] : std::string();
        std::cerr << "import : colonne « " << name << " » laissée de côté, son unité n'est pas celle du canal « "
                  << (alias ? alias->name : "?") << " » (" << (alias ? spellingsOf(alias->unit).symbol : "?") << ")\n";
    }
}

} // namespace detail

} // namespace veq::LogImporter
