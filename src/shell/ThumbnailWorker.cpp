#include "ThumbnailWorker.h"

#include <algorithm>

namespace movigram {

ThumbnailWorker::~ThumbnailWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ThumbnailWorker::postPicture(uint64_t id, Task task) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_front({id, std::move(task)});
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    changed_.notify_all();
}

void ThumbnailWorker::postWork(Task task) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({0, std::move(task)});
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    changed_.notify_all();
}

void ThumbnailWorker::cancel(const std::vector<uint64_t>& ids) {
    if (ids.empty()) return;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(queue_, [&](const Queued& q) {
            return q.id != 0 && std::find(ids.begin(), ids.end(), q.id) != ids.end();
        });
    }
    changed_.notify_all();
}

void ThumbnailWorker::cancelAll() {
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
    }
    changed_.notify_all();
}

void ThumbnailWorker::waitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void ThumbnailWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        Task task = std::move(queue_.front().task);
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        task();
        task = nullptr;
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace movigram
