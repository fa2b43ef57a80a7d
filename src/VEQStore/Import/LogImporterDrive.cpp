#include "VEQStore/Import/LogImporterDrive.hpp"

#include "VEQSupport/Error.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

namespace veq::LogImporter::detail {

namespace {

constexpr double kSecondsPerDay = 86'400;
constexpr double kHalfDay = kSecondsPerDay / 2;

} // namespace

std::size_t allocated(std::size_t bytes) {
    if (bytes == 0) return 0;
    return std::max<std::size_t>(32, (bytes + sizeof(std::size_t) + 15) / 16 * 16);
}

std::size_t driveRecordBytes(std::size_t valueCount) {
    // The time and the values while collected, then the record and its place in the sort.
    return sizeof(double) + sizeof(Values) + sizeof(TelemetryFile::Record) + sizeof(std::size_t) +
           allocated(valueCount * sizeof(std::optional<float>));
}

void MemoryBudget::take(std::size_t bytes) {
    if (bytes > left_) {
        throw Error(fmt::format("Import impossible : fichier trop volumineux (le trajet dépasserait {} Mo en mémoire)",
                                limit_ / (1024 * 1024)));
    }
    left_ -= bytes;
}

Collected::Collected(Collected&& other) noexcept
    : budget_(other.budget_), times_(std::move(other.times_)), records_(std::move(other.records_)),
      charged_(std::exchange(other.charged_, 0)) {
    other.times_.clear();
    other.records_.clear();
}

Collected& Collected::operator=(Collected&& other) noexcept {
    if (this != &other) {
        clear();
        budget_ = other.budget_;
        times_ = std::move(other.times_);
        records_ = std::move(other.records_);
        charged_ = std::exchange(other.charged_, 0);
        other.times_.clear();
        other.records_.clear();
    }
    return *this;
}

void Collected::add(double time, Values values) {
    const std::size_t bytes = driveRecordBytes(values.size());
    budget_->take(bytes);
    charged_ += bytes;
    times_.push_back(time);
    records_.push_back(std::move(values));
}

void Collected::clear() {
    budget_->giveBack(charged_);
    charged_ = 0;
    times_ = {};
    records_ = {};
}

TelemetryFile::Contents Collected::assembled(const std::vector<MappedChannel>& channels, const std::string& timeColumn,
                                             std::optional<TelemetryFile::Date> statedStart) {
    auto drive = assemble(times_, std::move(records_), channels, timeColumn, statedStart);
    clear();
    return drive;
}

void Collected::project(const std::vector<std::size_t>& positions) {
    const std::size_t after = driveRecordBytes(positions.size());
    for (auto& values : records_) {
        const std::size_t before = driveRecordBytes(values.size());
        if (after > before) budget_->take(after - before);
        else budget_->giveBack(before - after);
        charged_ = charged_ - before + after;
        Values kept;
        kept.reserve(positions.size());
        for (const auto position : positions) kept.push_back(position < values.size() ? values[position] : std::nullopt);
        values = std::move(kept);
    }
}

double DayCount::seconds(const LogTime& time) {
    if (!time.timeOfDay) return time.seconds;
    if (previous_ && time.seconds < *previous_ - kHalfDay) days_ += 1;
    previous_ = time.seconds;
    return time.seconds + days_ * kSecondsPerDay;
}

} // namespace veq::LogImporter::detail
