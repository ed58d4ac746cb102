#pragma once
// A second thread for work that must happen in order but need not hold up
// the caller: jobs run one after another, in the order posted.  At most
// `backlog` jobs wait; post waits for room.  A job that throws drops the
// jobs after it, and the next post or wait throws the exception again.
// Without a thread (one core, or asked for none) post runs the job at once.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace movigram {

class SerialWorker {
public:
    SerialWorker(bool threaded, size_t backlog);
    // Drops the jobs not started and waits for the one running.
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> job);
    // Returns when every job posted has run.
    void wait();

private:
    void run();
    void rethrow();

    const bool threaded_;
    const size_t backlog_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false, stopping_ = false;
    std::exception_ptr error_;
    std::thread thread_;  // started by the first post
};

}  // namespace movigram
