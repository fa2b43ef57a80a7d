#include "VEQEngine/VehicleMessages.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veq {
namespace {

using Level = VehicleMessage::Level;
using Availability = VehicleMessage::Availability;
using Values = std::map<std::uint8_t, double>;
using Mapped = std::map<std::string, VehicleMessageCenter::MappedDID>;

MonitorStatus monitors(std::vector<std::uint8_t> bytes) {
    const auto status = MonitorStatus::decode(bytes);
    if (!status) throw std::logic_error("four monitor bytes expected");
    return *status;
}

std::optional<VehicleMessage> find(const std::vector<VehicleMessage>& messages, const std::string& id) {
    const auto it = std::find_if(messages.begin(), messages.end(), [&](const auto& m) { return m.id == id; });
    if (it == messages.end()) return std::nullopt;
    return *it;
}

std::vector<std::string> ids(const std::vector<VehicleMessage>& messages) {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.id);
    return out;
}

TEST(VehicleMessages, NothingKnownGivesLampOffAndTheFiveProprietaryItems) {
    const auto messages = VehicleMessageCenter::evaluate({}, 0, std::nullopt, {});
    EXPECT_EQ(ids(messages), (std::vector<std::string>{"washer-fluid", "service-due", "brake-pads", "oil-level",
                                                       "tire-pressure", "mil"}));
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(messages[i].level, Level::info) << messages[i].id;
        EXPECT_FALSE(messages[i].isReadable()) << messages[i].id;
        EXPECT_FALSE(messages[i].value) << messages[i].id;
    }
    const VehicleMessage washer{"washer-fluid",
                                "Niveau de lave-glace",
                                "Non publié par l'OBD-II normalisé. Le capteur de niveau est géré par le SAM avant, "
                                "sur le bus CAN-B.",
                                Level::info,
                                Availability::requiresDID("SAM avant", "Cherchez un DID booléen (00/01) qui bascule "
                                                                       "quand vous videz le réservoir."),
                                std::nullopt,
                                "drop.triangle.fill"};
    EXPECT_EQ(messages.front(), washer);
    const VehicleMessage lamp{"mil",         "Témoin moteur éteint", "Aucun défaut moteur signalé.",
                              Level::ok,     Availability::readable(0x01), std::nullopt,
                              "engine.combustion.fill"};
    EXPECT_EQ(messages.back(), lamp);
}

TEST(VehicleMessages, ProprietaryTexts) {
    const auto& items = VehicleMessageCenter::proprietaryItems;
    EXPECT_EQ(items[1].title, "Prochain entretien (ASSYST)");
    EXPECT_EQ(items[1].ecu, "Combiné (IC)");
    EXPECT_EQ(items[3].detail, "Non publié par l'OBD-II normalisé. La jauge électronique est lue par le calculateur "
                               "moteur via un DID propriétaire.");
    EXPECT_EQ(items[3].ecu, "ME/CDI moteur");
    EXPECT_EQ(items[4].icon, "car.top.radiowaves.rear.right");
    // An en dash between the two pressures.
    EXPECT_EQ(items[4].hint, "Cherchez un DID de 4 à 8 octets dont les valeurs tournent autour de 2,2\u20132,6 bar.");
    EXPECT_EQ(items[4].mappedDetail, "Pressions relevées par le système TPMS.");
}

struct LampCase {
    const char* name;
    std::optional<std::vector<std::uint8_t>> monitorBytes;
    int dtcCount;
    const char* title;
    const char* detail;
    Level level;
    std::optional<std::string> value;
};

void PrintTo(const LampCase& c, std::ostream* os) { *os << c.name; }

class Lamp : public ::testing::TestWithParam<LampCase> {};

