#pragma once
// What the core asks of the program around it: messages, questions, status
// text, the progress gauge and notices that the view must follow a change.
// The editor implements it with its windows, the command-line tool with
// stderr, and tests with a recording fake.  Every function has a quiet
// default so that a host implements only what it shows.
#include <optional>
#include <string>

namespace movigram {

enum class MessageIcon { Information, Warning, Stop, Question };
enum class Answer { Yes, No, Cancel };
enum class Buttons { YesNo, YesNoCancel };

// Parts of the view that follow the document.
enum class ViewPart : unsigned {
    Title = 1,
    PaletteWindow = 2,
    Canvas = 4,
    FrameList = 8,
    TransparentColor = 16,
    UndoMenu = 32,
};

class Host {
public:
    virtual ~Host() = default;
    virtual void showMessage(const std::string& /*caption*/, const std::string& /*text*/, MessageIcon) {}
    virtual Answer ask(const std::string& /*caption*/, const std::string& /*text*/, Buttons) { return Answer::No; }
    virtual void showStatus(const std::string& /*text*/) {}
    virtual void clearStatus() {}
    virtual void setProgress(int /*percent*/) {}
    // Clears the gauge a moment (250 ms) later.
    virtual void startGaugeReset() {}
    virtual void viewChanged(unsigned /*ViewPart bits*/) {}
    virtual void stopPlayback() {}
    virtual void setWaitCursor(bool /*on*/) {}
    // The save dialog, for a save the user did not start from one (the
    // question about unsaved changes of an untitled document).
    virtual std::optional<std::string> chooseSavePath(const std::string& /*folder*/, const std::string& /*name*/) {
        return std::nullopt;
    }
    virtual void addRecentFile(const std::string& /*path*/) {}
    // Lays out comment text; null when there is no window.
    virtual const class TextMeasurer* textMeasurer() { return nullptr; }
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
