#include "VEQStore/Telemetry/EventRecorder.hpp"

#include "VEQProtocol/ChannelRegistry.hpp"
#include "VEQProtocol/GPSChannel.hpp"
#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQStore/Telemetry/Milliseconds.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQSupport/AtomicFile.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <map>

namespace veq {

namespace {

// The capture screen names GPS channels by their GPS name and every other channel as a mode 01
// parameter, so pseudo-channels other than GPS show their number there.
std::string summaryName(std::uint8_t channel) {
    if (const auto gps = GPSChannel::name(channel)) return std::string(*gps);
    if (const auto* definition = PIDCatalog::definition(channel)) return definition->name;
    return fmt::format("PID 0x{:02X}", channel);
}

// Values dated this long after the origin or later are not recorded (their milliseconds would
// not fit the 32-bit times of the file).
constexpr auto recordingSpan = std::chrono::seconds(4'294'967);

// Holds the worker's intake swaps short while values pour in.
constexpr std::size_t intakeReserve = 4096;
constexpr auto consumerInterval = std::chrono::milliseconds(10);

using ChannelSet = std::array<bool, 256>;

// The order in which channels are listed and saved: ordinary channels ascending, then GPS.
std::vector<std::uint8_t> channelOrder(const ChannelSet& present) {
    std::vector<std::uint8_t> order;
    for (int pass = 0; pass < 2; ++pass) {
        for (int c = 0; c < 256; ++c) {
            const auto channel = static_cast<std::uint8_t>(c);
            if (present[channel] && GPSChannel::isGPS(channel) == (pass == 1)) order.push_back(channel);
        }
    }
    return order;
}

const char* saveErrorText(EventRecorder::SaveError::Kind kind) {
    switch (kind) {
    case EventRecorder::SaveError::Kind::noMarks: return "posez d'abord une marque de début et une de fin";
    case EventRecorder::SaveError::Kind::emptyRange: return "aucun échantillon entre les deux marques";
    }
    return "";
}

} // namespace

EventRecorder::SaveError::SaveError(Kind kind) : Error(saveErrorText(kind)), kind_(kind) {}

EventRecorder::EventRecorder(Date origin, std::size_t capacity)
    // Toward the epoch, which never leaves the clock's range.
    : origin_(origin - origin.time_since_epoch() % std::chrono::milliseconds(1)), capacity_(capacity) {
    intake_.reserve(intakeReserve);
    spare_.reserve(intakeReserve);
    consumer_ = std::jthread([this](std::stop_token stop) { consume(std::move(stop)); });
}

EventRecorder::~EventRecorder() {
    consumer_.request_stop();
    if (consumer_.joinable()) consumer_.join();
}

void EventRecorder::record(std::uint8_t channel, float value, Date at) {
    const auto elapsed = elapsedSince(origin_, at);
    if (!elapsed || *elapsed >= recordingSpan) return;
    // Exact half-away-from-zero rounding of a non-negative span below 2^32 ms.
    const auto ns = std::chrono::duration_cast<std::chrono::duration<std::uint64_t, std::nano>>(*elapsed).count();
    const auto ms = static_cast<std::uint32_t>((ns + 500'000) / 1'000'000);
    std::lock_guard lock(intakeMutex_);
    ++yielded_;
    intake_.push_back({ms, channel, value});
}

void EventRecorder::consume(std::stop_token stop) {
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(wakeMutex_);
            wake_.wait_for(lock, stop, consumerInterval, [] { return false; });
        }
        std::lock_guard lock(stateMutex_);
        try {
            takeIntake();
        } catch (const std::exception&) {
            // Out of memory: an exception leaving this thread would end the program and lose
            // every held event; only the batch being moved is given up.
            spare_.clear();
        }
    }
}

void EventRecorder::takeIntake() {
    {
        std::lock_guard lock(intakeMutex_);
        if (intake_.empty()) return;
        intake_.swap(spare_);
    }
    for (const auto& event : spare_) append(event);
    spare_.clear();
}

void EventRecorder::append(const Event& event) {
    const std::size_t before = events_.size();
    events_.push_back(event);
    ++consumed_;
    if (before >= capacity_) {
        // Dropping a quarter at once moves the list once every capacity / 4 events instead of
        // once per event. At least one goes, so the list never outgrows a tiny capacity.
        const std::size_t k = std::max<std::size_t>((before + 1) / 4, 1);
        events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(k));
        droppedForCapacity_ += k;
    }
}

void EventRecorder::drain() {
    std::lock_guard lock(stateMutex_);
    takeIntake();
}

void EventRecorder::markStart(Date at) {
    std::lock_guard lock(stateMutex_);
    startMark_ = millisecondsTruncated(elapsedSince(origin_, at).value_or(ElapsedTicks::zero()));
    endMark_.reset();
}

void EventRecorder::markEnd(Date at) {
    std::lock_guard lock(stateMutex_);
    endMark_ = millisecondsTruncated(elapsedSince(origin_, at).value_or(ElapsedTicks::zero()));
}

