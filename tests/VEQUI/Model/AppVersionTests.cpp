// The version label from an information map.
#include "VEQUI/Model/AppVersion.hpp"

#include <gtest/gtest.h>

using namespace veq;

TEST(AppVersionTests, TextValuesOrTheFallbacks) {
    struct Case { QVariantMap information; const char* shortVersion; const char* build; const char* label; };
    const Case cases[] = {
        {{}, "dev", "\u2014", "Oskavel Car vdev"},
        {{{"shortVersion", "1.4"}, {"build", "a1b2c3"}}, "1.4", "a1b2c3", "Oskavel Car v1.4"},
        {{{"shortVersion", 1.4}, {"build", 17}}, "dev", "\u2014", "Oskavel Car vdev"}, // not text
        {{{"ShortVersion", "1.4"}}, "dev", "\u2014", "Oskavel Car vdev"},                 // key case matters
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AppVersion::shortVersion(c.information).toStdString(), c.shortVersion);
        EXPECT_EQ(AppVersion::build(c.information).toStdString(), c.build);
        EXPECT_EQ(AppVersion::label(c.information).toStdString(), c.label);
    }
}

TEST(AppVersionTests, TheProgramReportsTheProjectVersion) {
    const auto information = AppVersion::mainInformation();
    EXPECT_EQ(information.value("shortVersion").toString().toStdString(), VEQ_TEST_PROJECT_VERSION);
    EXPECT_EQ(AppVersion::label().toStdString(), std::string("Oskavel Car v") + VEQ_TEST_PROJECT_VERSION);
}
