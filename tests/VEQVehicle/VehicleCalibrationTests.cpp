// The user's measurement corrections and their coded form.
#include "VEQVehicle/JSONDecoding.hpp"
#include "VEQVehicle/VehicleCalibration.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace veq;
using Json = nlohmann::json;

TEST(VehicleCalibrationTests, PresetsHoldTheirFigures) {
    EXPECT_EQ(VehicleCalibration::none, (VehicleCalibration{1.0, std::nullopt, 1.0, 0.0}));
    EXPECT_EQ(VehicleCalibration::matchDashboard, (VehicleCalibration{1.06, std::nullopt, 1.0, 0.0}));
    EXPECT_EQ(VehicleCalibration{}, VehicleCalibration::none);
    EXPECT_NE((VehicleCalibration{1.0, 60.0, 1.0, 0.0}), VehicleCalibration::none);
    EXPECT_NE((VehicleCalibration{1.0, 60.0, 1.0, 0.0}), (VehicleCalibration{1.0, 61.0, 1.0, 0.0}));
}

TEST(VehicleCalibrationTests, ApplyCorrectsOnlyItsParameters) {
    const VehicleCalibration custom{1.1, 45.0, 0.9, -3.0};
    struct Case { VehicleCalibration calibration; double value; std::uint8_t pid; double expected; };
    const Case cases[] = {
        {VehicleCalibration::matchDashboard, 100, 0x0D, 106},
        {VehicleCalibration::none, 100, 0x0D, 100},
        {custom, 50, 0x2F, 45},
        {custom, 90, 0x5C, 87},
        {custom, 90, 0x05, 87},
        {custom, 30, 0x0F, 27},
        {custom, 12, 0x46, 9},
        {custom, 100, 0x0D, 110},
        {custom, 3000, 0x0C, 3000},   // engine speed: never corrected
        {custom, 45, 0x2E, 45},       // neighbours of the corrected parameters
        {custom, 45, 0x30, 45},
        {custom, 80, 0x0E, 80},
        {custom, 20, 0x5B, 20},
        {custom, 20, 0x5D, 20},
        {custom, -40, 0x05, -43},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.calibration.apply(c.value, c.pid), c.expected, 1e-9) << "pid " << int(c.pid);
    }
}

TEST(VehicleCalibrationTests, OnlyCorrectionsMakeItActive) {
    struct Case { VehicleCalibration calibration; bool expected; };
    const Case cases[] = {
        {VehicleCalibration::none, false},
        {{1.0, 60.0, 1.0, 0.0}, false}, // a tank capacity alone corrects no measurement
        {VehicleCalibration::matchDashboard, true},
        {{1.0, std::nullopt, 0.95, 0.0}, true},
        {{1.0, std::nullopt, 1.0, -2.0}, true},
        {{1.0, std::nullopt, 1.0, -0.0}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.calibration.isActive(), c.expected);
}

TEST(VehicleCalibrationTests, SpeedFactorFromTwoReadings) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case { double dashboard; double app; std::optional<double> expected; };
    const Case cases[] = {
        {106, 100, 1.06},
        {120, 100, 1.2},  // bounds included
        {80, 100, 0.8},
        {121, 100, std::nullopt},
        {79, 100, std::nullopt},
        {5, 100, std::nullopt},  // both readings must exceed 5 km/h
        {100, 5, std::nullopt},
        {5.5, 5.5, 1.0},
        {-50, -50, std::nullopt},
        {nan, 100, std::nullopt},
        {100, nan, std::nullopt},
        {inf, 100, std::nullopt},
        {100, inf, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VehicleCalibration::speedFactorFrom(c.dashboard, c.app), c.expected)
            << c.dashboard << " / " << c.app;
    }
}

TEST(VehicleCalibrationTests, DecodesTheCodedForm) {
    struct Case { const char* text; std::optional<VehicleCalibration> expected; };
    const Case cases[] = {
        {R"({"speedFactor": 1.06, "fuelLevelFactor": 1, "temperatureOffsetC": 0})", VehicleCalibration::matchDashboard},
        {R"({"speedFactor": 1, "tankCapacityL": 60, "fuelLevelFactor": 0.9, "temperatureOffsetC": -3})",
         VehicleCalibration{1.0, 60.0, 0.9, -3.0}},
        {R"({"speedFactor": 1, "tankCapacityL": null, "fuelLevelFactor": 1, "temperatureOffsetC": 0, "x": true})",
         VehicleCalibration::none},
        {R"({"speedFactor": 1, "fuelLevelFactor": 1})", std::nullopt},                       // offset missing
        {R"({"fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},                // factor missing
        {R"({"speedFactor": null, "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"({"speedFactor": "1.06", "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"({"speedFactor": true, "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"({"speedFactor": 1, "tankCapacityL": "60", "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"({"speedFactor": 1, "tankCapacityL": false, "fuelLevelFactor": 1, "temperatureOffsetC": 0})", std::nullopt},
        {R"([1.06, 1, 0])", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto j = Json::parse(c.text);
        if (c.expected) {
            EXPECT_EQ(j.get<VehicleCalibration>(), *c.expected) << c.text;
        } else {
            EXPECT_THROW(j.get<VehicleCalibration>(), JSONDecodingError) << c.text;
        }
    }
}

TEST(VehicleCalibrationTests, EncodesInFieldOrderAndRoundTrips) {
    const nlohmann::ordered_json none = VehicleCalibration::none;
    EXPECT_EQ(none.dump(), R"({"speedFactor":1.0,"fuelLevelFactor":1.0,"temperatureOffsetC":0.0})");

    const VehicleCalibration full{1.06, 55.5, 0.9, -2.5};
    const nlohmann::ordered_json ordered = full;
    EXPECT_EQ(ordered.dump(),
              R"({"speedFactor":1.06,"tankCapacityL":55.5,"fuelLevelFactor":0.9,"temperatureOffsetC":-2.5})");
    EXPECT_EQ(ordered.get<VehicleCalibration>(), full);
    EXPECT_EQ(Json(full).get<VehicleCalibration>(), full);
    EXPECT_EQ(Json(VehicleCalibration::none).size(), 3u);
}