TEST_P(Lamp, FollowsTheMonitorsOrTheCodeCount) {
    const LampCase& c = GetParam();
    std::optional<MonitorStatus> status;
    if (c.monitorBytes) status = monitors(*c.monitorBytes);
    const auto lamp = find(VehicleMessageCenter::evaluate({}, c.dtcCount, status, {}), "mil");
    ASSERT_TRUE(lamp);
    EXPECT_EQ(lamp->title, c.title);
    EXPECT_EQ(lamp->detail, c.detail);
    EXPECT_EQ(lamp->level, c.level);
    EXPECT_EQ(lamp->value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Lamp,
    ::testing::Values(
        LampCase{"noMonitorsNoCodes", std::nullopt, 0, "Témoin moteur éteint", "Aucun défaut moteur signalé.",
                 Level::ok, std::nullopt},
        LampCase{"noMonitorsTwoCodes", std::nullopt, 2, "Témoin moteur allumé",
                 "2 code(s) défaut mémorisé(s). Consultez l'onglet Diagnostic.", Level::critical, "2"},
        // The monitors decide the lamp; the code count still shows.
        LampCase{"lampOffWithCodes", std::vector<std::uint8_t>{0x03, 0, 0, 0}, 3, "Témoin moteur éteint",
                 "Aucun défaut moteur signalé.", Level::ok, "3"},
        LampCase{"lampOnWithoutCodes", std::vector<std::uint8_t>{0x80, 0, 0, 0}, 0, "Témoin moteur allumé",
                 "0 code(s) défaut mémorisé(s). Consultez l'onglet Diagnostic.", Level::critical, std::nullopt},
        LampCase{"lampOnTwelveCodes", std::vector<std::uint8_t>{0x8C, 0, 0, 0}, 12, "Témoin moteur allumé",
                 "12 code(s) défaut mémorisé(s). Consultez l'onglet Diagnostic.", Level::critical, "12"}),
    [](const auto& info) { return info.param.name; });

struct ReadingCase {
    const char* name;
    std::uint8_t pid;
    double value;
    const char* id;
    Level level;
    const char* detail;
    const char* valueText;
};

void PrintTo(const ReadingCase& c, std::ostream* os) { *os << c.name; }

class Reading : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(Reading, HasTheLevelDetailAndValueText) {
    const ReadingCase& c = GetParam();
    const auto message = find(VehicleMessageCenter::evaluate({{c.pid, c.value}}, 0, std::nullopt, {}), c.id);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->level, c.level);
    EXPECT_EQ(message->detail, c.detail);
    EXPECT_EQ(message->value, std::optional<std::string>(c.valueText));
    EXPECT_EQ(message->availability, Availability::readable(c.pid));
    EXPECT_TRUE(message->isReadable());
}

const char* overheat = "Surchauffe — arrêtez-vous dès que possible.";
const char* lowVoltage = "Tension faible : batterie en fin de vie ou alternateur défaillant.";
const char* reserve = "Réserve — pensez à faire le plein.";

INSTANTIATE_TEST_SUITE_P(
    Thresholds, Reading,
    ::testing::Values(
        ReadingCase{"coolant120", 0x05, 120, "coolant", Level::critical, overheat, "120 °C"},
        ReadingCase{"coolant119_9", 0x05, 119.9, "coolant", Level::warning, overheat, "120 °C"},
        ReadingCase{"coolant112", 0x05, 112, "coolant", Level::warning, overheat, "112 °C"},
        ReadingCase{"coolant111_9", 0x05, 111.9, "coolant", Level::ok, "Température normale.", "112 °C"},
        ReadingCase{"coolant60", 0x05, 60, "coolant", Level::ok, "Température normale.", "60 °C"},
        ReadingCase{"coolant59_9", 0x05, 59.9, "coolant", Level::info, "Moteur en montée en température.", "60 °C"},
        ReadingCase{"coolantFrozen", 0x05, -40, "coolant", Level::info, "Moteur en montée en température.", "-40 °C"},
        ReadingCase{"oil135", 0x5C, 135, "oil-temp", Level::critical, "Huile très chaude — levez le pied.", "135 °C"},
        ReadingCase{"oil125", 0x5C, 125, "oil-temp", Level::warning, "Huile très chaude — levez le pied.", "125 °C"},
        ReadingCase{"oil124_9", 0x5C, 124.9, "oil-temp", Level::ok, "Température d'huile normale.", "125 °C"},
        ReadingCase{"battery12_2", 0x42, 12.2, "battery", Level::ok, "Charge normale.", "12.20 V"},
        ReadingCase{"battery11_9", 0x42, 11.9, "battery", Level::warning, lowVoltage, "11.90 V"},
        ReadingCase{"battery11_8", 0x42, 11.8, "battery", Level::warning, lowVoltage, "11.80 V"},
        ReadingCase{"battery11_79", 0x42, 11.79, "battery", Level::critical, lowVoltage, "11.79 V"},
        ReadingCase{"battery15", 0x42, 15.0, "battery", Level::ok, "Charge normale.", "15.00 V"},
        ReadingCase{"battery15_01", 0x42, 15.01, "battery", Level::warning,
                    "Tension élevée : régulateur d'alternateur suspect.", "15.01 V"},
        ReadingCase{"fuel7_9", 0x2F, 7.9, "fuel", Level::critical, reserve, "8 %"},
        ReadingCase{"fuel8", 0x2F, 8, "fuel", Level::warning, reserve, "8 %"},
        ReadingCase{"fuel14_9", 0x2F, 14.9, "fuel", Level::warning, reserve, "15 %"},
        ReadingCase{"fuel15", 0x2F, 15, "fuel", Level::ok, "Niveau suffisant.", "15 %"},
        ReadingCase{"milDistance", 0x21, 1234, "mil-distance", Level::attention,
                    "Distance parcourue depuis l'allumage du témoin moteur.", "1234 km"},
        ReadingCase{"milDistanceSmall", 0x21, 0.4, "mil-distance", Level::attention,
                    "Distance parcourue depuis l'allumage du témoin moteur.", "0 km"}),
    [](const auto& info) { return info.param.name; });

