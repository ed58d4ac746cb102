#include "capture/CaptureAvailability.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace movigram::capture {

namespace {

bool environmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool x11Answers() {
    if (!environmentSet("DISPLAY")) return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// "No screen-cast portal..." as the second half of a sentence.
std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = char(text[0] - 'A' + 'a');
    return text;
}

}  // namespace

CaptureAvailability captureAvailability(const PortalOptions& portal) {
    std::string portalError;
    if (environmentSet("WAYLAND_DISPLAY")) {
        if (PortalScreenCast::available(portal, portalError)) return {CaptureRoute::Portal, {}};
        return {CaptureRoute::None, "Recording on Wayland needs the desktop's screen-cast portal: " + portalError};
    }
    if (x11Answers()) return {CaptureRoute::X11, {}};
    if (PortalScreenCast::available(portal, portalError)) return {CaptureRoute::Portal, {}};
    if (environmentSet("DISPLAY"))
        return {CaptureRoute::None, "The X server named by DISPLAY does not answer, and " + lowerFirst(portalError)};
    return {CaptureRoute::None, "No display to record: no X server (DISPLAY), and " + lowerFirst(portalError)};
}

}  // namespace movigram::capture
