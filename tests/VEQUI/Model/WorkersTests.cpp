// The model's worker threads and its in-order command queue.
#include "VEQUI/Model/CommandQueue.hpp"
#include "VEQUI/Model/Workers.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

using namespace veq;

TEST(WorkersTests, CommandsRunInTheOrderQueuedAndCloseLetsTheQueuedOnesFinish) {
    CommandQueue queue;
    std::vector<int> ran;
    for (int i = 0; i < 100; ++i) queue.enqueue([&ran, i](std::stop_token) { ran.push_back(i); });
    queue.close();
    queue.enqueue([&ran](std::stop_token) { ran.push_back(-1); }); // after close: dropped
    {
        Workers workers;
        workers.start([&queue](std::stop_token stop) { queue.run(std::move(stop)); });
    } // the consumer returns by itself once the queue is closed and empty
    std::vector<int> expected;
    for (int i = 0; i < 100; ++i) expected.push_back(i);
    EXPECT_EQ(ran, expected);
}

// Threads that end only by their stop token: going away stops and joins every one; a source
// stops its own threads together; a handle cancels only its own.
TEST(WorkersTests, StopsReachEachThreadBySourceByHandleAndAtTheEnd) {
    std::atomic<int> ended{0};
    const auto waitForStop = [&ended](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        never.wait(lock, stop, [] { return false; });
        ++ended;
    };
    CommandQueue idle; // never closed: only a stop ends its consumer
    {
        Workers workers;
        std::stop_source connection;
        auto first = workers.start(waitForStop, connection);
        auto second = workers.start(waitForStop, connection);
        auto other = workers.start(waitForStop);
        workers.start([&](std::stop_token stop) {
            idle.run(stop);
            ++ended;
        });
        connection.request_stop();
        while (first.running() || second.running()) std::this_thread::yield();
        EXPECT_EQ(ended.load(), 2);
        EXPECT_TRUE(other.running());
        other.cancel();
        while (other.running()) std::this_thread::yield();
        EXPECT_EQ(ended.load(), 3);
    }
    EXPECT_EQ(ended.load(), 4);
}
