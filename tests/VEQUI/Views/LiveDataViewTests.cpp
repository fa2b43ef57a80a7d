#include "ScreenFixtures.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Instruments/LiveDataView.hpp"

#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>

namespace veq {
namespace {

using namespace veq::testing;

struct LiveData : LiveScreen<LiveDataView> {
    explicit LiveData(bool live) : LiveScreen(live) {}
    const LiveDataRow& row(std::uint8_t pid) const { return view->row(pid)->component(); }
};

std::vector<std::string> cells(const LiveDataRow& row) {
    return {row.values[0].toStdString(), row.values[1].toStdString(), row.values[2].toStdString(),
            row.values[3].toStdString()};
}

TEST(LiveDataView, WithoutStatisticsShowsTheEmptyState) {
    LiveData list(false);
    EXPECT_TRUE(list.view->showsEmptyState());
    EXPECT_TRUE(list.view->listedPIDs().empty());
    EXPECT_EQ(LiveDataView::headerText(0, 0).toStdString(), "0 paramètres · 0 req/s");
    EXPECT_EQ(LiveDataView::headerText(23, 41.6).toStdString(), "23 paramètres · 42 req/s");
    shoot(*list.view, QStringLiteral("live-data-empty"));
}

TEST(LiveDataView, RowsStandInAscendingParameterOrderWhateverTheArrivalOrder) {
    LiveData list(false);
    AppModel& model = list.model();
    feed(model, 0x5C, 90);
    list.tick();
    const LiveDataRowView* oil = list.view->row(0x5C);
    feed(model, 0x0C, 800);
    feed(model, 0x04, 20);
    list.tick();
    EXPECT_FALSE(list.view->showsEmptyState());
    EXPECT_EQ(list.view->listedPIDs(), (std::vector<std::uint8_t>{0x04, 0x0C, 0x5C}));
    // A row stays the same widget while its parameter updates.
    feed(model, 0x5C, 95, 1);
    list.tick();
    EXPECT_EQ(list.view->row(0x5C), oil);
    EXPECT_EQ(cells(list.row(0x5C)), (std::vector<std::string>{"95.0", "90.0", "95.0", "92.5"}));
    // A reset store (a disconnection) empties the list.
    model.store().reset();
    list.tick();
    EXPECT_TRUE(list.view->showsEmptyState());
    EXPECT_EQ(list.view->row(0x5C), nullptr);
}

TEST(LiveDataView, ShowsItsScrollBarOnlyOnceTheRowsOutgrowTheScreen) {
    LiveData list(false);
    const auto barShown = [&] {
        list.tick();
        settle();
        return only<QScrollArea>(*list.view, QStringLiteral("liveDataScroll"))->verticalScrollBar()->isVisible();
    };
    feed(list.model(), 0x0C, 800);
    feed(list.model(), 0x05, 90);
    EXPECT_FALSE(barShown());
    shoot(*list.view, QStringLiteral("live-data-few"));
    for (const PIDDefinition& definition : PIDCatalog::all()) feed(list.model(), definition.pid, 1);
    EXPECT_TRUE(barShown());
    // Beside the vertical bar, rows fit the list's width at both window sizes: the smallest one
    // takes the difference from the names, never a sideways scroll.
    const auto* scroll = only<QScrollArea>(*list.view, QStringLiteral("liveDataScroll"));
    for (const UserSize& size : userSizes) {
        present(*list.view, size.content);
        list.tick();
        settle();
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible()) << size.name;
        EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0) << size.name;
        EXPECT_LE(list.view->row(0x0C)->width(), scroll->viewport()->width()) << size.name;
    }
}

TEST(LiveDataView, StatisticTextsFollowOneRule) {
    const PIDDefinition* coolant = PIDCatalog::definition(0x05);
    struct Case { std::optional<double> value; const char* text; };
    static const Case cases[] = {
        {99.96, "100.0"}, {100.0, "100"}, {-100.4, "-100"}, {0.04, "0.0"}, {123.5, "124"}, {-250.5, "-251"},
        {std::nullopt, "—"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GaugeReadout::statisticText(c.value, coolant, UnitSystem::metric).toStdString(), c.text);
    }
    EXPECT_EQ(GaugeReadout::statisticText(12.0, nullptr, UnitSystem::metric).toStdString(), "—");
    EXPECT_EQ(GaugeReadout::statisticText(100.0, coolant, UnitSystem::imperial).toStdString(), "212");
}

TEST(LiveDataView, ImperialConvertsEveryCellAndTheSparklineAndNightModeChangesOnlyItsColour) {
    LiveData list(false);
    AppModel& model = list.model();
    feed(model, 0x05, 20, 0);
    feed(model, 0x05, 40, 1);
    feed(model, 0x05, 30, 2);
    list.tick();
    const LiveDataRow metric = list.row(0x05);
    EXPECT_EQ(metric.name.toStdString(), PIDCatalog::definition(0x05)->name);
    EXPECT_EQ(cells(metric), (std::vector<std::string>{"30.0", "20.0", "40.0", "30.0"}));
    EXPECT_EQ(metric.unit.toStdString(), "°C");
    EXPECT_EQ(metric.history, (std::vector<double>{20, 40, 30}));
    EXPECT_EQ(metric.sparkColor, VEQ::accent());

    model.setUnitSystem(UnitSystem::imperial);
    list.tick();
    const LiveDataRow imperial = list.row(0x05);
    EXPECT_EQ(cells(imperial), (std::vector<std::string>{"86.0", "68.0", "104", "86.0"}));
    EXPECT_EQ(imperial.unit.toStdString(), "°F");
    EXPECT_EQ(imperial.history, (std::vector<double>{68, 104, 86}));
    shoot(*list.view, QStringLiteral("live-data-imperial-hand-fed"));

    model.setUnitSystem(UnitSystem::metric);
    model.setNightMode(true);
    list.tick();
    LiveDataRow night = list.row(0x05);
    EXPECT_EQ(night.sparkColor, VEQ::nightAccent());
    night.sparkColor = metric.sparkColor;
    EXPECT_EQ(night, metric);
}

TEST(LiveDataView, AParameterOutsideTheCatalogueStillGetsARow) {
    LiveData list(false);
    AppModel& model = list.model();
    ASSERT_EQ(PIDCatalog::definition(0x02), nullptr);
    feed(model, 0x02, 7, 0);
    feed(model, 0x02, 9, 1);
    list.tick();
    ASSERT_NE(list.view->row(0x02), nullptr);
    const LiveDataRow& row = list.row(0x02);
    EXPECT_EQ(row.name.toStdString(), "PID 0x02");
    EXPECT_EQ(cells(row), (std::vector<std::string>{"—", "—", "—", "—"}));
    EXPECT_EQ(row.unit.toStdString(), "");
    EXPECT_TRUE(row.history.empty());
}

} // namespace
} // namespace veq
