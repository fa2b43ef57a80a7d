// The application model without a car: defaults, identification, the instruments' figures and
// the session catalogue.
#include "VEQUI/Model/AppModel.hpp"

#include "ModelFixtures.hpp"

#include "VEQEngine/Coding/RecipeCatalog.hpp"
#include "VEQUI/Model/DriveFigures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include "TestSupport/FileSizeLimit.hpp"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace veq;
using namespace veq::testing;
using Access = AppModelTestAccess;

namespace {

constexpr auto none = std::nullopt;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

const std::string w205VIN = "WDD2050081F123456";
const std::string w206VIN = "WDD2060081F123456";

VehicleProfile bundledProfile(const AppModel& model, std::string_view id) {
    for (const auto& p : model.profiles()) {
        if (p.id == id) return p;
    }
    ADD_FAILURE() << "no profile " << id;
    return {};
}

VehicleProfile profileWith(std::optional<double> maxRPM, std::optional<double> redline,
                           std::optional<std::map<std::string, GaugeRange>> ranges = std::nullopt) {
    VehicleProfile p;
    p.id = "test";
    p.maxRPM = maxRPM;
    p.redlineRPM = redline;
    p.gaugeRanges = std::move(ranges);
    return p;
}

DiscoveredECU ecu(std::string tx, std::optional<std::string> partNumber, bool responded = true) {
    return {"ECU", std::move(tx), "7E8", responded, std::move(partNumber), std::nullopt};
}

} // namespace

// The defaults the property table gives a value (containers start empty, flags off, options
// absent: those are left to the types).
TEST(AppModelTests, ANewModelHasTheDefaultsOfThePropertyTableAndItsFolders) {
    ModelRig rig;
    const AppModel& m = *rig.model;
    EXPECT_EQ(m.phase(), AppModel::Phase::disconnected());
    EXPECT_EQ(m.activeLayout(), CockpitLayout::road);
    EXPECT_EQ(m.unitSystem(), UnitSystem::metric);
    EXPECT_EQ(m.gearEstimator().ratios(), (std::vector<double>{5.35, 3.24, 2.25, 1.64, 1.21, 1.00, 0.87, 0.72, 0.60}));
    EXPECT_EQ(std::tuple(m.gearEstimator().finalDrive(), m.gearEstimator().tireCircumference(), m.gearEstimator().tolerance()),
              std::tuple(2.65, 2.0, 0.08));
    EXPECT_EQ(m.profiles(), VehicleProfileCatalog::bundled());
    ASSERT_TRUE(m.selectedProfile());
    EXPECT_EQ(m.selectedProfile()->id, "generic-obd2");
    EXPECT_EQ(m.subtitleOptions(), SubtitleExporter::Options::defaultOptions());
    EXPECT_EQ(m.calibration(), (VehicleCalibration{1.0, none, 1.0, 0.0}));
    EXPECT_EQ(m.transportKind(), TransportKind::simulator);
    EXPECT_EQ(m.wifiHost(), "192.168.0.10");
    EXPECT_EQ(m.wifiPort(), "35000");
    EXPECT_EQ(m.logPhase(), AppModel::LogPhase::idle());
    EXPECT_TRUE(m.recordLocation());
    EXPECT_FALSE(m.writeEnabled() || m.expertAccepted() || m.nightMode() || m.focusMode() || m.sidebarHidden());
    EXPECT_EQ(m.recipes(), RecipeCatalog::bundled());
    EXPECT_FALSE(m.securityRegistry().hasAnyProvider());
    EXPECT_EQ(m.didScanECU(), "7E0");
    EXPECT_EQ(m.accent(), VEQ::accent());
    EXPECT_EQ(AppModel::baselinePIDs, (std::set<std::uint8_t>{0x04, 0x05, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11,
                                                              0x1F, 0x2F, 0x42, 0x46, 0x5C, 0x5E, 0xA4}));
    // Everything the model keeps across launches is in the data folder it was given.
    EXPECT_EQ(rig.model->sessionCatalog().sessionsDirectory(), rig.folder / "Sessions");
    EXPECT_EQ(m.backupStore().storageDirectory(), rig.folder / "Backups");
    EXPECT_TRUE(std::filesystem::is_directory(rig.folder / "Sessions"));
    EXPECT_TRUE(std::filesystem::is_directory(rig.folder / "Backups"));
    EXPECT_TRUE(std::filesystem::is_regular_file(rig.folder / "audit.log"));
}

