#pragma once
// What the core asks of the person using the program: messages, questions,
// status text, the progress gauge, the wait cursor and the save path.  The
// editor implements it with its windows, the command-line tool with stderr,
// and tests with a recording fake.  Every function has a quiet default so
// that a host implements only what it shows.  Views follow the document
// through DocumentObserver, not through the host.
#include <optional>
#include <string>

#include "Progress.h"

namespace movigram {

enum class MessageIcon { Information, Warning, Stop, Question, None };
enum class Answer { Yes, No, Cancel };
enum class Buttons { YesNo, YesNoCancel };

class Host : public Progress {
public:
    virtual ~Host() = default;
    virtual void showMessage(const std::string& /*caption*/, const std::string& /*text*/, MessageIcon) {}
    virtual Answer ask(const std::string& /*caption*/, const std::string& /*text*/, Buttons) { return Answer::No; }
    virtual void showStatus(const std::string& /*text*/) {}
    virtual void clearStatus() {}
    // Clears the gauge a moment (250 ms) later.
    virtual void startGaugeReset() {}
    virtual void setWaitCursor(bool /*on*/) {}
    // The save dialog, for a save the user did not start from one (the
    // question about unsaved changes of an untitled document).
    virtual std::optional<std::string> chooseSavePath(const std::string& /*folder*/, const std::string& /*name*/) {
        return std::nullopt;
    }
    virtual void addRecentFile(const std::string& /*path*/) {}
    // Lays out comment text; null when there is no window.
    virtual const class TextMeasurer* textMeasurer() { return nullptr; }
    // Whether timers and posted events run while work reports its progress
    // (the editor's window repaints): then they may change the document, and
    // a save works on a copy of it.
    virtual bool runsEventsMeanwhile() const { return false; }
};

// Shows nothing; stops when the token given says so.  The host of work done
// on another thread, which must not touch the windows.
class QuietHost : public Host {
public:
    explicit QuietHost(const StopToken* stop = nullptr) : stop_(stop) {}
    bool stopRequested() const override { return stop_ && stop_->stopRequested(); }

private:
    const StopToken* stop_;
};

// Shows nothing, and stops when the work it stands in for is asked to: the
// host of a copy worked on beside (or on behalf of) that work.
class FollowingHost : public Host {
public:
    explicit FollowingHost(const Progress* of) : of_(of) {}
    bool stopRequested() const override { return of_ && of_->stopRequested(); }

private:
    const Progress* of_;
};

// Shows a status text for the lifetime of a scope.
class StatusText {
public:
    StatusText(Host& host, const std::string& text) : host_(host) { host_.showStatus(text); }
    ~StatusText() { host_.clearStatus(); }
    StatusText(const StatusText&) = delete;
    StatusText& operator=(const StatusText&) = delete;

private:
    Host& host_;
};

}  // namespace movigram
