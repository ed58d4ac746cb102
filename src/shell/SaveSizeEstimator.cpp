#include "SaveSizeEstimator.h"

#include "EditorSession.h"
#include "commands/SaveCommands.h"

namespace movigram {

SaveSizeEstimator::SaveSizeEstimator(EditorSession& session, QObject* parent) : QObject(parent), session_(session) {
    settle_.setSingleShot(true);
    settle_.setInterval(settleMs);
    connect(&settle_, &QTimer::timeout, this, &SaveSizeEstimator::start);
    session_.document().addObserver(this);
    schedule();
}

SaveSizeEstimator::~SaveSizeEstimator() {
    shutDown();
    session_.document().removeObserver(this);
}

void SaveSizeEstimator::shutDown() {
    shutDown_ = true;
    settle_.stop();
    std::unique_ptr<SizeEstimate> dropped;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        if (running_) running_->stop();
        dropped = std::move(queued_);
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool SaveSizeEstimator::running() const {
    std::lock_guard lock(mutex_);
    return running_ != nullptr;
}

int SaveSizeEstimator::runsStopped() const {
    std::lock_guard lock(mutex_);
    return runsStopped_;
}

void SaveSizeEstimator::schedule() {
    if (shutDown_) return;
    // What is being measured is out of date already.
    {
        std::lock_guard lock(mutex_);
        if (running_) running_->stop();
    }
    settle_.start();
    if (!computing_) {
        computing_ = true;
        emit changed();
    }
}

void SaveSizeEstimator::start() {
    // In the middle of a long operation (which lets the window repaint) or
    // of reading files, the document is not finished: later.
    if (session_.isBusy() || session_.isReading()) {
        settle_.start();
        return;
    }
    auto estimate = std::make_unique<SizeEstimate>(session_.document());
    std::unique_ptr<SizeEstimate> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped = std::exchange(queued_, std::move(estimate));
        queuedGeneration_ = ++generation_;
        if (!worker_.joinable()) worker_ = std::thread([this] { work(); });
    }
    wake_.notify_all();
}

void SaveSizeEstimator::finished(uint64_t generation, std::optional<uint64_t> size) {
    // A measure of an older document: the one of the latest is on its way.
    if (generation != generation_ || settle_.isActive()) return;
    computing_ = false;
    size_ = size;
    emit changed();
}

void SaveSizeEstimator::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return quit_ || queued_; });
        if (quit_) return;
        std::unique_ptr<SizeEstimate> estimate = std::move(queued_);
        const uint64_t generation = queuedGeneration_;
        running_ = estimate.get();
        lock.unlock();
        const std::optional<uint64_t> size = estimate->run();
        lock.lock();
        running_ = nullptr;
        if (!size && estimate->stopRequested()) ++runsStopped_;
        lock.unlock();
        estimate.reset();
        // Dropped, with the other events posted to it, if this goes first.
        QMetaObject::invokeMethod(this, [this, generation, size] { finished(generation, size); },
                                  Qt::QueuedConnection);
        lock.lock();
    }
}

}  // namespace movigram
