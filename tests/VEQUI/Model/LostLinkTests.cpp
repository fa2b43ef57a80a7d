// The link to the adapter lost while live: the drive recorded so far is written out at once,
// not left in memory until the user disconnects.
#include "ConnectionFixtures.hpp"

#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;

TEST(LostLinkTests, TheDriveSoFarIsOnDiskAndInTheCatalogueOnceThePollingLoopHasEnded) {
    ScriptedCar car;
    ConnectionRig rig({.car = &car});
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(waitUntil([&] { return rig->store().recordedSampleCount() >= 3; }));
    const auto url = rig->store().recordingURL();
    ASSERT_TRUE(url.has_value());

    car.transport()->loseLink();
    car.transport()->failSendsContaining("\r");

    const auto onDisk = [&] { return TelemetryFile::read(*url).records.size(); };
    EXPECT_TRUE(waitUntil([&] { return onDisk() >= 3 && onDisk() == rig->store().recordedSampleCount(); }))
        << onDisk() << " of " << rig->store().recordedSampleCount();
    const auto records = rig->sessionCatalog().allSessions();
    ASSERT_EQ(records.size(), 1U);
    EXPECT_TRUE(records.front().endDate.has_value());
    EXPECT_EQ(records.front().sampleCount, static_cast<std::int64_t>(onDisk()));
    rig->disconnect();
}
