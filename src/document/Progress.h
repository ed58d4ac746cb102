#pragma once
// The one way long operations report how far they are: a percentage, 0 to
// 100.  The editor's gauge, the command-line tool and tests implement it; a
// step of a longer operation reports through a band of its caller's range.
#include <functional>
#include <utility>

namespace movigram {

class Progress {
public:
    virtual ~Progress() = default;
    virtual void setProgress(int /*percent*/) {}
};

// 0..100 of a part of an operation shown as from..to of the whole.
class ProgressBand : public Progress {
public:
    ProgressBand(Progress* whole, int from, int to) : whole_(whole), from_(from), to_(to) {}
    void setProgress(int percent) override {
        if (whole_) whole_->setProgress(from_ + (to_ - from_) * percent / 100);
    }

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
