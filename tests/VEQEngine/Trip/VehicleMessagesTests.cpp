#include "VEQEngine/Trip/VehicleMessages.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace veq {
namespace {

using Level = VehicleMessage::Level;
using Availability = VehicleMessage::Availability;
using Mapped = std::map<std::string, VehicleMessageCenter::MappedDID>;
using Ids = std::vector<std::string>;

std::optional<MonitorStatus> monitors(std::vector<std::uint8_t> bytes) { return MonitorStatus::decode(bytes); }

std::optional<VehicleMessage> find(const std::vector<VehicleMessage>& messages, const std::string& id) {
    const auto it = std::find_if(messages.begin(), messages.end(), [&](const auto& m) { return m.id == id; });
    return it == messages.end() ? std::nullopt : std::optional(*it);
}

TEST(VehicleMessages, NothingKnownGivesLampOffAndTheFiveProprietaryItems) {
    const auto messages = VehicleMessageCenter::evaluate({}, 0, std::nullopt, {});
    Ids ids;
    for (const auto& m : messages) ids.push_back(m.id);
    EXPECT_EQ(ids, (Ids{"washer-fluid", "service-due", "brake-pads", "oil-level", "tire-pressure", "mil"}));
    EXPECT_EQ(messages.front(),
              (VehicleMessage{"washer-fluid", "Niveau de lave-glace",
                              "Non publié par l'OBD-II normalisé. Le capteur de niveau est géré par le SAM avant, sur le bus CAN-B.",
                              Level::info,
                              Availability::requiresDID("SAM avant", "Cherchez un DID booléen (00/01) qui bascule quand vous "
                                                                     "videz le réservoir."),
                              std::nullopt, "drop.triangle.fill"}));
    EXPECT_EQ(messages.back(), (VehicleMessage{"mil", "Témoin moteur éteint", "Aucun défaut moteur signalé.", Level::ok,
                                               Availability::readable(0x01), std::nullopt, "engine.combustion.fill"}));
}

TEST(VehicleMessages, LampFollowsTheMonitorsOrElseTheCodeCount) {
    const char* on = "Témoin moteur allumé";
    const struct {
        std::optional<std::vector<std::uint8_t>> monitorBytes;
        int codes;
        const char* title;
        std::string detail;
        Level level;
        std::optional<std::string> value;
    } cases[] = {
        {std::nullopt, 2, on, "2 code(s) défaut mémorisé(s). Consultez l'onglet Diagnostic.", Level::critical, "2"},
        {std::vector<std::uint8_t>{0x03, 0, 0, 0}, 3, "Témoin moteur éteint", "Aucun défaut moteur signalé.", Level::ok, "3"},
        {std::vector<std::uint8_t>{0x80, 0, 0, 0}, 0, on, "0 code(s) défaut mémorisé(s). Consultez l'onglet Diagnostic.",
         Level::critical, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto lamp = find(VehicleMessageCenter::evaluate({}, c.codes, c.monitorBytes ? monitors(*c.monitorBytes) : std::nullopt, {}), "mil");
        ASSERT_TRUE(lamp);
        EXPECT_EQ(std::tie(lamp->title, lamp->detail, lamp->level, lamp->value), std::tie(c.title, c.detail, c.level, c.value));
    }
}

TEST(VehicleMessages, ReadingsHaveTheirLevelDetailAndValueTextAtEachThreshold) {
    const std::string overheat = "Surchauffe — arrêtez-vous dès que possible.", normal = "Température normale.",
                      oil = "Huile très chaude — levez le pied.", low = "Tension faible : batterie en fin de vie ou alternateur défaillant.",
                      reserve = "Réserve — pensez à faire le plein.";
    const struct {
        std::uint8_t pid;
        double value;
        const char* id;
        Level level;
        std::string detail;
        const char* text;
    } cases[] = {
        {0x05, 120, "coolant", Level::critical, overheat, "120 °C"},
        {0x05, 119.9, "coolant", Level::warning, overheat, "120 °C"},
        {0x05, 112, "coolant", Level::warning, overheat, "112 °C"},
        {0x05, 111.9, "coolant", Level::ok, normal, "112 °C"},
        {0x05, 60, "coolant", Level::ok, normal, "60 °C"},
        {0x05, 59.9, "coolant", Level::info, "Moteur en montée en température.", "60 °C"},
        {0x5C, 135, "oil-temp", Level::critical, oil, "135 °C"},
        {0x5C, 125, "oil-temp", Level::warning, oil, "125 °C"},
        {0x5C, 124.9, "oil-temp", Level::ok, "Température d'huile normale.", "125 °C"},
        {0x42, 12.2, "battery", Level::ok, "Charge normale.", "12.20 V"},
        {0x42, 11.9, "battery", Level::warning, low, "11.90 V"},
        {0x42, 11.8, "battery", Level::warning, low, "11.80 V"},
        {0x42, 11.79, "battery", Level::critical, low, "11.79 V"},
        {0x42, 15.0, "battery", Level::ok, "Charge normale.", "15.00 V"},
        {0x42, 15.01, "battery", Level::warning, "Tension élevée : régulateur d'alternateur suspect.", "15.01 V"},
        {0x2F, 7.9, "fuel", Level::critical, reserve, "8 %"},
        {0x2F, 8, "fuel", Level::warning, reserve, "8 %"},
        {0x2F, 15, "fuel", Level::ok, "Niveau suffisant.", "15 %"},
        {0x21, 0.4, "mil-distance", Level::attention, "Distance parcourue depuis l'allumage du témoin moteur.", "0 km"},
    };
    for (const auto& c : cases) {
        const auto message = find(VehicleMessageCenter::evaluate({{c.pid, c.value}}, 0, std::nullopt, {}), c.id);
        ASSERT_TRUE(message) << c.id << " " << c.value;
        EXPECT_EQ(message->level, c.level) << c.id << " " << c.value;
        EXPECT_EQ(message->detail, c.detail) << c.id << " " << c.value;
        EXPECT_EQ(message->value, std::optional<std::string>(c.text)) << c.id << " " << c.value;
    }
    EXPECT_FALSE(find(VehicleMessageCenter::evaluate({{0x21, 0}}, 0, std::nullopt, {}), "mil-distance"));
}

TEST(VehicleMessages, ReadinessAndMappedItems) {
    const auto ready = find(VehicleMessageCenter::evaluate({}, 0, monitors({0, 0, 0, 0}), {}), "readiness");
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->detail, "Tous les tests embarqués ont terminé leur cycle : le véhicule est prêt pour un contrôle technique.");
    EXPECT_EQ(ready->level, Level::ok);
    const auto incomplete = find(VehicleMessageCenter::evaluate({}, 3, monitors({0x83, 0x07, 0x65, 0x04}), {}), "readiness");
    ASSERT_TRUE(incomplete);
    EXPECT_EQ(incomplete->title, "Moniteurs incomplets");
    EXPECT_EQ(incomplete->level, Level::attention);

    const struct {
        const char* item;
        std::optional<double> value;
        Level level;
        const char* text;
    } cases[] = {{"service-due", 1500, Level::warning, "1500 km"}, {"service-due", 1501, Level::ok, "1501 km"},
                 {"brake-pads", 1, Level::warning, "1"},           {"washer-fluid", 10, Level::warning, "10 %"},
                 {"tire-pressure", 1.9, Level::warning, "2 bar"},  {"tire-pressure", std::nullopt, Level::info, "\u2014"}};
    for (const auto& c : cases) {
        const auto message = find(VehicleMessageCenter::evaluate({}, 0, std::nullopt, Mapped{{c.item, {"ECU 7E5", 0x1234, c.value}}}), c.item);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->level, c.level) << c.item;
        EXPECT_EQ(message->value, std::optional<std::string>(c.text)) << c.item;
        EXPECT_EQ(message->availability, Availability::mapped("ECU 7E5", 0x1234));
    }
}