TEST(AppModelTests, SettersNotifyOnlyOnRealChange) {
    ModelRig rig;
    AppModel& m = *rig.model;
    const std::vector<double> ratios{5.35, 3.24, 2.25, 1.64, 1.21, 1.00, 0.87, 0.72, 0.60};
    SubtitleExporter::Options shifted;
    shifted.offset = 2;
    // Each setter given its default (false), then another value (true), twice.
    const std::tuple<const char*, void (AppModel::*)(), std::function<void(bool)>> cases[] = {
        {"nightMode", &AppModel::nightModeChanged, [&](bool o) { m.setNightMode(o); }},
        {"sidebarHidden", &AppModel::sidebarHiddenChanged, [&](bool o) { m.setSidebarHidden(o); }},
        {"focusMode", &AppModel::focusModeChanged, [&](bool o) { m.setFocusMode(o); }},
        {"activeLayout", &AppModel::activeLayoutChanged,
         [&](bool o) { m.setActiveLayout(o ? CockpitLayout::track : CockpitLayout::road); }},
        {"unitSystem", &AppModel::unitSystemChanged, [&](bool o) { m.setUnitSystem(o ? UnitSystem::imperial : UnitSystem::metric); }},
        {"gearEstimator", &AppModel::gearEstimatorChanged,
         [&](bool o) { m.setGearEstimator(GearEstimator(ratios, o ? 3.07 : 2.65, 2.0, 0.08)); }},
        {"selectedProfile", &AppModel::selectedProfileChanged,
         [&](bool o) { m.setSelectedProfile(o ? bundledProfile(m, "mercedes-w205-diesel") : VehicleProfileCatalog::generic()); }},
        {"subtitleOptions", &AppModel::subtitleOptionsChanged, [&](bool o) { m.setSubtitleOptions(o ? shifted : SubtitleExporter::Options{}); }},
        {"calibration", &AppModel::calibrationChanged,
         [&](bool o) { m.setCalibration(o ? VehicleCalibration::matchDashboard : VehicleCalibration::none); }},
        {"transportKind", &AppModel::transportKindChanged,
         [&](bool o) { m.setTransportKind(o ? TransportKind::wifi : TransportKind::simulator); }},
        {"wifiHost", &AppModel::wifiHostChanged, [&](bool o) { m.setWifiHost(o ? "192.168.4.1" : "192.168.0.10"); }},
        {"wifiPort", &AppModel::wifiPortChanged, [&](bool o) { m.setWifiPort(o ? "23" : "35000"); }},
        {"excludedChannels", &AppModel::excludedChannelsChanged,
         [&](bool o) { m.setExcludedChannels(o ? std::set<std::uint8_t>{0x0C} : std::set<std::uint8_t>{}); }},
        {"recordLocation", &AppModel::recordLocationChanged, [&](bool o) { m.setRecordLocation(!o); }},
        {"writeEnabled", &AppModel::writeEnabledChanged, [&](bool o) { m.setWriteEnabled(o); }},
        {"didScanECU", &AppModel::didScanECUChanged, [&](bool o) { m.setDidScanECU(o ? "7E1" : "7E0"); }},
    };
    for (const auto& [name, signal, set] : cases) {
        QSignalSpy spy(&m, signal);
        set(false);
        EXPECT_EQ(spy.count(), 0) << name;
        set(true);
        set(true);
        EXPECT_EQ(spy.count(), 1) << name;
    }
    EXPECT_EQ(m.accent(), VEQ::nightAccent()); // night mode was switched on above
}

