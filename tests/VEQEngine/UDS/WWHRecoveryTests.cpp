#include "VEQEngine/UDS/WWHRecovery.hpp"

#include "VEQEngine/UDS/ScriptedAdapter.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

using namespace veq;
using namespace veq::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

// The engine answers the WWH identifiers listed; others are out of range.
ScriptedAdapter::Script engineWith(std::map<std::string, std::string> answers) {
    return [answers = std::move(answers)](const std::string& line, const AdapterState&) -> std::optional<Lines> {
        if (!line.starts_with("22F4")) return std::nullopt;
        const auto it = answers.find(line);
        return Lines{reply(it == answers.end() ? "7F 22 31" : it->second)};
    };
}

std::optional<double> measurement(const WWHRecovery::Recovered& r) {
    if (const auto* m = std::get_if<PIDReading::Measurement>(&r.reading.value)) return m->value;
    return std::nullopt;
}

TEST(WWHRecovery, ReadsOnlyTheMissingWantedParametersFromTheEngine) {
    ScriptedAdapter adapter(engineWith({{"22F45C", "62 F4 5C 82"}, {"22F446", "62 F4 46 3C"}}));
    WWHRecovery recovery(adapter.session());
    const auto got = recovery.recover({0x0B, 0x33});
    EXPECT_EQ(adapter.lines(), (Lines{"ATSH7E0", "22F45C", "22F470", "22F477", "22F478", "22F45E", "22F4A6", "22F42F",
                                      "22F446"}));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].pid, 0x5C);
    EXPECT_EQ(measurement(got[0]), 90.0);
    EXPECT_EQ(got[1].pid, 0x46);

    ScriptedAdapter complete(engineWith({}));
    EXPECT_TRUE(WWHRecovery(complete.session()).recover({WWHRecovery::wanted.begin(), WWHRecovery::wanted.end()}).empty());
    EXPECT_TRUE(complete.lines().empty());
}

TEST(WWHRecovery, AnswersToOneParameter) {
    const struct {
        std::uint8_t pid;
        std::string answer;
        std::optional<double> value;
    } cases[] = {
        {0x5C, "62 F4 5C 5C 82", 90.0},                // echoed number dropped
        {0x5C, "62 F4 5C 5C", 52.0},                   // a value byte equal to the number
        {0x5C, "62 F4 5C", std::nullopt},
        {0x5C, "62 F4 46 3C", std::nullopt},           // another parameter's answer
        {0x5E, "62 F4 5E 5E 10", 0x5E10 / 20.0},       // two value bytes, the first equal to the number
        {0x5E, "62 F4 5E 5E 5E 10", 0x5E10 / 20.0},
        {0x5E, "62 F4 5E 10", std::nullopt},
    };
    for (const auto& c : cases) {
        ScriptedAdapter adapter(engineWith({{fmt::format("22F4{:02X}", c.pid), c.answer}}));
        const auto got = WWHRecovery(adapter.session()).read({c.pid});
        EXPECT_EQ(got.empty() ? std::nullopt : measurement(got[0]), c.value) << c.answer;
    }
}

// Every read goes to the engine, its header sent only when another is in force; nothing is put
// back. The link failing or a stop ends the run; a refused header fails each read alone.
TEST(WWHRecovery, EveryReadGoesToTheEngineAndOnlyTheLinkOrAStopEndsTheRun) {
    enum class Adapter { answers, cancelledAtTheEngineHeader, refusesTheHeader, linkFailsAtTheFirstRead };
    struct Case {
        const char* name;
        std::optional<std::string> before; // sent with ATSH before the run
        Adapter adapter;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"another ECU's header", "7E1", Adapter::answers, {"ATSH7E0", "22F45C", "22F446"}},
        {"the engine's header", "7E0", Adapter::answers, {"22F45C", "22F446"}},
        {"cancelled at the engine header", std::nullopt, Adapter::cancelledAtTheEngineHeader, {"ATSH7E0"}},
        {"header refused", std::nullopt, Adapter::refusesTheHeader, {"ATSH7E0", "ATSH7E0"}},
        {"link lost", std::nullopt, Adapter::linkFailsAtTheFirstRead, {"ATSH7E0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::stop_source source;
        ScriptedAdapter adapter([&](const std::string& line, const AdapterState&) {
            std::optional<std::vector<std::string>> answer;
            if (line == "ATSH7E0" && c.adapter == Adapter::cancelledAtTheEngineHeader) {
                source.request_stop(); // while the adapter has not answered yet
                answer.emplace();      // and never does
            }
            if (line == "ATSH7E0" && c.adapter == Adapter::refusesTheHeader) answer = Lines{reply("?")};
            if (line.starts_with("22F4")) answer = Lines{reply("62 " + line.substr(2, 2) + " " + line.substr(4) + " 82")};
            return answer;
        });
        if (c.before) adapter.session().raw("ATSH" + *c.before);
        if (c.adapter == Adapter::linkFailsAtTheFirstRead) adapter.transport().failSendsContaining("22F4");
        const std::size_t start = adapter.lines().size();
        WWHRecovery recovery(adapter.session());
        const auto got = recovery.read({0x5C, 0x46}, source.get_token());
        EXPECT_EQ(got.size(), c.adapter == Adapter::answers ? 2u : 0u);
        EXPECT_EQ(adapter.linesFrom(start), c.lines);
    }
}

} // namespace
