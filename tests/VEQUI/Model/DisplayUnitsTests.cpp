#include "VEQUI/Model/DisplayUnits.hpp"

#include <gtest/gtest.h>

namespace veq {
namespace {

namespace R = DisplayUnits;

TEST(DisplayUnits, UnitLabelsAndValuesFollowTheUnitSystem) {
    struct Case { std::uint8_t pid; const char* metric; const char* imperial; double value; double inImperial; };
    static const Case cases[] = {
        {0x05, "°C", "°F", 100, 212},
        {0x0D, "km/h", "mph", 100, 62.1371192},
        {0x0B, "kPa", "psi", 200, 29.0075476},
        {0x0C, "tr/min", "rpm", 3000, 3000},
        {0x02, "", "", 7, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(R::unitSymbol(c.pid, UnitSystem::metric).toStdString(), c.metric);
        EXPECT_EQ(R::unitSymbol(c.pid, UnitSystem::imperial).toStdString(), c.imperial);
        EXPECT_DOUBLE_EQ(R::inDisplayUnit(c.pid, c.value, UnitSystem::metric), c.value);
        EXPECT_NEAR(R::inDisplayUnit(c.pid, c.value, UnitSystem::imperial), c.inImperial, 1e-6) << int(c.pid);
    }
}

} // namespace
} // namespace veq