TEST(AppModelTests, IdentificationFromVINAndFuelType) {
    struct Case {
        const char* name;
        std::optional<std::string> vin;
        std::optional<FuelType> fuel;
        const char* profile;
        bool matchedFromVIN;
        bool mismatch;
        std::optional<std::string> make;
    };
    const Case cases[] = {
        {"nothing known", none, none, "generic-obd2", false, false, none},
        {"fuel without VIN", none, FuelType::diesel, "generic-obd2", false, true, none},
        {"VIN without fuel", w205VIN, none, "mercedes-w205-essence", true, false, "Mercedes-Benz"},
        {"VIN and its fuel", w205VIN, FuelType::diesel, "mercedes-w205-diesel", true, false, "Mercedes-Benz"},
        {"VIN and a fuel no candidate has", w205VIN, FuelType::lpg, "generic-obd2", false, true, "Mercedes-Benz"},
        {"profile declaring no fuel", w206VIN, FuelType::diesel, "mercedes-w206", true, false, "Mercedes-Benz"},
        // A car answering "not available" declared no fuel.
        {"VIN, fuel not available", w205VIN, FuelType::notAvailable, "mercedes-w205-essence", true, false,
         "Mercedes-Benz"},
        {"fuel not available alone", none, FuelType::notAvailable, "generic-obd2", false, false, none},
        {"the simulated car", "WDD2571231A123456", FuelType::hybridGasoline, "mercedes-c257-essence", true, false,
         "Mercedes-Benz"},
        // A car that no profile's chassis matches is named by its maker alone, without a fuel mismatch.
        {"model code no profile has", "WDD9990081F123456", FuelType::gasoline, "generic-obd2", false, false,
         "Mercedes-Benz"},
        {"another maker", "WP0ZZZ99ZTS390000", FuelType::gasoline, "generic-obd2", false, false, "Porsche"},
        {"VIN of 16 characters", "WDD205008F123456", FuelType::diesel, "generic-obd2", false, false, "Mercedes-Benz"},
    };
    for (const auto& c : cases) {
        ModelRig rig;
        AppModel& m = *rig.model;
        Access::setVin(m, c.vin);
        Access::setReadFuelType(m, c.fuel);
        m.identifyVehicle();
        ASSERT_TRUE(m.selectedProfile()) << c.name;
        EXPECT_EQ(m.selectedProfile()->id, c.profile) << c.name;
        EXPECT_EQ(m.profileMatchedFromVIN(), c.matchedFromVIN) << c.name;
        EXPECT_EQ(m.profileFuelMismatch(), c.mismatch) << c.name;
        EXPECT_EQ(m.recognisedMake() ? std::optional(m.recognisedMake()->manufacturer) : none, c.make) << c.name;
        EXPECT_EQ(m.readFuelType(), c.fuel) << c.name; // the value read is kept as read
    }
}

TEST(AppModelTests, AProfilePickedByHandIsNoLongerTheVINMatch) {
    ModelRig rig;
    AppModel& m = *rig.model;
    Access::setVin(m, w205VIN);
    m.identifyVehicle();
    ASSERT_TRUE(m.profileMatchedFromVIN());
    const VehicleProfile matched = *m.selectedProfile();

    QSignalSpy matchChanges(&m, &AppModel::profileMatchedFromVINChanged);
    m.setSelectedProfile(matched); // the same profile: nothing changes
    EXPECT_TRUE(m.profileMatchedFromVIN());
    EXPECT_EQ(matchChanges.count(), 0);
    const auto other = std::find_if(m.profiles().begin(), m.profiles().end(),
                                    [&](const VehicleProfile& p) { return p.id != matched.id; });
    ASSERT_NE(other, m.profiles().end());
    m.setSelectedProfile(*other);
    EXPECT_FALSE(m.profileMatchedFromVIN());
    EXPECT_EQ(matchChanges.count(), 1);
    m.setSelectedProfile(matched); // back by hand: still not the VIN's doing
    EXPECT_FALSE(m.profileMatchedFromVIN());

    m.identifyVehicle(); // the next identification matches again
    EXPECT_TRUE(m.profileMatchedFromVIN());
}

