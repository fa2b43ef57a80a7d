// CSV logs, with the quoting of RFC 4180 that spreadsheets and our own CSV export write: a field
// that begins with a quote runs to the closing quote, separators and line breaks included, and
// a doubled quote inside stands for one quote.
#include "VEQStore/Import/LogImporter.hpp"

#include "VEQStore/Import/LogImporterDrive.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>
#include <array>
#include <deque>
#include <optional>

namespace veq::LogImporter {

namespace {

using detail::Values;

// Separators a CSV header is tried against; a later one wins only with strictly more occurrences.
constexpr std::array<char, 4> kSeparators = {';', ',', '\t', '|'};
constexpr char kQuote = '"';

// The length of the line break at `i`: LF, CR, VT, FF, NEL, U+2028 or U+2029 (a CR LF is two
// breaks around an empty line, which is dropped); 0 elsewhere.
std::size_t lineBreakAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c == '\n' || c == '\r' || c == '\v' || c == '\f') return 1;
    if (c == 0xC2 && i + 1 < text.size() && byte(i + 1) == 0x85) return 2;
    if (c == 0xE2 && i + 2 < text.size() && byte(i + 1) == 0x80 && (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9)) return 3;
    return 0;
}

// Where a field that may be quoted begins: past the spaces and tabs before an opening quote.
std::optional<std::size_t> openingQuote(std::string_view text, std::size_t i) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == kQuote) return i;
    return std::nullopt;
}

// Reads the lines of a CSV text one record at a time; the fields stay views of the text unless
// a doubled quote had to be undone.
class Records {
public:
    explicit Records(std::string_view text) : text_(text) {}

    // The separator that splits the first line into the most fields, quoted fields read whole.
    char separatorOfFirstLine() const {
        char best = kSeparators[0];
        std::size_t bestCount = 0;
        std::vector<std::string_view> none;
        for (const char candidate : kSeparators) {
            Records first(text_);
            const std::size_t count = first.next(candidate, none, 0).value_or(1) - 1;
            if (count > bestCount) {
                best = candidate;
                bestCount = count;
            }
        }
        return best;
    }

    // The next line that holds anything, split into fields of which the first `keep` are kept
    // (each charged to `budget` when there is one); its number of fields, nothing at the end.
    std::optional<std::size_t> next(char separator, std::vector<std::string_view>& fields,
                                    std::size_t keep = std::string_view::npos, detail::MemoryBudget* budget = nullptr) {
        while (position_ < text_.size()) { // empty lines are dropped
            const std::size_t length = lineBreakAt(text_, position_);
            if (length == 0) break;
            position_ += length;
        }
        if (position_ >= text_.size()) return std::nullopt;
        fields.clear();
        unescaped_.clear();
        for (std::size_t count = 1;; ++count) {
            const bool kept = count <= keep;
            if (kept && budget) budget->take(sizeof(std::string_view));
            const auto quote = openingQuote(text_, position_);
            const auto field = quote ? quotedField(*quote, separator, kept) : plainField(separator);
            if (kept) fields.push_back(field);
            if (position_ >= text_.size()) return count;
            if (text_[position_] == separator) {
                ++position_;
                continue;
            }
            position_ += lineBreakAt(text_, position_); // the line ends here
            return count;
        }
    }

private:
    std::string_view plainField(char separator) {
        const std::size_t start = position_;
        while (position_ < text_.size() && text_[position_] != separator && lineBreakAt(text_, position_) == 0) ++position_;
        return text_.substr(start, position_ - start);
    }

    // From the opening quote to the closing one; what follows the closing quote up to the next
    // separator or line end is kept after it (spreadsheets never write any).
    std::string_view quotedField(std::size_t quote, char separator, bool kept) {
        const std::size_t start = quote + 1;
        std::size_t i = start;
        bool doubled = false;
        for (; i < text_.size(); ++i) {
            if (text_[i] != kQuote) continue;
            if (i + 1 < text_.size() && text_[i + 1] == kQuote) {
                doubled = true;
                ++i;
                continue;
            }
            break;
        }
        // A quote that never closes is a damaged field, not one that runs to the end of the
        // log: read plainly, it costs that field and not every line after it.
        if (i >= text_.size()) return plainField(separator);
        const std::string_view inside = text_.substr(start, i - start);
        position_ = std::min(i + 1, text_.size());
        const std::string_view after = plainField(separator);
        if (!kept || (!doubled && after.empty())) return inside;
        std::string& field = unescaped_.emplace_back();
        for (std::size_t k = 0; k < inside.size(); ++k) {
            field += inside[k];
            if (inside[k] == kQuote) ++k; // the second quote of a pair
        }
        field += after;
        return field;
    }

    std::string_view text_;
    std::size_t position_ = 0;
    std::deque<std::string> unescaped_; // fields of the current line that could not stay views
};

} // namespace

TelemetryFile::Contents readCSV(std::string_view text) {
    Records lines(text);
    const char separator = lines.separatorOfFirstLine();
    detail::MemoryBudget budget;
    std::vector<std::string_view> fields;
    if (!lines.next(separator, fields, std::string_view::npos, &budget)) throw ImportError::noHeaders();
    std::vector<std::string> names;
    for (const auto field : fields) {
        const auto name = text::trimSpacesAndTabs(field);
        budget.take(sizeof(std::string) + detail::allocated(name.size() + 1));
        names.emplace_back(name);
    }
    if (names.size() < 2) throw ImportError::noHeaders();
    const auto mapping = mapColumns(names);
    if (!mapping.time) throw ImportError::noTimeColumn(names);
    detail::traceLeftOut(names, mapping);

    // A line's fields past the last column read are not kept.
    std::size_t keep = *mapping.time + 1;
    for (const auto& channel : mapping.channels) keep = std::max(keep, channel.column + 1);
    detail::Collected collected(budget);
    detail::DayCount days;
    while (lines.next(separator, fields, keep)) {
        if (*mapping.time >= fields.size()) continue;
        const auto time = readTime(fields[*mapping.time]);
        if (!time) continue;
        Values values;
        values.reserve(mapping.channels.size());
        for (const auto& channel : mapping.channels) {
            values.push_back(channel.column < fields.size() ? number(fields[channel.column]) : std::nullopt);
        }
        collected.add(days.seconds(*time), std::move(values));
    }
    return collected.assembled(mapping.channels, names[*mapping.time]);
}

} // namespace veq::LogImporter
