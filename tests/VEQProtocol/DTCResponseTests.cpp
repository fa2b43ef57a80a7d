#include "VEQProtocol/DTCResponse.hpp"

#include "VEQProtocol/ELM327Parser.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Codes = std::vector<std::string>;

namespace {

Codes codes(std::string_view reply, FrameFormat format, OBDMode mode, std::string_view protocol) {
    Codes out;
    for (const DTC& dtc : DTCResponse::codes(ELM327Parser::parse(reply, format), mode, protocol)) out.push_back(dtc.code);
    return out;
}

} // namespace

// Adapter replies as printed, read on CAN (with and without headers) and on the older protocols.
TEST(DTCResponseTests, CodesOfAReplyByProtocol) {
    using F = FrameFormat;
    constexpr OBDMode stored = OBDMode::storedDTCs;
    struct Case { std::string_view reply; FrameFormat format; OBDMode mode; std::string_view protocol; Codes expected; };
    const Case cases[] = {
        // CAN: a count byte, then that many codes
        {"43 02 01 33 03 00\r\r>",                     F::headersOff, stored, "A6", {"P0133", "P0300"}},
        {"43 01 01 71\r\r>",                           F::headersOff, stored, "6",  {"P0171"}},
        {"7E8 04 43 01 01 71\r\r>",                    F::can11,      stored, "6",  {"P0171"}},
        {"18DAF110 04 43 01 01 71\r\r>",               F::can29,      stored, "7",  {"P0171"}},
        {"43 00\r\r>",                                 F::headersOff, stored, "6",  {}},
        {"43 01 01 33\r43 02 03 00 01 71\r43 00\r\r>",  F::headersOff, stored, "6",  {"P0133", "P0300", "P0171"}}, // several ECUs
        {"43 01 01 33 03 00\r\r>",                     F::headersOff, stored, "8",  {"P0133"}},         // no more than counted
        {"43 03 01 33 03\r\r>",                        F::headersOff, stored, "9",  {"P0133"}},         // fewer came
        {"7E8 10 0A 43 04 01 33 03 00\r7E8 21 01 71 04 20 00 00 00\r\r>", F::can11, stored, "6", {"P0133", "P0300", "P0171", "P0420"}},
        // without headers: counted multi-frame messages, each cut to its own count
        {"00A\r0: 43 04 01 43 01 96\r1: 02 34 02 CD 00 00 00\r43 01 01 33\r\r>", F::headersOff, stored, "6",
         {"P0143", "P0196", "P0234", "P02CD", "P0133"}},
        {"00A\r0: 43 04 01 43 01 96\r1: 02 34 02 CD 00 00 00\r00A\r0: 43 04 01 33 03 00\r1: 01 71 04 20 00 00 00\r\r>",
         F::headersOff, stored, "6", {"P0143", "P0196", "P0234", "P02CD", "P0133", "P0300", "P0171", "P0420"}},
        {"47 01 04 20\r\r>",                           F::headersOff, OBDMode::pendingDTCs, "6", {"P0420"}},
        {"4A 01 C1 00\r\r>",                           F::headersOff, OBDMode::permanentDTCs, "6", {"U0100"}},
        // every ECU, in reply order, each code once; answers of another service are no codes
        {"7E8 06 43 02 01 33 03 00\r7E9 06 43 02 03 00 07 00\r7EA 03 7F 03 11\r\r>", F::can11, stored, "6",
         {"P0133", "P0300", "P0700"}},
        {"7E8 04 47 01 04 20\r\r>",                    F::can11,      stored, "6",  {}},
        {"NO DATA\r\r>",                               F::can11,      stored, "6",  {}},
        // older protocols: pairs from the first byte, one 7-byte message per line
        {"43 01 33 03 00 01 71\r\r>",                  F::headersOff, stored, "3",  {"P0133", "P0300", "P0171"}},
        {"43 01 71 00 00 00 00\r\r>",                  F::headersOff, stored, "A5", {"P0171"}},
        {"43 01 33 03 00 01 71\r43 04 20 00 00 00 00\r\r>", F::headersOff, stored, "1", {"P0133", "P0300", "P0171", "P0420"}},
        // an unknown protocol: CAN under a CAN identifier, the older protocols without one
        {"43 01 33 03 00 01 71\r\r>",                  F::headersOff, stored, "",   {"P0133", "P0300", "P0171"}},
        {"7E8 06 43 02 07 00 01 33\r7E9 06 43 02 03 00 C1 00\r7EA 04 43 01 41 23\r\r>", F::can11, stored, "",
         {"P0700", "P0133", "P0300", "U0100", "C0123"}},
        {"18DAF110 04 43 01 01 71\r\r>",               F::can29,      stored, "",   {"P0171"}},
        // ...and without a header, an answer in CAN's form: a count line, or a count byte and whole codes
        {"43 01 07 00\r00A\r0: 43 04 01 33 03 00\r1: C1 00 41 23 00 00 00\r\r>", F::headersOff, stored, "",
         {"P0700", "P0133", "P0300", "U0100", "C0123"}},
        {"43 02 01 33 03 00\r\r>",                     F::headersOff, stored, "",   {"P0133", "P0300"}},
        {"43 01 07 00\r43 01 01 33\r\r>",              F::headersOff, stored, "",   {"P0700", "P0133"}},
        // CAN without headers: each line an ECU's message
        {"43 01 07 00\r43 02 01 33 03 00\r\r>",        F::canHeadersOff, stored, "A6", {"P0700", "P0133", "P0300"}},
    };
    for (const Case& c : cases) EXPECT_EQ(codes(c.reply, c.format, c.mode, c.protocol), c.expected) << c.reply << " on " << c.protocol;
}