TEST(AppModelTests, EngineFamilyFromThePartNumberElseFromTheFuel) {
    struct Case {
        const char* name;
        std::vector<DiscoveredECU> ecus;
        std::optional<FuelType> fuel;
        bool mismatchBefore;
        std::optional<std::string> family;
        bool mismatchAfter;
    };
    const Case cases[] = {
        {"petrol engine, diesel declared", {ecu("7E0", "A2640901200")}, FuelType::diesel, false, "M264", true},
        {"petrol engine, petrol declared", {ecu("7E0", "A2640901200")}, FuelType::gasoline, true, "M264", false},
        {"engine ECU that did not respond", {ecu("7E0", "A2640901200", false)}, FuelType::gasoline, true, "M264", false},
        {"no fuel read keeps the flag", {ecu("7E0", "A6540901200")}, none, true, "OM654", true},
        {"fuel not available keeps the flag", {ecu("7E0", "A6540901200")}, FuelType::notAvailable, true, "OM654", true},
        {"only the first engine ECU counts", {ecu("7E1", "A6540901200"), ecu("7E0", none), ecu("7E0", "A2640901200")},
         FuelType::gasoline, true, "Essence", true},
        {"hybrid diesel by fuel", {ecu("7E1", "A2640901200")}, FuelType::hybridDiesel, false, "Diesel", false},
        {"nothing known", {}, none, false, none, false},
        {"fuel not available names no engine", {}, FuelType::notAvailable, false, none, false},
    };
    for (const auto& c : cases) {
        ModelRig rig;
        AppModel& m = *rig.model;
        Access::setEcus(m, c.ecus);
        Access::setReadFuelType(m, c.fuel);
        Access::setProfileFuelMismatch(m, c.mismatchBefore);
        m.refineEngineIdentification();
        EXPECT_EQ(m.identifiedEngine() ? std::optional(m.identifiedEngine()->family) : none, c.family) << c.name;
        EXPECT_EQ(m.profileFuelMismatch(), c.mismatchAfter) << c.name;
    }

    // The fuel-based family carries the fuel's French label, and replaces any earlier family.
    ModelRig rig;
    AppModel& m = *rig.model;
    Access::setReadFuelType(m, FuelType::hybridDiesel);
    m.refineEngineIdentification();
    EXPECT_EQ(m.identifiedEngine(), EngineIdentifier::fromFuelType("Hybride diesel", true, true));
    Access::setReadFuelType(m, none);
    m.refineEngineIdentification();
    EXPECT_EQ(m.identifiedEngine(), none);
}

TEST(AppModelTests, ScaleFollowsTheSelectedProfileWhenItsValuesMakeAUsableScale) {
    using Ranges = std::map<std::string, GaugeRange>;
    struct Case { const char* name; std::optional<VehicleProfile> profile; std::uint8_t pid; GaugeScale expected; };
    const GaugeScale rpmDefault = GaugeScale::defaultFor(0x0C);
    const GaugeScale coolantDefault = GaugeScale::defaultFor(0x05);
    const GaugeScale oilDefault = GaugeScale::defaultFor(0x5C);
    const Case cases[] = {
        {"red line", profileWith(7000, 6200), 0x0C, {0, 7000, 5800, 6200, 7}},
        {"no red line", profileWith(7000, none), 0x0C, {0, 7000, 6020, 6510, 7}},
        {"6.5 rounds up", profileWith(6500, none), 0x0C, {0, 6500, 0.86 * 6500, 0.93 * 6500, 7}},
        {"7.499 rounds down", profileWith(7499, 7000), 0x0C, {0, 7499, 6600, 7000, 7}},
        {"red line alone", profileWith(none, 6200), 0x0C, rpmDefault},
        {"no profile", none, 0x0C, rpmDefault},
        {"coolant range", profileWith(none, none, Ranges{{"coolantTemp", {40, none, 105.0, none, none}}}), 0x05,
         {40, coolantDefault.max, 105, none, coolantDefault.majorTicks}},
        {"oil range", profileWith(none, none, Ranges{{"oilTemp", {50, {{90, 110}}, 130.0, 140.0, 160.0}}}), 0x5C,
         {50, 160, 130, 140, oilDefault.majorTicks}},
        {"oil range is not the coolant's", profileWith(none, none, Ranges{{"oilTemp", {50, none, none, none, 60.0}}}),
         0x05, coolantDefault},
        {"other parameters keep theirs", profileWith(7000, 6200, Ranges{{"coolantTemp", {0, none, none, none, 10.0}}}),
         0x0D, GaugeScale::defaultFor(0x0D)},
        // Values no dial can draw leave the built-in scale.
        {"fewer than 500 rpm", profileWith(400, none), 0x0C, rpmDefault},
        {"max not finite", profileWith(inf, none), 0x0C, rpmDefault},
        {"max not a number", profileWith(notANumber, none), 0x0C, rpmDefault},
        {"red line not finite", profileWith(7000, inf), 0x0C, rpmDefault},
        {"too large for ticks", profileWith(1e300, none), 0x0C, rpmDefault},
        {"range min above the default max", profileWith(none, none, Ranges{{"coolantTemp", {150, none, none, none, none}}}),
         0x05, coolantDefault},
        {"range max below its min", profileWith(none, none, Ranges{{"oilTemp", {40, none, none, none, 20.0}}}), 0x5C,
         oilDefault},
        {"range warning not finite", profileWith(none, none, Ranges{{"oilTemp", {40, none, notANumber, none, none}}}),
         0x5C, oilDefault},
    };
    const auto near = [](std::optional<double> a, std::optional<double> b) {
        return a.has_value() == b.has_value() && std::abs(a.value_or(0) - b.value_or(0)) < 1e-9;
    };
    ModelRig rig;
    for (const auto& c : cases) {
        rig.model->setSelectedProfile(c.profile);
        const auto got = rig.model->scale(c.pid);
        EXPECT_EQ(std::tuple(got.min, got.max, got.majorTicks), std::tuple(c.expected.min, c.expected.max, c.expected.majorTicks))
            << c.name;
        EXPECT_TRUE(near(got.warn, c.expected.warn) && near(got.critical, c.expected.critical)) << c.name;
    }
}