void EventRecorder::clearMarks() {
    std::lock_guard lock(stateMutex_);
    startMark_.reset();
    endMark_.reset();
}

EventRecorder::Overview EventRecorder::overview() {
    std::array<std::size_t, 256> counts{};
    std::array<Event, 256> last{};
    std::optional<std::uint32_t> oldestMs;
    Overview overview;
    {
        std::lock_guard lock(stateMutex_);
        takeIntake();
        for (const auto& event : events_) {
            ++counts[event.channel];
            last[event.channel] = event;
            if (!oldestMs || event.ms < *oldestMs) oldestMs = event.ms;
        }
        const auto seconds = [](std::optional<std::uint32_t> mark) -> std::optional<double> {
            if (!mark) return std::nullopt;
            return static_cast<double>(*mark) / 1000.0;
        };
        overview.status = {events_.size(), droppedForCapacity_, seconds(startMark_), seconds(endMark_), 0};
        if (oldestMs) overview.oldest = dateAfterMilliseconds(origin_, *oldestMs);
    }
    ChannelSet present{};
    for (std::size_t c = 0; c < counts.size(); ++c) present[c] = counts[c] > 0;
    overview.status.channelsSeen = static_cast<std::size_t>(std::count(present.begin(), present.end(), true));
    for (const auto channel : channelOrder(present)) {
        overview.channels.push_back({channel, summaryName(channel), counts[channel], last[channel].value,
                                     static_cast<double>(last[channel].ms) / 1000.0, GPSChannel::isGPS(channel)});
    }
    return overview;
}

EventRecorder::Status EventRecorder::status() { return overview().status; }

std::vector<EventRecorder::ChannelSummary> EventRecorder::channelSummaries() { return overview().channels; }

std::optional<EventRecorder::Date> EventRecorder::oldestEventDate() { return overview().oldest; }

std::vector<EventRecorder::Event> EventRecorder::events() {
    std::lock_guard lock(stateMutex_);
    takeIntake();
    return events_;
}

EventRecorder::SavedLog EventRecorder::save(const std::filesystem::path& url, std::uint32_t bucketMs,
                                            const std::optional<std::set<std::uint8_t>>& channels) {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::vector<Event> selected;
    {
        std::lock_guard lock(stateMutex_);
        takeIntake();
        if (!startMark_ || !endMark_ || *endMark_ <= *startMark_) throw SaveError(SaveError::Kind::noMarks);
        start = *startMark_;
        end = *endMark_;
        ChannelSet wanted{};
        if (channels) {
            for (const auto c : *channels) wanted[c] = true;
        } else {
            wanted.fill(true);
        }
        for (const auto& event : events_) {
            if (event.ms >= start && event.ms <= end && wanted[event.channel]) selected.push_back(event);
        }
    }
    if (selected.empty()) throw SaveError(SaveError::Kind::emptyRange);

    ChannelSet present{};
    for (const auto& event : selected) present[event.channel] = true;
    const auto order = channelOrder(present);
    std::array<std::size_t, 256> position{};
    std::vector<TelemetryFile::Channel> fileChannels;
    for (std::size_t i = 0; i < order.size(); ++i) {
        position[order[i]] = i;
        fileChannels.push_back({order[i], ChannelRegistry::name(order[i])});
    }

    // One row per bucket that holds an event; within a bucket the last arrival of a channel wins.
    const std::uint32_t width = std::max<std::uint32_t>(bucketMs, 1);
    std::map<std::uint32_t, std::vector<std::optional<float>>> rows;
    auto row = rows.end();
    for (const auto& event : selected) {
        const std::uint32_t key = (event.ms - start) / width * width;
        if (row == rows.end() || row->first != key) {
            row = rows.try_emplace(key, order.size()).first;
        }
        row->second[position[event.channel]] = event.value;
    }

    // The records count from the start mark, so the header dates them from that moment.
    const Date startDate = dateAfterMilliseconds(origin_, start);
    const auto temporary = temporaryPathBeside(url);
    const auto abandon = [&temporary] {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    };
    try {
        TelemetryFile::Writer writer(temporary, fileChannels, startDate);
        for (const auto& [key, values] : rows) writer.append(key, values);
        writer.close();
        if (writer.failed()) {
            throw Error("Écriture impossible de « " + url.string() +
                        " » : la plage n'a pas pu être enregistrée en entier (disque plein ?)");
        }
    } catch (const Error& error) {
        abandon();
        // The hidden temporary file means nothing to the user: the message names the file asked for.
        std::string message = error.what();
        const std::string hidden = temporary.string();
        for (auto at = message.find(hidden); at != std::string::npos; at = message.find(hidden, at + 1)) {
            message.replace(at, hidden.size(), url.string());
        }
        throw Error(message);
    } catch (...) {
        abandon();
        throw;
    }
    commitTemporaryFile(temporary, url);

    return {url, rows.size(), order.size(), selected.size(), static_cast<double>(end - start) / 1000.0};
}

} // namespace veq
