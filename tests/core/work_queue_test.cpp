#include "core/work_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace brintale {
namespace {

struct Job {
    int number = -1;
    int worked = 0;  // times the work ran on it
    int delayMicroseconds = 0;
};

// Whatever the threads, the room and the time each item takes, every item is worked once
// and comes back in the order given, and no more than the room is held.
TEST(OrderedWorkQueue, HandsBackEveryItemOnceInOrderWithinItsRoom) {
    std::mt19937 random(7);
    for (int threads : {0, 1, 2, 4})
        for (std::size_t capacity : {1, 2, 5}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, room " + std::to_string(capacity));
            std::atomic<int> held{0}, mostHeld{0};
            OrderedWorkQueue<Job> queue(threads, capacity, [](Job& job) {
                ++job.worked;
                std::this_thread::sleep_for(std::chrono::microseconds(job.delayMicroseconds));
            });
            std::vector<int> taken;
            const auto take = [&](Job& job) {
                EXPECT_EQ(job.worked, 1);
                taken.push_back(job.number);
                --held;
            };
            constexpr int kItems = 60;
            for (int k = 0; k < kItems; ++k) {
                Job job;
                job.number = k;
                job.delayMicroseconds = int(random() % 300);
                mostHeld = std::max(mostHeld.load(), ++held);
                queue.Push(std::move(job), take);
                if (k % 7 == 0) queue.TakeFinished(false, take);
            }
            queue.TakeFinished(true, take);
            std::vector<int> expected(kItems);
            for (int k = 0; k < kItems; ++k) expected[std::size_t(k)] = k;
            EXPECT_EQ(taken, expected);
            // One more than the room counts the item being pushed, before it finds room.
            EXPECT_LE(mostHeld.load(), int(capacity) + 1);
        }
}

// One thread works the items one after the other in the order given, so that work that
// carries state from one item to the next may use it.
TEST(OrderedWorkQueue, OneThreadWorksInOrderOneAtATime) {
    std::atomic<int> busy{0};
    std::vector<int> order;  // written by the one thread alone
    OrderedWorkQueue<Job> queue(1, 3, [&](Job& job) {
        EXPECT_EQ(++busy, 1);
        order.push_back(job.number);
        std::this_thread::sleep_for(std::chrono::microseconds(job.number % 3 * 100));
        --busy;
    });
    for (int k = 0; k < 30; ++k) queue.Push(Job{k, 0, 0}, [](Job&) {});
    queue.TakeFinished(true, [](Job&) {});
    std::vector<int> expected(30);
    for (int k = 0; k < 30; ++k) expected[std::size_t(k)] = k;
    EXPECT_EQ(order, expected);
}

// What the work throws reaches the caller at its next call, and nothing starts after it.
TEST(OrderedWorkQueue, AFailureReachesTheCallerAndStopsTheWork) {
    for (int threads : {0, 1}) {
        SCOPED_TRACE(threads);
        std::atomic<int> worked{0};
        OrderedWorkQueue<Job> queue(threads, 100, [&](Job& job) {
            ++worked;
            if (job.number == 3) throw std::runtime_error("item 3");
        });
        bool thrown = false;
        try {
            for (int k = 0; k < 10; ++k) queue.Push(Job{k, 0, 0}, [](Job&) {});
            queue.TakeFinished(true, [](Job&) {});
        } catch (const std::runtime_error& e) {
            thrown = true;
            EXPECT_STREQ(e.what(), "item 3");
        }
        EXPECT_TRUE(thrown);
        EXPECT_EQ(worked.load(), 4);  // 0 to 3, none after the failure
        EXPECT_THROW(queue.WorkHere(), std::runtime_error);
    }
}

// The caller's thread can work too: with no other thread it does all the work, with others
// it shares it, and every item is worked once.
TEST(OrderedWorkQueue, TheCallerWorksTooWhenAsked) {
    for (int threads : {0, 1, 3}) {
        SCOPED_TRACE(threads);
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<int> byCaller{0}, byOthers{0};
        std::vector<int> worked(200, 0);
        OrderedWorkQueue<int> queue(threads, worked.size(), [&](int& k) {
            ++worked[std::size_t(k)];
            ++(std::this_thread::get_id() == caller ? byCaller : byOthers);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        });
        for (int k = 0; k < int(worked.size()); ++k) {
            int item = k;
            EXPECT_TRUE(queue.TryPush(item));
        }
        queue.WorkHere();
        queue.TakeFinished(true, [](int) {});
        EXPECT_EQ(worked, std::vector<int>(worked.size(), 1));
        EXPECT_EQ(byCaller + byOthers, int(worked.size()));
        if (threads == 0) {
            EXPECT_EQ(byOthers.load(), 0);
        }
    }
}

// A queue ended with work waiting and under way stops without waiting for the waiting work.
TEST(OrderedWorkQueue, EndsWithWorkLeft) {
    std::atomic<int> worked{0};
    {
        OrderedWorkQueue<Job> queue(1, 10, [&](Job&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ++worked;
        });
        for (int k = 0; k < 10; ++k) queue.Push(Job{k, 0, 0}, [](Job&) {});
    }
    EXPECT_LT(worked.load(), 10);
}

}  // namespace
}  // namespace brintale
