// The bus monitor's recording as a Vector ASC trace.
#include "VEQUI/Model/ASCTrace.hpp"

#include <gtest/gtest.h>

using namespace veq;

namespace {

// 2026-03-01 09:00:00 UTC, and half a second later.
const auto when = std::chrono::system_clock::time_point(std::chrono::seconds(1'772'355'600));
const std::string header = "date 2026-03-01 09:00:00 +0000\nbase hex  timestamps absolute\nno internal events logged\n";

} // namespace

TEST(ASCTraceTests, WithoutFramesTheTraceIsTheThreeHeaderLines) {
    EXPECT_EQ(ASCTrace::text({}, when), header);
    EXPECT_EQ(ASCTrace::text({}, when + std::chrono::milliseconds(900)), header); // whole seconds
}

TEST(ASCTraceTests, OneLinePerFrameWithPaddedTimeIdentifierAndByteCount) {
    const std::vector<RecordedFrame> frames{
        {0.25, "7E8", {0x03, 0x41, 0x0D, 0x00}},
        {1234.5, "18DAF110", {0x02, 0xAB}},
        {0.000001, "123", {0x00}},
    };
    EXPECT_EQ(ASCTrace::text(frames, when), header +
                                                "   0.250000 1  7E8      Rx   d 4 03 41 0D 00\n"
                                                "1234.500000 1  18DAF110x Rx   d 2 02 AB\n"
                                                "   0.000001 1  123      Rx   d 1 00\n");
}
