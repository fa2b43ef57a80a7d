// The bus monitor's recording as a Vector ASC trace, read back by python-can.
#include "VEQUI/Model/ASCTrace.hpp"

#include "TestSupport/ExternalTool.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;

TEST(ASCTraceTests, ThreeHeaderLinesThenOneLinePerFrameThatPythonCanReadsBack) {
    // 2026-03-01 09:00:00 UTC; the header gives whole seconds.
    const auto when = std::chrono::system_clock::time_point(std::chrono::seconds(1'772'355'600));
    const std::string header = "date 2026-03-01 09:00:00 +0000\nbase hex  timestamps absolute\nno internal events logged\n";
    EXPECT_EQ(ASCTrace::text({}, when + std::chrono::milliseconds(900)), header);

    const std::vector<RecordedFrame> frames{
        {0.25, "7E8", {0x03, 0x41, 0x0D, 0x00}},
        {1234.5, "18DAF110", {0x02, 0xAB}},
        {0.000001, "123", {0x00}},
    };
    const std::string trace = ASCTrace::text(frames, when);
    EXPECT_EQ(trace, header +
                         "   0.250000 1  7E8      Rx   d 4 03 41 0D 00\n"
                         "1234.500000 1  18DAF110x Rx   d 2 02 AB\n"
                         "   0.000001 1  123      Rx   d 1 00\n");

    TemporaryFolder folder;
    writeFile(folder / "trace.asc", trace);
    const std::string reader = "import can, sys\n"
                               "for m in can.ASCReader(sys.argv[1]):\n"
                               "    print(f'{m.timestamp:.6f} {m.arbitration_id:X} {int(m.is_extended_id)} {m.channel} "
                               "{int(m.is_rx)} {m.dlc} {m.data.hex().upper()}')\n";
    const ToolResult read =
        runTool("/usr/bin/python3 -c " + shellQuoted(reader) + " " + shellQuoted((folder / "trace.asc").string()));
    ASSERT_EQ(read.exitStatus, 0) << read.output;
    EXPECT_EQ(read.output, "0.250000 7E8 0 0 1 4 03410D00\n"
                           "1234.500000 18DAF110 1 0 1 2 02AB\n"
                           "0.000001 123 0 0 1 1 00\n");
}
