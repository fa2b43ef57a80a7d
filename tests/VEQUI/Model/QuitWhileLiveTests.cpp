// Closing the application while a drive is recorded: the model goes without disconnect().
#include "ConnectionFixtures.hpp"

#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;

TEST(QuitWhileLiveTests, TheDriveFileAndItsCatalogueRecordAreClosedAsADisconnectionWouldClose) {
    ConnectionRig rig;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(waitUntil([&] { return rig->store().recordedSampleCount() >= 3; }));
    const auto url = rig->store().recordingURL();
    ASSERT_TRUE(url.has_value());
    const auto sessions = rig.sessionsFolder();

    rig.model.reset(); // the window closed

    const auto contents = TelemetryFile::read(*url);
    ASSERT_GE(contents.records.size(), 3U);
    const SessionCatalog catalogue(sessions);
    const auto records = catalogue.allSessions();
    ASSERT_EQ(records.size(), 1U);
    EXPECT_EQ(records.front().fileName, url->filename().string());
    EXPECT_TRUE(records.front().endDate.has_value());
    EXPECT_EQ(records.front().sampleCount, static_cast<std::int64_t>(contents.records.size()));
}
