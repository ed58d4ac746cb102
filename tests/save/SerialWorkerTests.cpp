#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "save/SerialWorker.h"

namespace movigram {
namespace {

TEST(SerialWorker, RunsJobsInOrderAndPassesOnWhatOneThrows) {
    for (bool threaded : {false, true}) {
        std::vector<int> ran;
        SerialWorker worker(threaded, 2);
        for (int i = 0; i < 200; ++i) worker.post([&ran, i] { ran.push_back(i); });
        worker.wait();
        ASSERT_EQ(ran.size(), 200u);
        for (int i = 0; i < 200; ++i) EXPECT_EQ(ran[size_t(i)], i);

        // The jobs waiting behind a failed one are dropped; the worker goes on after.
        ran.clear();
        EXPECT_THROW(
            {
                worker.post([] { throw std::runtime_error("job failed"); });
                for (int i = 0; i < 5; ++i) worker.post([&ran, i] { ran.push_back(i); });
                worker.wait();
            },
            std::runtime_error);
        worker.wait();
        worker.post([&ran] { ran.push_back(99); });
        worker.wait();
        ASSERT_FALSE(ran.empty());
        EXPECT_EQ(ran.back(), 99);
    }
}

TEST(SerialWorker, HoldsJobsUpToTheirWeightAndTakesAHeavierOneAlone) {
    SerialWorker worker(true, 10);
    std::atomic<size_t> finished{0};
    size_t posted = 0;
    for (size_t weight : {4, 4, 4, 25, 1, 3, 3, 3}) {
        posted += weight;
        worker.post(
            [&finished, weight] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                finished += weight;
            },
            weight);
        EXPECT_LE(posted - finished, std::max<size_t>(10, weight));
    }
    worker.wait();
    EXPECT_EQ(finished, posted);
}

}  // namespace
}  // namespace movigram
