#pragma once
// The one way long operations report how far they are: a percentage, 0 to
// 100.  The editor's gauge, the command-line tool and tests implement it; a
// step of a longer operation reports through a band of its caller's range.
// The same object tells the operation when to give up: work measured on
// another thread is stopped when what it measures has changed.
#include <atomic>
#include <functional>
#include <utility>

namespace movigram {

// A request to give up, made on one thread and seen on others.
class StopToken {
public:
    void requestStop() { stop_.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> stop_{false};
};

class Progress {
public:
    virtual ~Progress() = default;
    virtual void setProgress(int /*percent*/) {}
    // Whether the operation should give up: the loops over images look
    // between images, and an operation that gave up has no result.
    virtual bool stopRequested() const { return false; }
};

// 0..100 of a part of an operation shown as from..to of the whole.
class ProgressBand : public Progress {
public:
    ProgressBand(Progress* whole, int from, int to) : whole_(whole), from_(from), to_(to) {}
    void setProgress(int percent) override {
        if (whole_) whole_->setProgress(from_ + (to_ - from_) * percent / 100);
    }
    bool stopRequested() const override { return whole_ && whole_->stopRequested(); }

private:
    Progress* whole_;
    int from_, to_;
};

// Hands each percentage to a function (tests, tools).
class ProgressFunction : public Progress {
public:
    explicit ProgressFunction(std::function<void(int)> fn) : fn_(std::move(fn)) {}
    void setProgress(int percent) override { fn_(percent); }

private:
    std::function<void(int)> fn_;
};

}  // namespace movigram
