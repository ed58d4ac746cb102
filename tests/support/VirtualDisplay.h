#pragma once
// A private X server without a screen of glass (Xvfb), for the recording
// tests and the capture bench.  The server picks a free display number
// itself and tells it through a pipe (-displayfd), so runs side by side
// never collide.  It is stopped when the object goes.
#include <memory>
#include <string>
#include <sys/types.h>

namespace movigram::test {

class VirtualDisplay {
public:
    // A width x height x 24 display; null, with the reason in `why`, when
    // Xvfb is missing or does not come up.
    static std::unique_ptr<VirtualDisplay> start(int width, int height, std::string& why);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", for xcb_connect and $DISPLAY.
    const std::string& name() const { return name_; }

private:
    VirtualDisplay() = default;
    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace movigram::test
