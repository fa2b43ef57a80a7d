// Recovery of missing parameters over UDS against a scripted engine ECU.
#include "VEQEngine/WWHRecovery.hpp"

#include "VEQEngine/ScriptedAdapter.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <map>

using namespace veq;
using namespace veq::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The engine answers the WWH identifiers listed (request text to answer); others are out of range.
ScriptedAdapter::Script engineWith(std::map<std::string, std::string> answers) {
    return [answers = std::move(answers)](const std::string& line, const AdapterState&)
               -> std::optional<std::vector<std::string>> {
        if (!line.starts_with("22F4")) return std::nullopt;
        const auto it = answers.find(line);
        return std::vector<std::string>{reply(it == answers.end() ? "7F 22 31" : it->second)};
    };
}

std::optional<double> measurement(const WWHRecovery::Recovered& r) {
    if (const auto* m = std::get_if<PIDReading::Measurement>(&r.reading.value)) return m->value;
    return std::nullopt;
}

TEST(WWHRecovery, NothingMissingSendsNothing) {
    ScriptedAdapter adapter(engineWith({}));
    WWHRecovery recovery(adapter.session());
    const std::set<std::uint8_t> all(WWHRecovery::wanted.begin(), WWHRecovery::wanted.end());
    EXPECT_TRUE(recovery.recover(all).empty());
    EXPECT_TRUE(adapter.lines().empty());
}

TEST(WWHRecovery, ReadsTheMissingWantedParametersBetweenTheHeaders) {
    ScriptedAdapter adapter(engineWith({{"22F45C", "62 F4 5C 82"}, {"22F446", "62 F4 46 3C"}}));
    WWHRecovery recovery(adapter.session());
    const auto got = recovery.recover({0x0B, 0x33});
    EXPECT_EQ(adapter.lines(), (std::vector<std::string>{"ATSH7E0", "22F45C", "22F470", "22F477", "22F478", "22F45E",
                                                         "22F4A6", "22F42F", "22F446", "ATSH7DF"}));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].pid, 0x5C);
    EXPECT_EQ(got[0].name, "Température huile moteur");
    EXPECT_EQ(measurement(got[0]), 90.0);
    EXPECT_EQ(got[1].pid, 0x46);
    EXPECT_EQ(measurement(got[1]), 20.0);
    EXPECT_EQ(recovery.client().targetHeader(), "7E0");
}

TEST(WWHRecovery, AnswersToOneParameter) {
    struct Case {
        const char* name;
        std::uint8_t pid;
        std::string answer;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"one data byte", 0x5C, "62 F4 5C 82", 90.0},
        {"repeated parameter number", 0x5C, "62 F4 5C 5C 82", 90.0},
        {"a value byte equal to the number", 0x5C, "62 F4 5C 5C", 52.0},
        {"echo only", 0x5C, "62 F4 5C", std::nullopt},
        {"refused", 0x5C, "7F 22 31", std::nullopt},
        {"late answer of another parameter", 0x5C, "62 F4 46 3C", std::nullopt},
        // Two-byte fuel rate whose first byte equals the number: both bytes are the value.
        {"value starting with the number", 0x5E, "62 F4 5E 5E 10", 0x5E10 / 20.0},
        {"repeated number before two bytes", 0x5E, "62 F4 5E 5E 5E 10", 0x5E10 / 20.0},
        {"too short", 0x5E, "62 F4 5E 10", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAdapter adapter(engineWith({{fmt::format("22F4{:02X}", c.pid), c.answer}}));
        WWHRecovery recovery(adapter.session());
        const auto got = recovery.read({c.pid});
        if (c.value) {
            ASSERT_EQ(got.size(), 1u);
            EXPECT_DOUBLE_EQ(*measurement(got[0]), *c.value);
        } else {
            EXPECT_TRUE(got.empty());
        }
    }
}

TEST(WWHRecovery, ValueBytesDropTheRepeatedNumberOnlyAtTheRightLength) {
    struct Case {
        std::uint8_t pid;
        int byteCount;
        Bytes answer;
        Bytes value;
    };
    const Case cases[] = {
        {0x5C, 1, {0x5C, 0x82}, {0x82}},
        {0x5C, 1, {0x5C}, {0x5C}},
        {0x5C, 1, {0x46, 0x82}, {0x46, 0x82}},
        {0x5E, 2, {0x5E, 0x10}, {0x5E, 0x10}},
        {0x5E, 2, {0x5E, 0x5E, 0x10}, {0x5E, 0x10}},
        {0xA6, 4, {0xA6, 0x00, 0x10, 0x00}, {0xA6, 0x00, 0x10, 0x00}},
        {0xA6, 4, {0xA6, 0x00, 0x00, 0x10, 0x00}, {0x00, 0x00, 0x10, 0x00}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WWHRecovery::valueBytes(c.pid, c.byteCount, c.answer), c.value) << ::testing::PrintToString(c.answer);
    }
}

TEST(WWHRecovery, OrderKeptAndFailuresLeftOut) {
    ScriptedAdapter adapter(engineWith({{"22F446", "62 F4 46 3C"}, {"22F42F", "62 F4 2F 80"}, {"22F45C", "7F 22 31"}}));
    WWHRecovery recovery(adapter.session());
    const auto got = recovery.read({0x46, 0x5C, 0x02, 0x2F});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].pid, 0x46);
    EXPECT_EQ(got[1].pid, 0x2F);
    // 0x02 has no catalogue row: never requested.
    EXPECT_EQ(adapter.lines(), (std::vector<std::string>{"ATSH7E0", "22F446", "22F45C", "22F42F", "ATSH7DF"}));
}

TEST(WWHRecovery, FailedEngineHeaderEndsTheRunAtOnce) {
    ScriptedAdapter adapter(engineWith({{"22F45C", "62 F4 5C 82"}}));
    adapter.transport().failSendsContaining("ATSH");
    WWHRecovery recovery(adapter.session());
    EXPECT_TRUE(recovery.recover({}).empty());
    EXPECT_TRUE(adapter.lines().empty());
}

} // namespace
