// The display check and Qt's French texts.
#include "OskavelCarApp/Startup.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>

namespace veq::Startup {
namespace {

TEST(Startup, AnyOfTheThreeVariablesTellsThereIsADisplay) {
    struct Case {
        DisplayEnvironment environment;
        bool available;
    };
    const Case cases[] = {
        {{std::nullopt, std::nullopt, std::nullopt}, false},
        {{"", "", ""}, false},
        {{":0", std::nullopt, std::nullopt}, true},
        {{std::nullopt, "wayland-0", std::nullopt}, true},
        {{std::nullopt, std::nullopt, "offscreen"}, true},
        {{"", "", "xcb"}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(displayAvailable(c.environment), c.available)
            << c.environment.display.value_or("-") << " " << c.environment.waylandDisplay.value_or("-") << " "
            << c.environment.qpaPlatform.value_or("-");
    }
}

TEST(Startup, TheNoDisplayMessageIsOneLineThatSaysHowToStartUnderXvfb) {
    const std::string message(kNoDisplayMessage);
    EXPECT_EQ(message.find('\n'), std::string::npos);
    EXPECT_NE(message.find("xvfb-run -a scripts/run"), std::string::npos);
}

TEST(Startup, QtsOwnTextsAreFrenchOnceTheTranslationsAreLoaded) {
    ASSERT_TRUE(installQtTranslations(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("Enregistrer sous"));
}

} // namespace
} // namespace veq::Startup
