// JSON logs, read as a stream of parser events: only the records being built are held, never a
// document of the whole file, and nesting deeper than any log needs is refused.
#include "VEQStore/Import/LogImporter.hpp"

#include "VEQStore/Export/ExportText.hpp"
#include "VEQStore/Import/LogImporterDrive.hpp"
#include "VEQSupport/ISO8601.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <unordered_map>
#include <variant>

namespace veq::LogImporter {

namespace {

using detail::Values;
using Json = nlohmann::json;

constexpr std::string_view kUnreadableJSON = "lecture impossible";
// A log needs four levels (object, list, row, value); a value nested in a row is ignored.
constexpr std::size_t kMaxDepth = 64;

constexpr std::string_view kChannelsKey = "channels";
constexpr std::string_view kSamplesKey = "samples";
constexpr std::string_view kNameKey = "name";
constexpr std::string_view kStartDateKey = "startDate";
// Keys that may hold the rows of a JSON object, in the order they are preferred.
constexpr std::array<std::string_view, 5> kRowKeys = {"records", "data", "rows", "log", "samples"};

// A scalar as a row or sample holds it: a number, a text, or anything else (null, true, a list).
using Scalar = std::variant<std::monostate, double, std::string_view>;
using OwnedScalar = std::variant<std::monostate, double, std::string>;

std::optional<float> floatOf(double value) {
    if (!std::isfinite(value) || std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

// A channel value: a number as it is, a text read for the number in it, anything else missing.
std::optional<float> channelValue(const Scalar& value) {
    if (const auto* n = std::get_if<double>(&value)) return floatOf(*n);
    if (const auto* s = std::get_if<std::string_view>(&value)) return number(*s);
    return std::nullopt;
}

// A row's time: a number in seconds (or milliseconds since 1970), a text read as a time.
std::optional<LogTime> rowTime(const Scalar& value) {
    if (const auto* n = std::get_if<double>(&value)) {
        if (const auto seconds = numericTime(*n)) return LogTime{*seconds, false};
        return std::nullopt;
    }
    if (const auto* s = std::get_if<std::string_view>(&value)) return readTime(*s);
    return std::nullopt;
}

// A sample's time: a number, or a text that is a decimal number as a whole (never a date).
std::optional<double> sampleTime(const Scalar& value) {
    if (const auto* n = std::get_if<double>(&value)) return numericTime(*n);
    if (const auto* s = std::get_if<std::string_view>(&value)) {
        if (const auto v = exporttext::readDouble(*s)) return numericTime(*v);
    }
    return std::nullopt;
}

Scalar viewOf(const OwnedScalar& value) {
    if (const auto* n = std::get_if<double>(&value)) return *n;
    if (const auto* s = std::get_if<std::string>(&value)) return std::string_view(*s);
    return std::monostate{};
}

// Memory a hash-table entry takes beside its key (node links, hash, bucket), for the budget.
constexpr std::size_t kIndexEntryBytes = 64;

// Memory a held text takes, for the budget.
std::size_t textBytes(std::size_t length) { return sizeof(std::string) + detail::allocated(length + 1); }

// A list of row objects: the top-level array, or the array under one of the row keys. The first
// row names the columns; later rows keep only their time and mapped values.
class RowList {
public:
    explicit RowList(detail::MemoryBudget& budget) : budget_(&budget), collected_(budget) {}
    ~RowList() { release(); }
    RowList(const RowList&) = delete;
    RowList& operator=(const RowList&) = delete;

    bool seen = false;       // the key held a list
    bool onlyObjects = true; // every element so far was an object
    bool closed = false;     // the whole list has been read

    // Forgets the list: its key is given again.
    void reset() {
        release();
        seen = false;
        onlyObjects = true;
        closed = false;
        collecting_ = true;
        days_ = {};
        rows_ = 0;
        error_.reset();
    }

    // Stops collecting: the list cannot be the one read (another is, or this one holds
    // something else than objects).
    void drop() {
        collecting_ = false;
        release();
    }

    void notAnObject() {
        onlyObjects = false;
        drop();
    }

    void startRow() {
        rowTime_.reset();
        std::fill(rowValues_.begin(), rowValues_.end(), std::nullopt);
    }

    void value(const std::string& key, const Scalar& value) {
        if (!collecting_ || error_) return;
        if (!mapping_) {
            keepFirst(key, value);
            return;
        }
        if (key == firstKeys_[*mapping_->time]) rowTime_ = rowTime(value);
        for (std::size_t k = 0; k < mapping_->channels.size(); ++k) {
            if (key == firstKeys_[mapping_->channels[k].column]) rowValues_[k] = channelValue(value);
        }
    }

    void endRow() {
        ++rows_;
        if (!collecting_ || error_) return;
        if (!mapping_) {
            mapFirstRow();
            if (error_) return;
            startRow();
            for (std::size_t i = 0; i < firstKeys_.size(); ++i) value(firstKeys_[i], viewOf(firstValues_[i]));
            firstValues_ = {}; // the keys stay: they name the time and the channels
            firstIndex_ = {};
        }
        if (!rowTime_ || !*rowTime_) return; // no time key, or a time that cannot be read
        collected_.add(days_.seconds(**rowTime_), rowValues_);
    }

    TelemetryFile::Contents drive() {
        if (rows_ == 0) throw ImportError::noSamples();
        if (error_) throw *error_;
        return collected_.assembled(mapping_->channels, firstKeys_[*mapping_->time]);
    }

private:
    void keepFirst(const std::string& key, const Scalar& value) {
        OwnedScalar owned;
        if (const auto* n = std::get_if<double>(&value)) owned = *n;
        if (const auto* s = std::get_if<std::string_view>(&value)) {
            charge(textBytes(s->size()));
            owned = std::string(*s);
        }
        // Looked up by hash: a first row of countless keys must not cost their square.
        const auto known = firstIndex_.find(key);
        if (known != firstIndex_.end()) { // a repeated key: the last value wins
            firstValues_[known->second] = std::move(owned);
            return;
        }
        charge(2 * textBytes(key.size()) + sizeof(OwnedScalar) + kIndexEntryBytes);
        firstIndex_.emplace(key, firstKeys_.size());
        firstKeys_.push_back(key);
        firstValues_.push_back(std::move(owned));
    }

    void mapFirstRow() {
        mapping_ = mapColumns(firstKeys_);
        if (!mapping_->time) {
            error_ = ImportError::noTimeColumn(firstKeys_);
            return;
        }
        detail::traceLeftOut(firstKeys_, *mapping_);
        rowValues_.assign(mapping_->channels.size(), std::nullopt);
    }

    void charge(std::size_t bytes) {
        budget_->take(bytes);
        heldBytes_ += bytes;
    }

    void release() {
        collected_.clear();
        budget_->giveBack(heldBytes_);
        heldBytes_ = 0;
        firstKeys_ = {};
        firstValues_ = {};
        firstIndex_ = {};
        mapping_.reset();
        rowTime_.reset();
        rowValues_ = {};
    }

    detail::MemoryBudget* budget_;
    detail::Collected collected_;
    detail::DayCount days_;
    bool collecting_ = true;
    std::size_t rows_ = 0;
    std::vector<std::string> firstKeys_;
    std::vector<OwnedScalar> firstValues_;
    std::unordered_map<std::string, std::size_t> firstIndex_; // key -> its place in firstKeys_
    std::size_t heldBytes_ = 0;
    std::optional<ColumnMapping> mapping_;
    std::optional<ImportError> error_;
    std::optional<std::optional<LogTime>> rowTime_; // the row's time key: read, or unreadable
    Values rowValues_;
};

// The list under "samples" read as arrays [time, value of channel 1, value of channel 2, ...].
class SampleList {
public:
    explicit SampleList(detail::MemoryBudget& budget) : budget_(&budget), collected_(budget) {}
    ~SampleList() { release(); }
    SampleList(const SampleList&) = delete;
    SampleList& operator=(const SampleList&) = delete;

    bool seen = false;
    bool onlyArrays = true;
    bool closed = false;
    // Where the mapped channels' values stand in a sample (after its time), when the channels
    // came first; otherwise every value is kept until they are known.
    std::optional<std::vector<std::size_t>> positions;

    void reset() {
        release();
        seen = false;
        onlyArrays = true;
        closed = false;
        collecting_ = true;
        positions.reset();
    }

    void drop() {
        collecting_ = false;
        release();
    }

    void notAnArray() {
        onlyArrays = false;
        drop();
    }

    void startSample() {
        index_ = 0;
        time_.reset();
        values_.assign(positions ? positions->size() : 0, std::nullopt);
    }

    void value(const Scalar& value) {
        const std::size_t index = index_++;
        if (!collecting_) return;
        if (index == 0) {
            time_ = sampleTime(value);
            return;
        }
        if (!positions) { // a sample of countless values counts against the budget too
            budget_->take(sizeof(std::optional<float>));
            pendingBytes_ += sizeof(std::optional<float>);
            values_.push_back(channelValue(value));
            return;
        }
        for (std::size_t k = 0; k < positions->size(); ++k) {
            if ((*positions)[k] == index - 1) values_[k] = channelValue(value);
        }
    }

    void endSample() {
        budget_->giveBack(pendingBytes_);
        pendingBytes_ = 0;
        if (!collecting_ || !time_) return;
        collected_.add(*time_, std::move(values_));
        values_ = {};
    }

    TelemetryFile::Contents drive(const std::vector<std::string>& names, std::optional<TelemetryFile::Date> start) {
        const auto mapping = mapColumns(names);
        detail::traceLeftOut(names, mapping);
        if (!positions) {
            std::vector<std::size_t> mapped;
            for (const auto& channel : mapping.channels) mapped.push_back(channel.column);
            collected_.project(mapped);
        }
        return collected_.assembled(mapping.channels, {}, start);
    }

private:
    void release() {
        collected_.clear();
        budget_->giveBack(pendingBytes_);
        pendingBytes_ = 0;
        values_ = {};
    }

    detail::MemoryBudget* budget_;
    detail::Collected collected_;
    bool collecting_ = true;
    std::size_t index_ = 0;
    std::optional<double> time_;
    Values values_;
    std::size_t pendingBytes_ = 0;
};

// The parser's events, turned into the rows or samples of the log.
class LogEvents final : public nlohmann::json_sax<Json> {
public:
    LogEvents() : rootRows_(budget_), samples_(budget_) {
        for (std::size_t k = 0; k < kRowKeys.size(); ++k) keyedRows_.push_back(std::make_unique<RowList>(budget_));
    }
    ~LogEvents() override { clearChannels(); }
    LogEvents(const LogEvents&) = delete;
    LogEvents& operator=(const LogEvents&) = delete;

    bool rootIsContainer() const { return rootIsArray_ || rootIsObject_; }

    // The drive of the list that the log's shape selects (after a successful parse).
    TelemetryFile::Contents drive() {
        if (rootIsArray_) {
            if (!rootRows_.onlyObjects) throw ImportError::noSamples();
            return rootRows_.drive();
        }
        if (channelsSeen_ && channelsOnlyObjects_ && samples_.seen && samples_.onlyArrays) {
            return samples_.drive(channelNames_, startDate_);
        }
        for (auto& rows : keyedRows_) {
            if (rows->seen && rows->onlyObjects) return rows->drive();
        }
        throw ImportError::noSamples();
    }

    // ---- parser events; returning false stops the parser

    bool null() override { return scalar(std::monostate{}); }
    bool boolean(bool) override { return scalar(std::monostate{}); }
    bool number_integer(number_integer_t v) override { return scalar(static_cast<double>(v)); }
    bool number_unsigned(number_unsigned_t v) override { return scalar(static_cast<double>(v)); }
    bool number_float(number_float_t v, const string_t&) override { return scalar(v); }
    bool string(string_t& v) override { return scalar(std::string_view(v)); }
    bool binary(binary_t&) override { return scalar(std::monostate{}); }

    bool key(string_t& k) override {
        frames_.back().key = k;
        return true;
    }

    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    enum class Role {
        ignored,     // content that no log reading needs
        rootObject,
        rootRows,    // the top-level array
        channelList, // "channels"
        channel,     // one object of "channels"
        sampleList,  // "samples": arrays, or row objects
        rowList,     // "records", "data", "rows", "log" (or "samples")
        sample,      // one array of "samples"
        row,         // one object of a row list
    };

    struct Frame {
        Frame(Role r, RowList* list = nullptr) : role(r), rows(list) {}

        Role role;
        RowList* rows;   // the list of a rowList or row frame
        std::string key; // in an object, the key of the value being read
    };

    static constexpr std::size_t kSamplesRank = kRowKeys.size() - 1;

    bool scalar(const Scalar& value) {
        if (frames_.empty()) return true; // a bare value at the top: refused after parsing
        const Frame& top = frames_.back();
        switch (top.role) {
        case Role::row: top.rows->value(top.key, value); break;
        case Role::sample: samples_.value(value); break;
        case Role::channel:
            if (top.key == kNameKey) {
                const auto* name = std::get_if<std::string_view>(&value);
                nameChannel(name ? *name : std::string_view());
            }
            break;
        case Role::rootObject: notAList(top.key, value); break;
        case Role::rootRows: rootRows_.notAnObject(); break;
        case Role::channelList: channelsNotObjects(); break;
        case Role::sampleList: samplesNeitherShape(); break;
        case Role::rowList: top.rows->notAnObject(); break;
        case Role::ignored: break;
        }
        return true;
    }

    bool open(bool object) {
        if (frames_.size() >= kMaxDepth) return false;
        if (frames_.empty()) {
            rootIsObject_ = object;
            rootIsArray_ = !object;
            rootRows_.seen = !object;
            frames_.push_back({object ? Role::rootObject : Role::rootRows});
            return true;
        }
        Frame child{Role::ignored};
        Frame& parent = frames_.back();
        switch (parent.role) {
        case Role::row:
        case Role::sample:
        case Role::channel: scalar(std::monostate{}); break; // a nested value is "anything else"
        case Role::rootObject: child = underKey(parent.key, object); break;
        case Role::rootRows:
            if (object) child = startRow(&rootRows_);
            else rootRows_.notAnObject();
            break;
        case Role::channelList:
            if (object) {
                nameChannel({}, true);
                child.role = Role::channel;
            } else {
                channelsNotObjects();
            }
            break;
        case Role::sampleList:
            if (object) {
                samples_.notAnArray();
                child = startRow(keyedRows_[kSamplesRank].get());
            } else {
                keyedRows_[kSamplesRank]->notAnObject();
                samples_.startSample();
                child.role = Role::sample;
            }
            break;
        case Role::rowList:
            if (object) child = startRow(parent.rows);
            else parent.rows->notAnObject();
            break;
        case Role::ignored: break;
        }
        frames_.push_back(std::move(child));
        return true;
    }

    bool close() {
        const Frame frame = std::move(frames_.back());
        frames_.pop_back();
        switch (frame.role) {
        case Role::row: frame.rows->endRow(); break;
        case Role::sample: samples_.endSample(); break;
        case Role::rowList:
            frame.rows->closed = true;
            if (frame.rows->onlyObjects) dropRowsAfter(frame.rows);
            break;
        case Role::sampleList:
            samples_.closed = true;
            keyedRows_[kSamplesRank]->closed = true;
            if (samplesOfChannelsRead()) dropRowsAfter(nullptr);
            break;
        case Role::channelList:
            channelsClosed_ = true;
            if (samplesOfChannelsRead()) dropRowsAfter(nullptr);
            break;
        default: break;
        }
        return true;
    }

    Frame startRow(RowList* rows) {
        rows->startRow();
        return {Role::row, rows};
    }

    // A list (or anything else) opened as the value of a top-level key.
    Frame underKey(const std::string& key, bool object) {
        if (object) {
            notAList(key, std::monostate{});
            return {Role::ignored};
        }
        if (key == kStartDateKey) startDate_.reset();
        if (key == kChannelsKey) {
            // Samples already mapped by channels given before are no longer theirs.
            if (channelsSeen_ && samples_.seen) samples_.drop();
            clearChannels();
            channelsSeen_ = true;
            channelsOnlyObjects_ = true;
            channelsClosed_ = false;
            return {Role::channelList};
        }
        if (key == kSamplesKey) {
            samples_.reset();
            samples_.seen = true;
            if (channelsClosed_ && channelsOnlyObjects_) samples_.positions = mappedPositions();
            if (channelsSeen_ && !channelsOnlyObjects_) samples_.drop();
            beginRows(kSamplesRank);
            return {Role::sampleList, keyedRows_[kSamplesRank].get()};
        }
        if (const auto rank = rankOf(key)) {
            beginRows(*rank);
            return {Role::rowList, keyedRows_[*rank].get()};
        }
        return {Role::ignored};
    }

    // A top-level key that holds something else than a list no longer holds the list it held.
    void notAList(const std::string& key, const Scalar& value) {
        if (key == kStartDateKey) {
            const auto* text = std::get_if<std::string_view>(&value);
            startDate_ = text ? iso8601::parse(*text) : std::nullopt;
            return;
        }
        if (key == kChannelsKey) {
            clearChannels();
            channelsSeen_ = channelsClosed_ = true;
            channelsNotObjects();
        }
        if (key == kSamplesKey) samples_.reset();
        if (const auto rank = rankOf(key)) keyedRows_[*rank]->reset();
    }

    static std::optional<std::size_t> rankOf(std::string_view key) {
        const auto found = std::find(kRowKeys.begin(), kRowKeys.end(), key);
        if (found == kRowKeys.end()) return std::nullopt;
        return static_cast<std::size_t>(found - kRowKeys.begin());
    }

    // A row list starts afresh (a repeated key replaces the list before it); it is not kept when
    // a list preferred to it has been read whole already.
    void beginRows(std::size_t rank) {
        RowList& rows = *keyedRows_[rank];
        rows.reset();
        rows.seen = true;
        for (std::size_t better = 0; better < rank; ++better) {
            const RowList& other = *keyedRows_[better];
            if (other.seen && other.onlyObjects && other.closed) rows.drop();
        }
        if (samplesOfChannelsRead()) rows.drop();
    }

    // Once a list is known to be the one read, the lists after it in preference hold nothing more.
    void dropRowsAfter(const RowList* read) {
        bool after = read == nullptr;
        for (auto& rows : keyedRows_) {
            if (after) rows->drop();
            if (rows.get() == read) after = true;
        }
    }

    bool samplesOfChannelsRead() const {
        return channelsClosed_ && channelsOnlyObjects_ && samples_.seen && samples_.closed && samples_.onlyArrays;
    }

    void samplesNeitherShape() {
        samples_.notAnArray();
        keyedRows_[kSamplesRank]->notAnObject();
    }

    void channelsNotObjects() {
        channelsOnlyObjects_ = false;
        samples_.drop();
    }

    // A new channel (`added`), or the name of the last one.
    void nameChannel(std::string_view name, bool added = false) {
        if (added) channelNames_.emplace_back();
        const std::size_t bytes = textBytes(name.size());
        budget_.take(bytes);
        channelBytes_ += bytes;
        channelNames_.back() = std::string(name);
    }

    void clearChannels() {
        budget_.giveBack(channelBytes_);
        channelBytes_ = 0;
        channelNames_.clear();
    }

    std::vector<std::size_t> mappedPositions() const {
        std::vector<std::size_t> positions;
        for (const auto& channel : mapColumns(channelNames_).channels) positions.push_back(channel.column);
        return positions;
    }

    detail::MemoryBudget budget_;
    std::vector<Frame> frames_;
    bool rootIsObject_ = false;
    bool rootIsArray_ = false;
    RowList rootRows_;
    std::vector<std::unique_ptr<RowList>> keyedRows_; // in the order of kRowKeys
    bool channelsSeen_ = false;
    bool channelsOnlyObjects_ = false;
    bool channelsClosed_ = false;
    std::vector<std::string> channelNames_;
    std::size_t channelBytes_ = 0;
    SampleList samples_;
    std::optional<TelemetryFile::Date> startDate_;
};

} // namespace

TelemetryFile::Contents readJSON(std::string_view text) {
    LogEvents events;
    // Only an object or an array is a log; a bare value at the top is refused like broken JSON.
    if (!Json::sax_parse(text.begin(), text.end(), &events) || !events.rootIsContainer()) {
        throw ImportError::invalidJSON(std::string(kUnreadableJSON));
    }
    return events.drive();
}

} // namespace veq::LogImporter
