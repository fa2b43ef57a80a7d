#include "VEQUI/Views/DampedSpring.hpp"
#include "VEQUI/Views/GaugeRenderer.hpp"

#include <gtest/gtest.h>

namespace veq {
namespace {

DampedSpring gpuNeedle() { return DampedSpring(GaugeRenderer::stiffness, GaugeRenderer::damping); }

TEST(GPUNeedleSpring, FirstTwoFramesTowardsOneFromRest) {
    auto spring = gpuNeedle();
    spring.step(1.0, GaugeRenderer::frameInterval);
    EXPECT_NEAR(spring.velocity(), 29.4, 1e-9);
    EXPECT_NEAR(spring.position(), 0.49, 1e-9);
    spring.step(1.0, GaugeRenderer::frameInterval);
    EXPECT_NEAR(spring.position(), 0.5439, 1e-9);
}

TEST(GPUNeedleSpring, CoversNinetyPercentBySixFramesAndNinetyNineByThirteenNeverPassingTheTarget) {
    auto spring = gpuNeedle();
    int firstAt90 = 0, firstAt99 = 0;
    for (int frame = 1; frame <= 600; ++frame) {
        spring.step(1.0, GaugeRenderer::frameInterval);
        ASSERT_LE(spring.position(), 1.0) << "frame " << frame;
        if (firstAt90 == 0 && spring.position() >= 0.9) firstAt90 = frame;
        if (firstAt99 == 0 && spring.position() >= 0.99) firstAt99 = frame;
    }
    EXPECT_EQ(firstAt90, 6);
    EXPECT_EQ(firstAt99, 13);
    EXPECT_TRUE(spring.isSettled(1.0));
}

TEST(GPUNeedleSpring, FallsBackWithoutUndershoot) {
    auto spring = gpuNeedle();
    spring.reset(1.0);
    for (int frame = 1; frame <= 600; ++frame) {
        spring.step(0.0, GaugeRenderer::frameInterval);
        ASSERT_GE(spring.position(), 0.0) << "frame " << frame;
    }
    EXPECT_TRUE(spring.isSettled(0.0));
}

TEST(DampedSpring, ResponseSpringSettlesWithoutOvershoot) {
    auto spring = DampedSpring::withResponse(0.22, 1.0);
    int settledAt = 0;
    for (int frame = 1; frame <= 120 && settledAt == 0; ++frame) {
        spring.step(0.6, 1.0 / 60.0);
        ASSERT_LE(spring.position(), 0.6 + 1e-12) << "frame " << frame;
        if (spring.isSettled(0.6)) settledAt = frame;
    }
    // Critically damped at 2 pi / 0.22 rad/s: settled to a ten-thousandth within 0.7 s.
    EXPECT_GT(settledAt, 10);
    EXPECT_LE(settledAt, 42);
}

TEST(DampedSpring, ResetPutsTheNeedleAtRest) {
    auto spring = gpuNeedle();
    spring.step(1.0, GaugeRenderer::frameInterval);
    spring.reset(0.25);
    EXPECT_EQ(spring.position(), 0.25);
    EXPECT_EQ(spring.velocity(), 0.0);
    EXPECT_TRUE(spring.isSettled(0.25));
    EXPECT_FALSE(spring.isSettled(0.3));
}

} // namespace
} // namespace veq
