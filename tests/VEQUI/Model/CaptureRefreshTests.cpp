// What the capture refresh leaves behind a connection: the span the recorder holds, and nothing
// of an ended connection once its recorder has gone.
#include "ConnectionFixtures.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;
using namespace std::chrono_literals;

TEST(CaptureRefreshTests, TheHeldSpanStartsAtTheRecordersOldestEventAndEveryFigureGoesWithTheRecorder) {
    ConnectionRig rig;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return rig->captureStatus() && rig->captureStatus()->eventCount > 0; }));
    ASSERT_TRUE(rig->captureOldestEvent().has_value());
    ASSERT_TRUE(rig->recorderOrigin().has_value());
    EXPECT_GE(*rig->captureOldestEvent(), *rig->recorderOrigin());
    EXPECT_LE(*rig->captureOldestEvent(), std::chrono::system_clock::now());
    rig->startLog();
    ASSERT_TRUE(waitUntil([&] { return rig->captureStatus()->startMark.has_value(); }));

    // The next connection's screen must not show these counts, nor convert this mark against
    // its own origin.
    rig->disconnect();
    EXPECT_TRUE(rig->captureSummaries().empty());
    EXPECT_EQ(rig->captureStatus(), std::nullopt);
    EXPECT_EQ(rig->captureOldestEvent(), std::nullopt);

    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    EXPECT_TRUE(rig->captureSummaries().empty());
    EXPECT_EQ(rig->captureStatus(), std::nullopt);
    rig->endCaptureRefresh();
    rig->beginCaptureRefresh();
    ASSERT_TRUE(waitUntil([&] { return rig->captureStatus() && rig->captureStatus()->eventCount > 0; }));
    EXPECT_EQ(rig->captureStatus()->startMark, std::nullopt);
    EXPECT_GE(*rig->captureOldestEvent(), *rig->recorderOrigin());
    rig->endCaptureRefresh();
    rig->disconnect();
}
