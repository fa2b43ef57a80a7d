// The reads of the connection against replies as adapters print them.
#include "VEQUI/Model/ConnectionReads.hpp"

#include "VEQEngine/Session/ScriptedTransport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

using namespace veq;
using namespace veq::testing;
using namespace veq::ConnectionReads;

namespace {

using Turns = std::map<std::string, std::vector<std::string>>;

// A session on CAN with headers (none when the adapter refused "ATH1") whose adapter answers each
// listed request with its replies in turn, the last one again once they are used up ("NO DATA" for
// any other; nothing at all for an empty one), after the AT commands listed in `setUp`.
struct Adapter {
    SessionRig rig;

    explicit Adapter(const std::map<std::string, std::string>& answers = {}, std::vector<std::string> setUp = {"ATH1", "ATSP6"})
        : Adapter(turnsOf(answers), std::move(setUp)) {}
    Adapter(Turns turns, std::vector<std::string> setUp)
        : rig([turns = std::make_shared<Turns>(std::move(turns))](const std::string& line) {
              const auto it = turns->find(line);
              if (it == turns->end()) return std::vector<std::string>{reply(line.starts_with("AT") ? "OK" : "NO DATA")};
              const std::string answer = it->second.front();
              if (it->second.size() > 1) it->second.erase(it->second.begin());
              if (answer.empty()) return std::vector<std::string>{};
              return std::vector<std::string>{reply(answer)};
          }) {
        for (const auto& command : setUp) rig.session->raw(command);
        rig.session->setFormat(FrameFormat::can11);
    }
    ELM327Session& session() { return *rig.session; }

    static Turns turnsOf(const std::map<std::string, std::string>& answers) {
        Turns turns;
        for (const auto& [line, answer] : answers) turns[line] = {answer};
        return turns;
    }
};

std::vector<std::string> codesOf(const std::vector<DTC>& dtcs) {
    std::vector<std::string> out;
    for (const auto& dtc : dtcs) out.push_back(dtc.code);
    return out;
}

} // namespace

TEST(ConnectionReadsTests, TheVINIsTheFirstRespondersAndNeedsItsEcho) {
    const struct { std::string reply; std::optional<std::string> vin; } cases[] = {
        // Single ECU, count byte 01 before the characters (it is no VIN character).
        {"7E8101449020157444432\r7E82130353030383146\r7E8223132333435360000", "WDD2050081F123456"},
        // Two ECUs: only the first is read, even when the second holds a VIN.
        {"7E8037F0912\r7E9101449020157444432\r7E92130353030383146\r7E9223132333435360000", std::nullopt},
        // ... unless the first only answered another request: a slow ECU's late answer.
        {"7E904410C1000\r7E8101449020157444432\r7E82130353030383146\r7E8223132333435360000", "WDD2050081F123456"},
        // Another PID echoed.
        {"7E8101449030157444432\r7E82130353030383146\r7E8223132333435360000", std::nullopt},
        {"NO DATA", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readVIN(Adapter({{"0902", c.reply}}).session()), c.vin) << c.reply;
    }
}

TEST(ConnectionReadsTests, TheFuelTypeIsTheLabelReadOrNothingWhateverGoesWrong) {
    const struct { std::string reply; std::optional<FuelType> fuel; } cases[] = {
        {"7E8034151 04", FuelType::diesel},
        {"7E8034151 01", FuelType::gasoline},
        {"7E8034151 00", FuelType::notAvailable},
        {"7E8034151 7F", std::nullopt}, // a byte that names no fuel type
        {"NO DATA", std::nullopt},
        {"7E8037F0112", std::nullopt},
        {"7E904410C1000\r7E8034151 04", FuelType::diesel}, // after a late answer to another request
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fetchFuelType(Adapter({{"0151", c.reply}}).session()), c.fuel) << c.reply;
    }

    // A transport failure is no fuel type, not an error.
    Adapter failing;
    failing.rig.transport->failSendsContaining("0151");
    EXPECT_EQ(fetchFuelType(failing.session()), std::nullopt);
}