TEST(VehicleMessages, ReadableCardsHaveTheirTitlesAndIcons) {
    const auto messages =
        VehicleMessageCenter::evaluate({{0x05, 90}, {0x5C, 100}, {0x42, 13.8}, {0x2F, 50}, {0x21, 10}}, 0,
                                       std::nullopt, {});
    struct Expected {
        const char* id;
        const char* title;
        const char* icon;
    };
    for (const Expected e : {Expected{"coolant", "Température moteur", "thermometer.high"},
                             Expected{"oil-temp", "Température d'huile moteur", "drop.fill"},
                             Expected{"battery", "Tension de bord", "minus.plus.batteryblock.fill"},
                             Expected{"fuel", "Niveau de carburant", "fuelpump.fill"},
                             Expected{"mil-distance", "Distance avec le témoin allumé", "road.lanes"}}) {
        const auto m = find(messages, e.id);
        ASSERT_TRUE(m) << e.id;
        EXPECT_EQ(m->title, e.title);
        EXPECT_EQ(m->icon, e.icon);
    }
}

TEST(VehicleMessages, NoDistanceCardWithoutDistance) {
    EXPECT_FALSE(find(VehicleMessageCenter::evaluate({{0x21, 0}}, 0, std::nullopt, {}), "mil-distance"));
    EXPECT_FALSE(find(VehicleMessageCenter::evaluate({}, 0, std::nullopt, {}), "coolant"));
}

TEST(VehicleMessages, Readiness) {
    const auto ready = find(VehicleMessageCenter::evaluate({}, 0, monitors({0, 0, 0, 0}), {}), "readiness");
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->title, "Moniteurs prêts");
    EXPECT_EQ(ready->detail,
              "Tous les tests embarqués ont terminé leur cycle : le véhicule est prêt pour un contrôle technique.");
    EXPECT_EQ(ready->level, Level::ok);
    EXPECT_EQ(ready->icon, "checkmark.seal.fill");
    EXPECT_FALSE(ready->value);

    // "Système EVAP" available and incomplete.
    const auto incomplete =
        find(VehicleMessageCenter::evaluate({}, 3, monitors({0x83, 0x07, 0x65, 0x04}), {}), "readiness");
    ASSERT_TRUE(incomplete);
    EXPECT_EQ(incomplete->title, "Moniteurs incomplets");
    EXPECT_EQ(incomplete->detail,
              "Certains tests embarqués n'ont pas terminé leur cycle. Roulez encore avant un contrôle technique.");
    EXPECT_EQ(incomplete->level, Level::attention);
    EXPECT_EQ(incomplete->availability, Availability::readable(0x01));

    EXPECT_FALSE(find(VehicleMessageCenter::evaluate({}, 0, std::nullopt, {}), "readiness"));
}