TEST(VehicleMessages, SortedBySeverityKeepingCreationOrder) {
    const Mapped mapped{{"service-due", {"IC", 0x0101, 500.0}}, {"oil-level", {"ME", 0x0202, 50.0}}};
    const auto messages = VehicleMessageCenter::evaluate({{0x05, 125}, {0x5C, 130}, {0x42, 11.5}, {0x2F, 10}, {0x21, 12}}, 4,
                                                         monitors({0x84, 0x01, 0x01, 0x01}), mapped);
    Ids ids;
    for (const auto& m : messages) ids.push_back(m.id);
    EXPECT_EQ(ids, (Ids{"mil", "coolant", "battery", "oil-temp", "fuel", "service-due", "readiness", "mil-distance",
                        "washer-fluid", "brake-pads", "tire-pressure", "oil-level"}));
}

TEST(VehicleMessages, NumbersKeepAPointUnderAFrenchLocale) {
    testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is missing: scripts/install-deps generates it";
    const auto messages = VehicleMessageCenter::evaluate({{0x42, 12.45}, {0x05, 90.6}}, 0, std::nullopt, {});
    EXPECT_EQ(find(messages, "battery")->value, std::optional<std::string>("12.45 V"));
    EXPECT_EQ(find(messages, "coolant")->value, std::optional<std::string>("91 °C"));
}

} // namespace
} // namespace veq
