#pragma once
// Pictures of the screen of an X server: a region of it, the area a window
// covers, or all of it.  The pixels come through the server's shared-memory
// extension, which copies a picture into memory both sides map; a server
// without it (or across a network) is asked with a plain GetImage, which
// sends the pixels over the connection.  The pointer can be drawn in from
// the cursor image the XFixes extension gives.
//
// A window is recorded as the area of the screen it covers when the
// recording starts, with whatever lies on top of it: the region keeps its
// size and place for the whole recording.
#include <cstdint>
#include <memory>
#include <string>

#include "ScreenSource.h"

struct xcb_connection_t;

namespace movigram::capture {

struct X11Options {
    enum class Target { Screen, Region, Window };

    std::string display;  // as for $DISPLAY; empty: $DISPLAY itself
    Target target = Target::Screen;
    Region region;          // Target::Region, in screen pixels; clipped to the screen
    uint32_t window = 0;    // Target::Window
    bool pointer = false;   // draw the pointer into the pictures
    bool sharedMemory = true;  // false: always the plain GetImage
};

class X11Source : public ScreenSource {
public:
    // Null, with a one-line reason in `error`, when the display cannot be
    // opened, its pixels are not 24-bit colour, the window does not exist,
    // the region is empty or lies wholly off the screen.
    static std::unique_ptr<X11Source> open(const X11Options& options, std::string& error);
    ~X11Source() override;

    bool grab(Picture& picture, std::string& error) override;

    // The window of the screen's top level that shows at (x, y), for picking
    // a window to record; 0 where only the desktop's root shows, or when the
    // display cannot be opened (error says why).
    static uint32_t windowAt(const std::string& display, int x, int y, std::string& error);

    // The region recorded, after clipping to the screen.
    const Region& region() const { return region_; }
    bool usesSharedMemory() const { return shmAddress_ != nullptr; }

private:
    X11Source() = default;
    bool openDisplay(const X11Options& options, std::string& error);
    bool findRegion(const X11Options& options, std::string& error);
    void attachSharedMemory();
    bool grabShared(Picture& picture, std::string& error);
    bool grabPlain(Picture& picture, std::string& error);
    void drawPointer(Picture& picture);

    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
    int screenWidth_ = 0, screenHeight_ = 0;
    Region region_;
    bool pointer_ = false;
    uint32_t segment_ = 0;
    void* shmAddress_ = nullptr;
};

}  // namespace movigram::capture
