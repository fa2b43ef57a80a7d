// The shell's animations switch reaches the instrument screens it makes: with animations off a
// gauge's needle stands at its value on the first tick after the value arrives; with them on it
// is still on its way there.
#include "ScreenFixtures.hpp"

#include "VEQUI/Views/Instruments/CockpitView.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"
#include "VEQUI/Views/Shell/LiveInterface.hpp"
#include "VEQUI/Views/Shell/SectionScreens.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace veq {
namespace {

using namespace veq::testing;

// Feeds an engine speed and lets one display tick pass: how far the tachometer's needle then
// stands from where the value puts it.
double needleGapAfterOneTick(AppModel& model, RepaintCoalescer& coalescer, const HeroTachometer& hero) {
    coalescer.setManualTicks(true);
    feed(model, 0x0C, 4000);
    coalescer.tick();
    EXPECT_GT(hero.gauge().fraction(), 0.3);
    return hero.gauge().fraction() - hero.displayedFraction();
}

TEST(InstrumentAnimations, TheShellsSwitchReachesTheCockpitAndTheFocusGauge) {
    for (const bool animated : {false, true}) {
        SCOPED_TRACE(animated ? "animations on" : "animations off");
        // Off, the needle stands at its value; on, it is still on its way there.
        const auto expectGap = [animated](double gap) {
            if (animated) EXPECT_GT(gap, 0.05);
            else EXPECT_DOUBLE_EQ(gap, 0);
        };
        {
            ConnectionRig rig;
            LiveInterface shell(*rig, AppSection::cockpit, animated, [](AppSection) {});
            shell.resize(1280, 800);
            shell.show();
            settle();
            auto* cockpit = dynamic_cast<CockpitView*>(shell.contentScreen());
            ASSERT_NE(cockpit, nullptr);
            expectGap(needleGapAfterOneTick(*rig, cockpit->coalescer(), *cockpit->hero()));

            // A section chosen later gets the same setting.
            shell.showSection(AppSection::liveData);
            shell.showSection(AppSection::cockpit);
            settle();
            auto* again = dynamic_cast<CockpitView*>(shell.contentScreen());
            ASSERT_NE(again, nullptr);
            again->coalescer().setManualTicks(true);
            feed(*rig, 0x0C, 7000, 1);
            again->coalescer().tick();
            expectGap(std::abs(again->hero()->gauge().fraction() - again->hero()->displayedFraction()));
        }
        {
            ConnectionRig rig;
            std::unique_ptr<QWidget> screen(SectionScreens::makeFocusGauge(*rig, animated));
            screen->resize(1300, 800);
            screen->show();
            settle();
            auto* focus = dynamic_cast<GaugeFocusView*>(screen.get());
            ASSERT_NE(focus, nullptr);
            expectGap(needleGapAfterOneTick(*rig, focus->coalescer(), *focus->hero()));
        }
    }
}

} // namespace
} // namespace veq
