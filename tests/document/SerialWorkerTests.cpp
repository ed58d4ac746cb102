#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "document/SerialWorker.h"

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

}  // namespace
}  // namespace movigram
