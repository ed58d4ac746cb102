#pragma once
// Whether the screen can be recorded here, and how: what the editor's
// "Record screen..." item asks before it is offered, so that it can say why
// not instead of failing.
#include "capture/PortalScreenCast.h"

#include <string>

namespace movigram::capture {

enum class CaptureRoute {
    None,    // recording cannot work here; `reason` says why
    X11,     // the X server named by DISPLAY
    Portal,  // the desktop portal and PipeWire
};

struct CaptureAvailability {
    CaptureRoute route = CaptureRoute::None;
    std::string reason;
};

// A Wayland session records through the portal, since an X server there
// (Xwayland) sees only the windows of X programs.  Elsewhere the X server
// named by DISPLAY when it answers, else the portal when the bus has one.
// Asks the bus (within `portal.replyTimeout`) only when the portal is needed.
// Needs a Qt application object, as the portal does.
CaptureAvailability captureAvailability(const PortalOptions& portal = {});

}  // namespace movigram::capture