TEST(AppModelTests, DisplayValuesApplyTheCalibrationInMetricUnits) {
    ModelRig rig;
    AppModel& m = *rig.model;
    m.setCalibration({1.06, none, 0.9, -2.0});
    m.setUnitSystem(UnitSystem::imperial); // plays no part here
    EXPECT_EQ(m.displayValue(0x0D), none);
    const std::tuple<std::uint8_t, double, double> cases[] = {
        {0x0D, 100, 106}, {0x05, 90, 88},  {0x0F, 20, 18}, {0x46, 15, 13}, {0x5C, 100, 98},
        {0x2F, 50, 45},   {0x0C, 3000, 3000}, {0x11, 40, 40},
    };
    for (const auto& [pid, raw, shown] : cases) {
        m.store().ingest(measured(pid, raw, at(0)));
        ASSERT_TRUE(m.displayValue(pid)) << int(pid);
        EXPECT_NEAR(*m.displayValue(pid), shown, 1e-9) << int(pid);
    }
}

TEST(AppModelTests, FuelLeftFromLevelAndTheTankOfCalibrationOrProfile) {
    ModelRig rig;
    AppModel& m = *rig.model;
    EXPECT_EQ(m.effectiveTankCapacity(), none); // the generic profile has no tank
    m.store().ingest(measured(0x2F, 50, at(0)));
    EXPECT_EQ(m.fuelLiters(), none);

    m.setSelectedProfile(bundledProfile(m, "mercedes-w205-essence")); // 66 L
    EXPECT_EQ(m.effectiveTankCapacity(), 66.0);
    EXPECT_DOUBLE_EQ(*m.fuelLiters(), 33.0);
    m.setCalibration({1.0, 60.0, 1.0, 0.0});
    EXPECT_EQ(m.effectiveTankCapacity(), 60.0);
    EXPECT_DOUBLE_EQ(*m.fuelLiters(), 30.0);
    m.setCalibration({1.0, 60.0, 0.9, 0.0});
    EXPECT_DOUBLE_EQ(*m.fuelLiters(), 27.0);
    m.setSelectedProfile(none);
    EXPECT_EQ(m.effectiveTankCapacity(), 60.0);

    ModelRig empty;
    empty.model->setSelectedProfile(bundledProfile(*empty.model, "mercedes-w205-essence"));
    EXPECT_EQ(empty.model->fuelLiters(), none); // no level yet
}

TEST(AppModelTests, VehicleLabelNamesTheProfileElseTheMakerAndFuel) {
    ModelRig rig;
    AppModel& m = *rig.model;
    const WMIRegistry::Make mercedes{"Mercedes-Benz", "Allemagne"};
    struct Case {
        bool genericProfile;
        std::optional<WMIRegistry::Make> make;
        std::optional<FuelType> fuel;
        const char* label;
    };
    const Case cases[] = {
        {true, none, FuelType::diesel, "Véhicule non identifié — Diesel"},
        {true, none, none, "Véhicule non identifié"},
        {true, mercedes, FuelType::gasoline, "Mercedes-Benz — Essence"},
        {false, mercedes, none, "Mercedes-Benz"},
        {false, none, FuelType::hybridGasoline, "Véhicule non identifié — Hybride essence"},
    };
    for (const auto& c : cases) {
        m.setSelectedProfile(c.genericProfile ? VehicleProfileCatalog::generic() : std::nullopt);
        Access::setRecognisedMake(m, c.make);
        Access::setReadFuelType(m, c.fuel);
        EXPECT_EQ(m.vehicleLabel(), c.label);
    }
    const auto w205 = bundledProfile(m, "mercedes-w205-diesel");
    m.setSelectedProfile(w205);
    EXPECT_EQ(m.vehicleLabel(), w205.displayName());
    EXPECT_EQ(m.vehicleLabel(), "Mercedes-Benz Classe C diesel (W205) 2014–2021");
}