TEST(DTCResponseTests, CANProtocolNumbers) {
    for (std::string_view number : {"6", "7", "8", "9", "A", "B", "C", "A6", "A9", "AC", "a7", " 6 "})
        EXPECT_TRUE(DTCResponse::isCANProtocol(number)) << number;
    for (std::string_view number : {"", "0", "1", "2", "3", "4", "5", "A0", "A5", "D", "66", "B6", "ISO 15765-4"})
        EXPECT_FALSE(DTCResponse::isCANProtocol(number)) << number;
}

// Without headers the ECUs' messages cannot be told apart: one cut short, even before its first
// byte, makes the codes broken, and its codes are never taken.
TEST(DTCResponseTests, AnyMessageCutShortWithoutHeadersBreaksTheCodes) {
    using F = FrameFormat;
    constexpr OBDMode stored = OBDMode::storedDTCs;
    const std::string whole = "00A\r0: 43 04 01 43 01 96\r1: 02 34 02 CD 00 00 00\r";
    struct Case { std::string reply; FrameFormat format; bool broken; Codes codes; };
    const Case cases[] = {
        {whole + "43 01 01 33\r\r>", F::canHeadersOff, false, {"P0143", "P0196", "P0234", "P02CD", "P0133"}},
        {whole + "00A\r0: 43 04 01 33 03 00\r\r>", F::headersOff, true, {"P0143", "P0196", "P0234", "P02CD"}},
        {"00A\r0: 43 04 01 33 03 00\r" + whole + "\r>", F::canHeadersOff, true, {"P0143", "P0196", "P0234", "P02CD"}},
        {"43 01 07 00\r00A\r1: C1 00 41 23 00 00 00\r\r>", F::canHeadersOff, true, {"P0700"}},
        {"43 01 07 00\r00A\r1: C1 00 41 23 00 00 00\r\r>", F::headersOff, true, {"P0700"}},
        {"00A\r\r>", F::headersOff, true, {}},
    };
    for (const Case& c : cases) {
        const ELM327Response response = ELM327Parser::parse(c.reply, c.format);
        EXPECT_EQ(DTCResponse::broken(response, stored), c.broken) << c.reply;
        EXPECT_EQ(codes(c.reply, c.format, stored, "6"), c.codes) << c.reply;
    }
}
