#pragma once
// Pictures from a PipeWire video stream, the screen or window that the
// desktop portal shares on Wayland.
//
// PipeWire pushes a picture whenever the screen changes; the source reads the
// stream on a thread of its own (PipeWire's thread loop), converts each
// picture to BGRX, crops it to the region when one is given, and keeps the
// newest for the next grab().  grab() may be called from any one thread.
#include "capture/OwnedFd.h"
#include "capture/ScreenSource.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace movigram::capture {

class PortalScreenCast;
struct PortalOptions;

class PipeWireSource final : public ScreenSource {
public:
    // Reads the stream of `node` through `remote`, a socket to the PipeWire
    // daemon (the portal's OpenPipeWireRemote).  `region`, in the pixels of
    // what the stream shows (a window's cast may show only part of each
    // buffer), is cropped from every picture and clipped to it.  Returns once
    // the first picture has come, or null with a one-line reason when the
    // stream fails or shows nothing within `firstPicture`.
    static std::unique_ptr<PipeWireSource> open(OwnedFd remote, std::uint32_t node, std::optional<Region> region,
                                                std::string& error,
                                                std::chrono::milliseconds firstPicture = std::chrono::seconds(10));

    // Asks the portal for a screen cast (its dialog chooses what) and reads it;
    // the source keeps the portal's session open until it is destroyed, and
    // must then be destroyed on the thread that opened it.
    static std::unique_ptr<PipeWireSource> openThroughPortal(const PortalOptions& options,
                                                             std::optional<Region> region, std::string& error);

    ~PipeWireSource() override;

    // The newest picture; false with a reason once the stream has ended.
    bool grab(Picture& picture, std::string& error) override;

    struct Stream;  // PipeWire's side, in the .cpp

private:
    PipeWireSource();

    std::unique_ptr<PortalScreenCast> session_;  // outlives the stream, which ends with it
    std::unique_ptr<Stream> stream_;
};

}  // namespace movigram::capture
