#include "VEQEngine/Trip/MotionProvider.hpp"

#include <gtest/gtest.h>

TEST(MotionProvider, StartOnlySaysSensorsAreMissing) {
    veq::MotionProvider provider;
    int announcements = 0;
    provider.onUpdate = [&] { ++announcements; };
    provider.stop();
    EXPECT_FALSE(provider.unavailable());
    provider.start();
    EXPECT_EQ(provider.unavailable(), std::string("Les capteurs de mouvement n'existent que sur iPhone et iPad."));
    EXPECT_FALSE(provider.latest() || provider.isRunning());
    EXPECT_EQ(announcements, 1);
}
