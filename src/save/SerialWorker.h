#pragma once
// A second thread for work that must happen in order but need not hold up
// the caller: jobs run one after another, in the order posted.  Each job
// weighs something (1 unless told, or say the memory it holds); the jobs
// waiting and the one running weigh at most `backlog` together, or there is
// just one, and post waits for room.  A job that throws drops the jobs after
// it, and the next post or wait throws the exception again.
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

    void post(std::function<void()> job, size_t weight = 1);
    // Returns when every job posted has run.
    void wait();

private:
    void run();
    void rethrow();

    const bool threaded_;
    const size_t backlog_;
    std::mutex mutex_;
    std::condition_variable changed_;
    struct Job {
        std::function<void()> run;
        size_t weight;
    };
    std::deque<Job> jobs_;
    size_t held_ = 0;  // weight of the jobs waiting and running
    bool busy_ = false, stopping_ = false;
    std::exception_ptr error_;
    std::thread thread_;  // started by the first post
};

}  // namespace movigram
