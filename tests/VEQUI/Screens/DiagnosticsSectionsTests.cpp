// The two diagnostics sections as the window shows them, on the simulated car.
#include "ScreenRig.hpp"

#include "VEQUI/Views/DTCCard.hpp"
#include "VEQUI/Views/DiagnosticView.hpp"
#include "VEQUI/Views/ECUCard.hpp"
#include "VEQUI/Views/ECUMapView.hpp"

#include <gtest/gtest.h>

#include <QLabel>

namespace veq {
namespace {

using namespace veq::testing;

TEST(DiagnosticsSections, EachIsBuiltAnewWhenChosenWithTheCarsCodesAndNoSelection) {
    ScreenRig rig;
    ASSERT_TRUE(rig.isActive());
    ASSERT_TRUE(rig.connect()) << rig.model().phase().message;

    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Diagnostic")));
    rig.settle();
    ASSERT_NE(rig.find<DiagnosticView>(QStringLiteral("DiagnosticView")), nullptr);
    EXPECT_EQ(rig.findAll<DTCCard>(QStringLiteral("dtcCard")).size(), 2);
    EXPECT_EQ(rig.find<QLabel>(QStringLiteral("codeCount"))->text(), QStringLiteral("2 code(s)"));
    rig.snapshot(QStringLiteral("diagnostic"));

    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Calculateurs")));
    rig.settle();
    auto* map = rig.find<ECUMapView>(QStringLiteral("ECUMapView"));
    ASSERT_NE(map, nullptr);
    const auto cards = rig.findAll<ECUCard>(QStringLiteral("ecuCard"));
    ASSERT_EQ(cards.size(), static_cast<qsizetype>(rig.model().ecus().size()));
    // The engine holds the car's two stored codes.
    EXPECT_EQ(cards.front()->findChild<QLabel*>(QStringLiteral("ecuCodeCount"))->text(), QStringLiteral("2 défaut(s)"));
    QTest::mouseClick(cards.front(), Qt::LeftButton);
    rig.settle();
    EXPECT_EQ(map->selected(), "7E0");
    EXPECT_NE(rig.find(QStringLiteral("ecuDetail")), nullptr);
    rig.snapshot(QStringLiteral("ecu-map-engine"));

    // Leaving the section discards the selection: the map opens again with none.
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Diagnostic")));
    ASSERT_TRUE(rig.click(QStringLiteral("sidebarRow.Calculateurs")));
    rig.settle();
    map = rig.find<ECUMapView>(QStringLiteral("ECUMapView"));
    ASSERT_NE(map, nullptr);
    EXPECT_FALSE(map->selected().has_value());
    EXPECT_EQ(rig.find(QStringLiteral("ecuDetail")), nullptr);
}

} // namespace
} // namespace veq
