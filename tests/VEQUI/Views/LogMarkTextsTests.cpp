#include "ScreenFixtures.hpp"

#include "VEQUI/Views/Kit/LogMarkTexts.hpp"

#include <gtest/gtest.h>

namespace veq {
namespace {

using namespace veq::testing;
namespace R = LogMarkTexts;

TEST(LogMarkTexts, ElapsedLabelRunningDotAndSavedLine) {
    struct Case { double seconds; const char* text; };
    static const Case cases[] = {
        {0, "00:00"}, {59.9, "00:59"}, {3599.7, "59:59"}, {3600, "60:00"}, {4500, "75:00"}, {-12, "00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(R::elapsedLabel(at(0), at(c.seconds)).toStdString(), c.text) << c.seconds;
    EXPECT_EQ(R::runningDotOpacity(at(0), atMs(12'400)), 1.0);
    EXPECT_EQ(R::runningDotOpacity(at(0), atMs(12'500)), 0.25);
    EXPECT_EQ(R::runningDotOpacity(at(0), atMs(13'000)), 1.0);
    EXPECT_EQ(R::savedLogText(120, 31.4).toStdString(), "✓ 120 lignes · 31 s");
}

} // namespace
} // namespace veq