TEST(ConnectionReadsTests, StoredCodesOfEveryECUReadWithTheCANCountByte) {
    // The protocol number the adapter reports (A6: CAN) reaches the decoding, which then reads
    // the count byte (the slot after the counted codes is padding); every ECU's codes merged once.
    const struct { std::string reply; std::vector<std::string> codes; } cases[] = {
        {"NO DATA", {}},
        {"7E806430203000171\r7E90443010300", {"P0300", "P0171"}},
        {"7E806430103000171", {"P0300"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(codesOf(readDTCs(Adapter({{"ATDPN", "A6"}, {"03", c.reply}}, {"ATH1", "ATDPN"}).session()).value()), c.codes)
            << c.reply;
    }

    // A transport failure is passed on.
    Adapter failing;
    failing.rig.transport->failSendsContaining("03\r");
    EXPECT_ANY_THROW(readDTCs(failing.session()));
}

TEST(ConnectionReadsTests, MonitorsOfTheFirstResponderWithTheFuelTypeRead) {
    Adapter adapter(std::map<std::string, std::string>{{"0101", "7E8064101 82 07 E5 00"}});
    const auto status = readMonitors(adapter.session(), FuelType::diesel);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->milOn);
    EXPECT_EQ(status->dtcCount, 2);
    EXPECT_TRUE(status->isCompressionIgnition); // the diesel read decides, not bit 3

    EXPECT_EQ(readMonitors(Adapter().session(), std::nullopt), std::nullopt);

    // Another ECU's late answer to another request, printed first, is passed over.
    Adapter late(std::map<std::string, std::string>{{"0101", "7E904410C1000\r7E8064101 82 07 E5 00"}});
    const auto afterLate = readMonitors(late.session(), FuelType::diesel);
    ASSERT_TRUE(afterLate.has_value());
    EXPECT_EQ(afterLate->dtcCount, 2);
}

// A read whose ECU answer came broken (a frame printed twice or lost, cut short, a single frame
// short of its length) is asked once more at once and takes the whole answer; broken twice, it is
// unread, never a partial or wrong value, and never a failure.
TEST(ConnectionReadsTests, AReadBrokenOnTheWayIsAskedOnceMoreAndNeverReadFromTheBrokenMessage) {
    // The engine's ten codes in four frames; the first consecutive frame printed twice.
    const std::string ff = "7E81016430A01410142", cf1 = "7E82101430144014501", cf2 = "7E82246014701480149",
                      cf3 = "7E823014A";
    const std::string tenCodes = ff + "\r" + cf1 + "\r" + cf2 + "\r" + cf3;
    const std::string repeated = ff + "\r" + cf1 + "\r" + cf1 + "\r" + cf2 + "\r" + cf3;
    const std::string vin = "7E8101449020157444432\r7E82130353030383146\r7E8223132333435360000";
    const std::string vinCut = "7E8101449020157444432\r7E82130353030383146";
    const std::string allTen = "P0141 P0142 P0143 P0144 P0145 P0146 P0147 P0148 P0149 P014A";
    // Without headers (the adapter refused them): two ECUs' codes, the second's counted, and that
    // one broken before its first byte; an older protocol's VIN in five lines, then with one printed
    // twice or lost.
    const std::string codesLine1 = "43 01 07 00\r00A\r1: C1 00 41 23 00 00 00";
    const std::string twoECUsCodes = "43 01 07 00\r00A\r0: 43 04 01 33 03 00\r1: C1 00 41 23 00 00 00";
    const std::string carsCodes = "P0700 P0133 P0300 U0100 C0123";
    const std::string legacyVIN1 = "49 02 01 00 00 00 57\r49 02 02 44 44 32 30\r",
                      legacyVIN3 = "49 02 03 35 30 30 38\r49 02 04 31 46 31 32\r49 02 05 33 34 35 36";
    const std::string legacyVIN = legacyVIN1 + legacyVIN3;
    const std::string legacyVINTwice = legacyVIN1 + "49 02 02 44 44 32 30\r" + legacyVIN3;
    const std::string legacyVINLost = "49 02 01 00 00 00 57\r" + legacyVIN3;
    const struct {
        const char* name;
        std::string request;
        std::vector<std::string> replies;
        std::optional<std::string> read; // what is read, codes joined by spaces; nothing when unread
        long asks;
        std::string protocol = "A6"; // what "ATDPN" answers
        bool headers = true;         // "ATH1" taken, else refused
    } cases[] = {
        {"codes without headers broken before their first byte, then whole", "03", {codesLine1, twoECUsCodes}, carsCodes, 2, "A6", false},
        {"codes without headers broken before their first byte twice", "03", {codesLine1}, std::nullopt, 2, "A6", false},
        {"codes without headers on a protocol never learnt", "03", {twoECUsCodes}, carsCodes, 1, "?", false},
        {"the VIN without headers on CAN", "0902", {"014\r0: 49 02 01 57 44 44\r1: 32 30 35 30 30 38 31\r2: 46 31 32 33 34 35 36"},
         "WDD2050081F123456", 1, "A6", false},
        {"an older protocol's VIN", "0902", {legacyVIN}, "WDD2050081F123456", 1, "A3", false},
        {"an older protocol's VIN with a line printed twice", "0902", {legacyVINTwice, legacyVIN}, "WDD2050081F123456", 2, "A3", false},
        {"an older protocol's VIN missing a line, then whole", "0902", {legacyVINLost, legacyVIN}, "WDD2050081F123456", 2, "A3", false},
        {"an older protocol's VIN missing a line twice", "0902", {legacyVINLost}, std::nullopt, 2, "A3", false},
        {"codes with a frame printed twice", "03", {repeated, tenCodes}, allTen, 2},
        {"codes missing a frame", "03", {ff + "\r" + cf1 + "\r" + cf3, tenCodes}, allTen, 2},
        {"codes cut short, then whole in the same reply", "03", {ff + "\r" + cf1 + "\r" + tenCodes}, allTen, 1},
        {"another ECU's whole codes beside a broken message", "03", {"7E90443010700\r" + repeated}, std::nullopt, 2},
        {"codes broken twice", "03", {repeated}, std::nullopt, 2},
        {"codes broken, then no reply at all", "03", {repeated, ""}, std::nullopt, 2},
        // each ECU's whole answer from either reply: 7EA answered whole only the first time
        {"codes of an ECU whole in the first reply only", "03",
         {tenCodes + "\r7E9064302070001\r7EA0443010200", tenCodes + "\r7E906430207000171"},
         allTen + " P0700 P0171 P0200", 2},
        {"codes of an ECU whole in both replies: the later ones", "03",
         {"7E80443010300\r7E9064302070001", "7E80443010171\r7E906430207000171"}, "P0171 P0700", 2},
        {"codes of an ECU broken, then absent", "03", {tenCodes + "\r7E9064302070001", tenCodes}, std::nullopt, 2},
        {"the VIN broken, then no reply at all", "0902", {vinCut, ""}, std::nullopt, 2},
        {"the VIN cut short, then whole in the same reply", "0902", {vinCut + "\r" + vin}, "WDD2050081F123456", 1},
        {"the VIN after a stray consecutive frame", "0902", {"7E8223132\r" + vin}, "WDD2050081F123456", 1},
        {"the VIN cut short, then whole when asked again", "0902", {vinCut, vin}, "WDD2050081F123456", 2},
        {"the VIN broken twice", "0902", {vinCut}, std::nullopt, 2},
        {"the fuel type in a single frame short of its length", "0151", {"7E8044151", "7E8034151 04"}, "Diesel", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Adapter adapter(Turns{{"ATDPN", {c.protocol}}, {"ATH1", {c.headers ? "OK" : "?"}}, {c.request, c.replies}}, {"ATH1", "ATDPN"});
        std::optional<std::string> read;
        if (c.request == "03") {
            if (const auto codes = readDTCs(adapter.session())) {
                std::string joined;
                for (const std::string& code : codesOf(*codes)) joined += (joined.empty() ? "" : " ") + code;
                read = joined;
            }
        } else if (c.request == "0902") {
            read = readVIN(adapter.session());
        } else if (const auto fuel = fetchFuelType(adapter.session())) {
            read = std::string(label(*fuel));
        }
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(std::ranges::count(adapter.rig.transport->lines(), c.request), c.asks);
    }

    // Monitors: a broken status is no status, even one whose bytes all came.
    for (const char* status : {"7E8074101 82 07 E5", "7E8074101 82 07 E5 00"}) {
        Adapter broken(Turns{{"0101", {status}}}, {"ATH1", "ATSP6"});
        EXPECT_EQ(readMonitors(broken.session(), FuelType::diesel), std::nullopt) << status;
        EXPECT_EQ(std::ranges::count(broken.rig.transport->lines(), "0101"), 2) << status;
    }
}
