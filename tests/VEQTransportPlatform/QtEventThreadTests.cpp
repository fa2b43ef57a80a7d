#include "VEQTransport/Platform/QtEventThread.hpp"

#include "LoopbackServer.hpp"

#include <gtest/gtest.h>

#include <future>
#include <signal.h>

using namespace veq;
using namespace veq::testing;

// Qt ignores SIGPIPE process-wide only once it opens a socket; the link thread must not depend on it.
TEST(QtEventThreadTests, ABrokenPipeOnTheLinkThreadNeverEndsTheProgram) {
    struct sigaction byDefault {}, saved {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &byDefault, &saved);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]); // nobody reads: a write raises SIGPIPE in the writing thread
    std::promise<ssize_t> written;
    {
        QtEventThread thread;
        thread.post([&] { written.set_value(::write(fds[1], "x", 1)); });
        auto result = written.get_future();
        ASSERT_EQ(result.wait_for(safetyTimeout), std::future_status::ready);
        EXPECT_EQ(result.get(), -1);
    }
    ::close(fds[1]);
    ::sigaction(SIGPIPE, &saved, nullptr);
}
