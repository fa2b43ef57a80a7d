#include "VEQEngine/Session/TerminalLine.hpp"

#include "VEQEngine/Session/ScriptedTransport.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace veq {
namespace {

using testing::SessionRig;
using Lines = std::vector<std::string>;

// The terminal's requests keep the header it typed, while the polling (another user of the
// session) goes on with its own between them.
TEST(TerminalLineTest, RequestsKeepTheHeaderTheTerminalSet) {
    SessionRig rig([](const std::string& line) {
        if (line == "ATI") return Lines{"ELM327 v1.5\r\r>"};
        if (line == "ATSH7E2") return Lines{"7E8 02 7E 00\r\r>", "OK\r\r>"}; // an ECU's message before its "OK"
        return Lines{line == "ATSH7E9" ? "?\r\r>" : "OK\r\r>"};
    });
    ELM327Session& session = *rig.session;
    TerminalLine terminal(session);
    const auto poll = [&] { session.query(OBDCommand(0x0C)); };
    const struct {
        const char* what;
        std::function<void()> action;
        Lines sent;
        std::optional<std::string> header; // the terminal's afterwards
    } steps[] = {
        {"before it set one, the OBD header", [&] { terminal.send("0100"); }, {"0100"}, std::nullopt},
        {"typed as is", [&] { terminal.send("at sh 7e1"); }, {"at sh 7e1"}, "7E1"},
        {"the polling takes its own", poll, {"ATSH7DF", "010C"}, "7E1"},
        {"the terminal's comes back", [&] { terminal.send("22F190"); }, {"ATSH7E1", "22F190"}, "7E1"},
        {"adapter commands need none", [&] { terminal.send("ATI"); }, {"ATI"}, "7E1"},
        {"a refused header changes nothing", [&] { terminal.send("ATSH7E9"); }, {"ATSH7E9"}, "7E1"},
        {"still on its header", [&] { terminal.send("22F191"); }, {"22F191"}, "7E1"},
        {"a reset forgets it", [&] { terminal.send("ATZ"); }, {"ATZ"}, std::nullopt},
        {"the polling", poll, {"010C"}, std::nullopt},
        {"OBD's again", [&] { terminal.send("0100"); }, {"0100"}, std::nullopt},
    };
    for (const auto& step : steps) {
        const std::size_t before = rig.transport->lines().size();
        step.action();
        const Lines all = rig.transport->lines();
        EXPECT_EQ(Lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()), step.sent) << step.what;
        EXPECT_EQ(terminal.header(), step.header) << step.what;
    }
    // A setting typed there takes its own "OK", never an ECU's message come before it.
    EXPECT_EQ(terminal.send("ATSH7E2").text, Lines{"OK"});
    EXPECT_EQ(terminal.header(), "7E2");
}

} // namespace
} // namespace veq