TEST(AppModelTests, CatalogueOperationsOnTheCurrentDrive) {
    ModelRig rig;
    AppModel& m = *rig.model;
    auto& catalog = m.sessionCatalog();
    QSignalSpy past(&m, &AppModel::pastSessionsChanged);
    m.syncCurrentSession(); // no current drive: nothing
    EXPECT_EQ(past.count(), 0);

    m.store().startRecording({0x0D}, catalog.sessionsDirectory(), false);
    ASSERT_TRUE(m.store().recordingURL());
    auto record = catalog.createSession(m.store().recordingURL()->filename().string(), w205VIN, none, none);
    m.refreshSessions();
    ASSERT_EQ(m.pastSessions().size(), 1u);
    EXPECT_EQ(past.count(), 1);

    // Under way, the stored record follows the codes (a 0 too) at once, and the best 0-100 once
    // the file on disk holds its run (the file records come at most every 0.25 s), with neither
    // an end nor a record count.
    Access::setCurrentSession(m, record);
    const std::vector<DTC> two{*DTC::decode(0x03, 0x01), *DTC::decode(0x01, 0x71)};
    const struct { double t, kmh; std::vector<DTC> codes; std::optional<double> best; } steps[] = {
        {0, 0, two, none}, {3.9, 90, two, none}, {4, 100, two, none}, {4.2, 101, two, 4.0}, {5, 0, two, 4.0},
        // 3.0 timed, but the speed is down to 99 again at the next file record
        {7.9, 95, two, 4.0}, {8, 100, two, 4.0}, {8.1, 98, {}, 4.0}, {8.2, 99, two, 4.0},
        {9, 0, two, 4.0}, {11.5, 100, two, 2.5}}; // timed by a reading that is a file record
    for (const auto& step : steps) {
        m.store().ingest(measured(0x0D, step.kmh, at(step.t)));
        Access::setDtcs(m, step.codes);
        const SessionRecord stored = m.pastSessions().at(0);
        EXPECT_TRUE(stored.dtcCount == std::ssize(step.codes) && stored.zeroToHundredSec == step.best) << step.t;
        EXPECT_TRUE(!stored.endDate && stored.sampleCount == 0) << step.t;
        const auto onDisk = TelemetryFile::read(*m.store().recordingURL()).series(0x0D);
        const bool ranTo100 = std::ranges::any_of(onDisk, [](auto point) { return point.second >= 100; });
        EXPECT_TRUE(!stored.zeroToHundredSec || ranTo100) << step.t;
    }
    const int written = past.count();
    m.syncCurrentSession();
    EXPECT_EQ(past.count(), written + 1); // the same record with new figures
    ASSERT_EQ(m.pastSessions().size(), 1u);
    const auto& synced = m.pastSessions()[0];
    EXPECT_EQ(synced.sampleCount, 8);
    EXPECT_EQ(synced.dtcCount, 2);
    EXPECT_DOUBLE_EQ(synced.maxSpeedKmh, 101.0);
    EXPECT_GT(synced.distanceKm, 0.0);
    EXPECT_DOUBLE_EQ(synced.distanceKm, m.store().trip().distanceKm);
    EXPECT_TRUE(synced.endDate);
    // With no file open the count is 0, not left as it was.
    m.store().reset();
    m.syncCurrentSession();
    EXPECT_EQ(m.pastSessions()[0].sampleCount, 0);
    m.refreshSessions();
    const int before = past.count();
    m.refreshSessions(); // nothing changed: no signal
    EXPECT_EQ(past.count(), before);

    const auto file = catalog.sessionsDirectory() / m.pastSessions()[0].fileName;
    EXPECT_TRUE(std::filesystem::exists(file));
    // The drive being recorded is refused: its file is still being written.
    EXPECT_TRUE(m.isCurrentSession(m.pastSessions()[0]));
    m.deleteSession(m.pastSessions()[0]);
    EXPECT_EQ(m.pastSessions().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(file));
    Access::setCurrentSession(m, std::nullopt); // as a disconnection leaves it
    EXPECT_FALSE(m.isCurrentSession(m.pastSessions()[0]));
    m.deleteSession(m.pastSessions()[0]);
    EXPECT_TRUE(m.pastSessions().empty());
    EXPECT_FALSE(std::filesystem::exists(file));

    // The next drive, the store reset at the disconnection, takes no 0-100 of the one before.
    m.store().startRecording({0x0D}, catalog.sessionsDirectory(), false);
    const auto next = m.store().recordingURL().value().filename().string();
    Access::setCurrentSession(m, catalog.createSession(next, w205VIN, none, none));
    Access::setDtcs(m, {});
    Access::setDtcs(m, two);
    EXPECT_TRUE(m.pastSessions().at(0).dtcCount == 2 && !m.pastSessions().at(0).zeroToHundredSec);
}

