// The user's measurement corrections and their coded form.
#include "VEQVehicle/JSONDecoding.hpp"
#include "VEQVehicle/VehicleCalibration.hpp"

#include <gtest/gtest.h>

#include <limits>

using namespace veq;
using Json = nlohmann::json;

TEST(VehicleCalibrationTests, ApplyCorrectsOnlyItsParameters) {
    const VehicleCalibration custom{1.1, 45.0, 0.9, -3.0};
    const std::tuple<std::uint8_t, double, double> cases[] = {
        {0x0D, 100, 110}, {0x2F, 50, 45},   {0x05, -40, -43}, {0x0F, 30, 27}, {0x46, 12, 9}, {0x5C, 90, 87},
        {0x0C, 3000, 3000}, // engine speed: never corrected
        {0x2E, 45, 45},     {0x30, 45, 45}, {0x0E, 80, 80},   {0x5B, 20, 20}, {0x5D, 20, 20}, // neighbours
    };
    for (const auto& [pid, value, expected] : cases) EXPECT_NEAR(custom.apply(value, pid), expected, 1e-9) << int(pid);
    EXPECT_EQ(VehicleCalibration::matchDashboard.apply(100, 0x0D), 106);
}

TEST(VehicleCalibrationTests, OnlyCorrectionsMakeItActive) {
    EXPECT_FALSE(VehicleCalibration::none.isActive());
    EXPECT_FALSE((VehicleCalibration{1.0, 60.0, 1.0, -0.0}).isActive()); // a tank capacity alone corrects nothing
    EXPECT_TRUE(VehicleCalibration::matchDashboard.isActive());
    EXPECT_TRUE((VehicleCalibration{1.0, std::nullopt, 0.95, 0.0}).isActive());
    EXPECT_TRUE((VehicleCalibration{1.0, std::nullopt, 1.0, -2.0}).isActive());
}

TEST(VehicleCalibrationTests, SpeedFactorFromTwoReadings) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::tuple<double, double, std::optional<double>> cases[] = { // dashboard, app, factor
        {106, 100, 1.06}, {120, 100, 1.2}, {80, 100, 0.8}, // bounds included
        {121, 100, std::nullopt}, {79, 100, std::nullopt},
        {5, 100, std::nullopt},   {100, 5, std::nullopt}, {5.5, 5.5, 1.0}, // both readings must exceed 5 km/h
        {nan, 100, std::nullopt}, {100, nan, std::nullopt}, {inf, 100, std::nullopt}, {100, inf, std::nullopt},
    };
    for (const auto& [dashboard, app, factor] : cases)
        EXPECT_EQ(VehicleCalibration::speedFactorFrom(dashboard, app), factor) << dashboard << " / " << app;
}

TEST(VehicleCalibrationTests, CodedForm) {
    const std::pair<const char*, std::optional<VehicleCalibration>> cases[] = {
        {R"({"speedFactor": 1, "tankCapacityL": 60, "fuelLevelFactor": 0.9, "temperatureOffsetC": -3})", VehicleCalibration{1.0, 60.0, 0.9, -3.0}},
        {R"({"speedFactor": 1, "tankCapacityL": null, "fuelLevelFactor": 1, "temperatureOffsetC": 0, "x": true})", VehicleCalibration::none},
        {R"({"speedFactor": 1, "fuelLevelFactor": 1})", std::nullopt}, // offset missing
        {R"({"speedFactor": null, "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"({"speedFactor": "1.06", "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"({"speedFactor": true, "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"({"speedFactor": 1, "tankCapacityL": false, "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"([1.06, 1, 0])", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        if (expected) {
            EXPECT_EQ(Json::parse(text).get<VehicleCalibration>(), *expected) << text;
        } else {
            EXPECT_THROW(Json::parse(text).get<VehicleCalibration>(), JSONDecodingError) << text;
        }
    }
    const nlohmann::ordered_json none = VehicleCalibration::none; // field order, absent tank left out
    EXPECT_EQ(none.dump(), R"({"speedFactor":1.0,"fuelLevelFactor":1.0,"temperatureOffsetC":0.0})");
    const VehicleCalibration full{1.06, 55.5, 0.9, -2.5};
    const nlohmann::ordered_json ordered = full;
    EXPECT_EQ(ordered.dump(), R"({"speedFactor":1.06,"tankCapacityL":55.5,"fuelLevelFactor":0.9,"temperatureOffsetC":-2.5})");
    EXPECT_EQ(ordered.get<VehicleCalibration>(), full);
    EXPECT_EQ(Json(full).get<VehicleCalibration>(), full);
}
