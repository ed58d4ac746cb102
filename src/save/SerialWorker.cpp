#include "SerialWorker.h"

#include <utility>

namespace movigram {

SerialWorker::SerialWorker(bool threaded, size_t backlog)
    : threaded_(threaded && std::thread::hardware_concurrency() > 1), backlog_(backlog < 1 ? 1 : backlog) {}

SerialWorker::~SerialWorker() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    changed_.notify_all();
    thread_.join();
}

void SerialWorker::rethrow() {
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void SerialWorker::post(std::function<void()> job, size_t weight) {
    if (!threaded_) {
        job();
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return held_ == 0 || held_ + weight <= backlog_ || error_; });
    rethrow();
    jobs_.push_back({std::move(job), weight});
    held_ += weight;
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    lock.unlock();
    changed_.notify_all();
}

void SerialWorker::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return (jobs_.empty() && !busy_) || error_; });
    rethrow();
}

void SerialWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !jobs_.empty() || stopping_; });
        if (stopping_) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        std::exception_ptr error;
        try {
            job.run();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        busy_ = false;
        held_ -= job.weight;
        if (error) {
            error_ = error;
            jobs_.clear();
            held_ = 0;
        }
        changed_.notify_all();
    }
}

}  // namespace movigram