// The catalogue's journal cannot grow while the drive's small file still can: the saves the store
// did not take are made again, whole, by the timer or before the next save.
TEST(AppModelTests, ARecordTheCatalogueDidNotTakeIsSavedWholeLater) {
    ModelRig rig;
    AppModel& m = *rig.model;
    auto& catalog = m.sessionCatalog();
    m.store().startRecording({0x0D}, catalog.sessionsDirectory(), false);
    Access::setCurrentSession(m, catalog.createSession(m.store().recordingURL()->filename().string(), w205VIN, none, none));
    const auto stored = [&] { return SessionCatalog(catalog.sessionsDirectory()).allSessions().at(0); };
    QTimer& retry = Access::pendingSessionsTimer(m);
    m.store().ingest(measured(0x0D, 0, at(0)));
    std::optional<FileSizeLimit> full(std::in_place, 4096);
    m.store().ingest(measured(0x0D, 100, at(4))); // the run is in the file, the record's save fails
    full.reset();
    EXPECT_TRUE(m.store().writtenZeroToHundredSec() == 4.0 && !stored().zeroToHundredSec);
    EXPECT_TRUE(retry.isActive() && retry.interval() == 5000);
    QMetaObject::invokeMethod(&retry, "timeout");
    EXPECT_TRUE(stored().zeroToHundredSec == 4.0 && m.pastSessions().at(0).zeroToHundredSec == 4.0 && !retry.isActive());

    full.emplace(4096);
    Access::setDtcs(m, {*DTC::decode(0x03, 0x01)});
    full.reset();
    m.store().ingest(measured(0x0D, 0, at(5)));
    m.store().ingest(measured(0x0D, 100, at(7))); // the next save brings the code along
    EXPECT_TRUE(stored().dtcCount == 1 && stored().zeroToHundredSec == 2.0 && !retry.isActive());
}

// The file's closing write fails: the ended record states what the file holds, not what the
// trip saw, and its save, failed on the same full disk, is made once there is room.
TEST(AppModelTests, ADriveWhoseClosingWriteFailsEndsAsItsFileHoldsIt) {
    ModelRig rig;
    AppModel& m = *rig.model;
    auto& catalog = m.sessionCatalog();
    m.store().startRecording({0x0D}, catalog.sessionsDirectory(), false);
    const auto file = *m.store().recordingURL();
    Access::setCurrentSession(m, catalog.createSession(file.filename().string(), w205VIN, none, none));
    for (int i = 0; i < 20; ++i) m.store().ingest(measured(0x0D, i * 5, at(i * 0.25))); // up to 95 km/h
    m.store().flushRecording();
    std::optional<FileSizeLimit> full(std::in_place, std::filesystem::file_size(file));
    for (int i = 20; i < 30; ++i) m.store().ingest(measured(0x0D, i * 5, at(i * 0.25))); // on to 145 km/h
    m.syncCurrentSession();
    full.reset();
    EXPECT_TRUE(m.store().trip().zeroToHundredSec && !m.pastSessions().at(0).endDate) << "the save failed as well";
    QMetaObject::invokeMethod(&Access::pendingSessionsTimer(m), "timeout");
    const SessionRecord ended = SessionCatalog(catalog.sessionsDirectory()).allSessions().at(0);
    const auto fromFile = DriveFigures::fromFile(ended.startDate, TelemetryFile::read(file));
    EXPECT_EQ(std::tuple(ended.endDate, ended.sampleCount, ended.maxSpeedKmh, ended.distanceKm, ended.zeroToHundredSec),
              std::tuple(fromFile.endDate, std::int64_t{20}, 95.0, *fromFile.distanceKm, std::optional<double>()));
}
