// The reads of the connection against replies as adapters print them.
#include "VEQUI/Model/ConnectionReads.hpp"

#include "VEQEngine/Session/ScriptedTransport.hpp"

#include <gtest/gtest.h>

#include <map>

using namespace veq;
using namespace veq::testing;
using namespace veq::ConnectionReads;

namespace {

// A session on CAN with headers whose adapter answers each listed request with its lines
// ("NO DATA" otherwise) after the AT commands listed in `setUp`.
struct Adapter {
    SessionRig rig;

    explicit Adapter(std::map<std::string, std::string> answers = {}, std::vector<std::string> setUp = {"ATH1", "ATSP6"})
        : rig([answers](const std::string& line) {
              const auto it = answers.find(line);
              if (it != answers.end()) return std::vector<std::string>{reply(it->second)};
              return std::vector<std::string>{reply(line.starts_with("AT") ? "OK" : "NO DATA")};
          }) {
        for (const auto& command : setUp) rig.session->raw(command);
        rig.session->setFormat(FrameFormat::can11);
    }
    ELM327Session& session() { return *rig.session; }
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
        EXPECT_EQ(codesOf(readDTCs(Adapter({{"ATDPN", "A6"}, {"03", c.reply}}, {"ATH1", "ATDPN"}).session())), c.codes)
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
}
