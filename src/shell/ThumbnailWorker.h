#pragma once
// One thread that makes the frame list's pictures.  Pictures run before
// longer work, the newest first: the lines asked for last are the ones on
// screen.  A task that is no longer wanted is dropped before it starts.
// Tasks work only on what they own (the copies the window's thread made)
// and hand their results back to the window's thread themselves.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace movigram {

class ThumbnailWorker {
public:
    using Task = std::function<void()>;

    ThumbnailWorker() = default;
    // Drops the tasks not started and waits for the one running.
    ~ThumbnailWorker();
    ThumbnailWorker(const ThumbnailWorker&) = delete;
    ThumbnailWorker& operator=(const ThumbnailWorker&) = delete;

    // A picture, known by a number for cancel: before every task waiting.
    void postPicture(uint64_t id, Task task);
    // Longer work: after every picture, in the order posted.
    void postWork(Task task);
    void cancel(const std::vector<uint64_t>& ids);
    void cancelAll();
    // Returns when no task waits or runs (tests and the benchmark).
    void waitIdle();

private:
    void run();

    struct Queued {
        uint64_t id;  // 0 for work
        Task task;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Queued> queue_;
    bool busy_ = false, stopping_ = false;
    std::thread thread_;  // started by the first task
};

}  // namespace movigram
