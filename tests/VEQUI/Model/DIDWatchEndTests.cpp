// A watch that has been ended, by the user or by the disconnection, changes the list no more:
// readings still on their way to the GUI thread are dropped.
#include "ToolFixtures.hpp"

#include <gtest/gtest.h>

#include <thread>

using namespace veq;
using namespace veq::testing;

namespace {

int readsOf(const AppModel& model, std::uint16_t did) {
    for (const DiscoveredDID& d : model.discoveredDIDs()) {
        if (d.did == did && d.ecu == "7E0") return d.reads;
    }
    return -1;
}

} // namespace

TEST(DIDWatchEndTests, ReadingsStillQueuedWhenTheWatchEndsAreDropped) {
    const std::vector<std::pair<const char*, std::function<void(AppModel&)>>> endings{
        {"the user's stop", [](AppModel& m) { m.toggleDIDWatch(); }},
        {"the disconnection", [](AppModel& m) { m.disconnect(); }},
    };
    for (const auto& [name, end] : endings) {
        SCOPED_TRACE(name);
        ConnectionRig rig;
        ASSERT_TRUE(rig.connect()) << rig->phase().message;
        rig->startDIDScan(DIDRange{0x2001, 0x2001, {}, {}});
        ASSERT_TRUE(waitUntil([&] { return !rig->didScanning(); }, 30s));
        ASSERT_EQ(readsOf(*rig, 0x2001), 1);

        rig->toggleDIDWatch();
        ASSERT_TRUE(waitUntil([&] { return readsOf(*rig, 0x2001) >= 2; }, 20s));
        // The GUI thread busy for a while: the watch's readings queue up meanwhile.
        std::this_thread::sleep_for(300ms);
        const int reads = readsOf(*rig, 0x2001);
        end(*rig);
        settleFor(300ms);
        EXPECT_EQ(readsOf(*rig, 0x2001), reads);
        rig->disconnect();
    }
}