struct MappedCase {
    const char* name;
    const char* item;
    std::optional<double> value;
    Level level;
    const char* valueText;
};

void PrintTo(const MappedCase& c, std::ostream* os) { *os << c.name; }

class MappedItem : public ::testing::TestWithParam<MappedCase> {};

TEST_P(MappedItem, WarnsAtItsInclusiveBound) {
    const MappedCase& c = GetParam();
    const Mapped mapped{{c.item, {"ECU 7E5", 0x1234, c.value}}};
    const auto message = find(VehicleMessageCenter::evaluate({}, 0, std::nullopt, mapped), c.item);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->level, c.level);
    EXPECT_EQ(message->value, std::optional<std::string>(c.valueText));
    // The entry's unit and identifier, not the table's control unit.
    EXPECT_EQ(message->availability, Availability::mapped("ECU 7E5", 0x1234));
    EXPECT_TRUE(message->isReadable());
    const auto& items = VehicleMessageCenter::proprietaryItems;
    const auto item = std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.id == c.item; });
    EXPECT_EQ(message->detail, item->mappedDetail);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, MappedItem,
    ::testing::Values(MappedCase{"serviceAtBound", "service-due", 1500, Level::warning, "1500 km"},
                      MappedCase{"serviceAbove", "service-due", 1501, Level::ok, "1501 km"},
                      MappedCase{"brakePadsAtBound", "brake-pads", 1, Level::warning, "1"},
                      MappedCase{"brakePadsBelow", "brake-pads", 0, Level::ok, "0"},
                      MappedCase{"washerAtBound", "washer-fluid", 10, Level::warning, "10 %"},
                      MappedCase{"oilLevelOk", "oil-level", 80, Level::ok, "80 %"},
                      MappedCase{"tyresLow", "tire-pressure", 1.9, Level::warning, "2 bar"},
                      MappedCase{"tyresOk", "tire-pressure", 2.4, Level::ok, "2 bar"},
                      MappedCase{"notReadYet", "tire-pressure", std::nullopt, Level::info, "\u2014"}),
    [](const auto& info) { return info.param.name; });

TEST(VehicleMessages, SortedBySeverityKeepingCreationOrder) {
    const Mapped mapped{{"service-due", {"IC", 0x0101, 500.0}}, {"oil-level", {"ME", 0x0202, 50.0}}};
    const auto messages = VehicleMessageCenter::evaluate(
        {{0x05, 125}, {0x5C, 130}, {0x42, 11.5}, {0x2F, 10}, {0x21, 12}}, 4, monitors({0x84, 0x01, 0x01, 0x01}),
        mapped);
    EXPECT_EQ(ids(messages),
              (std::vector<std::string>{"mil", "coolant", "battery", // critical
                                        "oil-temp", "fuel", "service-due", // warning
                                        "readiness", "mil-distance", // attention
                                        "washer-fluid", "brake-pads", "tire-pressure", // info
                                        "oil-level"})); // ok
    EXPECT_TRUE(std::is_sorted(messages.begin(), messages.end(), [](const auto& a, const auto& b) {
        return rawValue(a.level) > rawValue(b.level);
    }));
}

TEST(VehicleMessages, NumbersKeepAPointUnderAFrenchLocale) {
    testing::FrenchLocale french;
    if (!french.active()) GTEST_SKIP() << "no French locale on this machine";
    const auto messages = VehicleMessageCenter::evaluate({{0x42, 12.45}, {0x05, 90.6}}, 0, std::nullopt, {});
    EXPECT_EQ(find(messages, "battery")->value, std::optional<std::string>("12.45 V"));
    EXPECT_EQ(find(messages, "coolant")->value, std::optional<std::string>("91 °C"));
    EXPECT_EQ(find(messages, "battery")->detail, "Charge normale.");
}

TEST(VehicleMessages, LevelRawValues) {
    EXPECT_EQ(rawValue(Level::critical), 4);
    EXPECT_EQ(fromRaw<Level>(2), Level::attention);
    EXPECT_EQ(fromRaw<Level>(5), std::nullopt);
}

} // namespace
} // namespace veq
