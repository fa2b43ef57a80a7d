#include "VEQTransport/Platform/QtEventThread.hpp"

#include "LoopbackServer.hpp"

#include <gtest/gtest.h>

#include <future>
#include <signal.h>
#include <unistd.h>

using namespace veq;
using namespace veq::testing;

namespace {

// Gives SIGPIPE its default action (ending the program) while it lives. Qt sets it to be
// ignored when it opens a socket; the links must not depend on that.
class DefaultBrokenPipeAction {
public:
    DefaultBrokenPipeAction() {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &action, &saved_);
    }
    ~DefaultBrokenPipeAction() { ::sigaction(SIGPIPE, &saved_, nullptr); }

private:
    struct sigaction saved_ {};
};

} // namespace

TEST(QtEventThreadTests, WorkRunsInOrderAndAllOfItBeforeTheThreadEnds) {
    std::vector<int> order;
    std::promise<bool> delayedRan;
    {
        QtEventThread thread;
        for (int i = 0; i < 100; ++i) thread.post([&order, i] { order.push_back(i); });
        thread.postAfter(std::chrono::milliseconds(0), [&] { delayedRan.set_value(true); });
        ASSERT_EQ(delayedRan.get_future().wait_for(safetyTimeout), std::future_status::ready);
    }
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(QtEventThreadTests, ABrokenPipeOnTheLinkThreadNeverEndsTheProgram) {
    DefaultBrokenPipeAction defaultAction;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]); // nobody reads: a write raises SIGPIPE in the writing thread
    std::promise<ssize_t> written;
    {
        QtEventThread thread;
        thread.post([&] { written.set_value(::write(fds[1], "x", 1)); });
        auto result = written.get_future();
        ASSERT_EQ(result.wait_for(safetyTimeout), std::future_status::ready);
        EXPECT_EQ(result.get(), -1); // the write failed, and the program goes on
    }
    ::close(fds[1]);
}
