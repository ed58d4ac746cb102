#pragma once
// Where recorded pictures come from: the X server, or a PipeWire stream that
// the desktop portal opened on Wayland.  A recorder asks its source for the
// latest picture at each tick of its frame rate; a source that is pushed
// pictures (PipeWire) keeps the newest one for the next ask.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace movigram::capture {

// A rectangle of the screen, in the screen's pixels.
struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const Region&) const = default;
};

// One picture of the recorded region: 4 bytes per pixel in the order blue,
// green, red, unused; rows top first, not padded.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgrx;
    std::chrono::steady_clock::time_point time;  // when it was taken
};

class ScreenSource {
public:
    virtual ~ScreenSource() = default;
    // Fills `picture` (reusing its storage) with the latest picture of the
    // region.  False, with a one-line reason in `error`, when the source has
    // ended or failed.
    virtual bool grab(Picture& picture, std::string& error) = 0;
};

}  // namespace movigram::capture
