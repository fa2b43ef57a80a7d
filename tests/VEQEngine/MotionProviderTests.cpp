#include "VEQEngine/MotionProvider.hpp"

#include <gtest/gtest.h>

#include <string>

namespace veq {
namespace {

TEST(MotionProvider, StartOnlySaysSensorsAreMissing) {
    MotionProvider provider;
    int announcements = 0;
    provider.onUpdate = [&] { ++announcements; };
    provider.start();
    EXPECT_EQ(provider.unavailable(), std::string("Les capteurs de mouvement n'existent que sur iPhone et iPad."));
    EXPECT_FALSE(provider.latest());
    EXPECT_EQ(provider.sampleCount(), 0);
    EXPECT_FALSE(provider.isRunning());
    EXPECT_EQ(announcements, 1);
}

TEST(MotionProvider, StopBeforeStartLeavesEverythingAsItWas) {
    MotionProvider provider;
    provider.stop();
    EXPECT_FALSE(provider.unavailable());
    EXPECT_FALSE(provider.isRunning());
    EXPECT_FALSE(provider.latest());
    EXPECT_EQ(provider.hertz, 20.0);
}

TEST(MotionProvider, SampleRateIsFreeToSet) {
    MotionProvider provider;
    provider.hertz = 50;
    EXPECT_EQ(provider.hertz, 50.0);
    EXPECT_FALSE(provider.unavailable());
    EXPECT_FALSE(provider.isRunning());
    EXPECT_EQ(provider.sampleCount(), 0);
}

} // namespace
} // namespace veq
