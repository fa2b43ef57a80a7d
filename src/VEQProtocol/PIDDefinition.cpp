#include "VEQProtocol/PIDDefinition.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace veq {

namespace {

// Most rows need a handful of bytes: keep them on the stack. The unused slots hold NaN so that
// a formula reaching past its row's byte count yields no reading instead of a made-up value.
constexpr std::size_t kInlineBytes = 16;

template <class Use>
auto withOperands(std::span<const std::uint8_t> data, std::size_t count, Use&& use) {
    if (count <= kInlineBytes) {
        std::array<double, kInlineBytes> operands;
        operands.fill(std::numeric_limits<double>::quiet_NaN());
        for (std::size_t i = 0; i < count; ++i) operands[i] = data[i];
        return use(std::span<const double>(operands.data(), count));
    }
    const std::vector<double> operands(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(count));
    return use(std::span<const double>(operands));
}

std::size_t operandCount(int bytes) { return static_cast<std::size_t>(std::max(bytes, 0)); }

} // namespace

PIDDefinition PIDDefinition::scalar(std::uint8_t pid, std::string name, int bytes, MeasurementUnit unit,
                                    std::optional<ClosedRange> range, std::optional<ClosedRange> plausible,
                                    Formula formula) {
    const std::size_t count = operandCount(bytes);
    Decoder decode = [count, formula = std::move(formula), plausible,
                      unit](std::span<const std::uint8_t> data) -> std::optional<PIDReading> {
        if (data.size() < count) return std::nullopt;
        const double v = withOperands(data, count, formula);
        if (!std::isfinite(v)) return std::nullopt;
        if (plausible && !plausible->contains(v)) return std::nullopt;
        return PIDReading::measurement(v, unit);
    };
    return {OBDMode::currentData, pid, std::move(name), bytes, std::move(unit), range, plausible, std::move(decode)};
}

PIDDefinition PIDDefinition::multi(std::uint8_t pid, std::string name, int bytes, MeasurementUnit unit,
                                   MultiFormula formula) {
    const std::size_t count = operandCount(bytes);
    Decoder decode = [count, formula = std::move(formula),
                      unit](std::span<const std::uint8_t> data) -> std::optional<PIDReading> {
        if (data.size() < count) return std::nullopt;
        return PIDReading::measurements(withOperands(data, count, formula), unit);
    };
    return {OBDMode::currentData, pid, std::move(name), bytes, std::move(unit), std::nullopt, std::nullopt,
            std::move(decode)};
}

} // namespace veq
