#pragma once
// A screen cast asked of the desktop portal (org.freedesktop.portal.ScreenCast
// on the session bus), the way to record on Wayland: the portal's own dialog
// lets the person choose a screen or a window, and the portal hands back a
// connection to PipeWire and the node of the stream that shows it.
//
// The exchange follows the portal's Request objects: each call returns at
// once and its answer comes later as the Request's Response signal, which may
// wait for the person.  The session waits for each answer in a local event
// loop, so the caller's thread need not run Qt's event loop, but a Qt
// application object (QCoreApplication or above) must exist in the process.
// Use one session from one thread.  The portal stops the stream when the
// session closes: keep the session alive as long as its stream is read.
#include "capture/OwnedFd.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace movigram::capture {

struct PortalOptions {
    bool showPointer = false;   // the pointer drawn into the pictures, when the portal can
    std::string parentWindow;   // "x11:XID" or "wayland:HANDLE" to keep the portal's dialog above ours
    std::string busAddress;     // a D-Bus address; empty for the session bus
    // How long the portal may take over a call that asks nothing of the person,
    // and over Start, while the person chooses in the portal's dialog.
    std::chrono::milliseconds replyTimeout{25000};
    std::chrono::milliseconds choiceTimeout{std::chrono::minutes(10)};
};

// What Start gives: PipeWire's connection and the stream to read from it.
struct PortalStream {
    OwnedFd pipeWire;           // a socket to the PipeWire daemon, for pw_context_connect_fd
    std::uint32_t node = 0;     // the stream's node on that daemon
    int width = 0;              // the size the portal announced; 0 when it did not
    int height = 0;
    bool pointerShown = false;  // false when the portal cannot draw the pointer in
};

class PortalScreenCast {
public:
    explicit PortalScreenCast(PortalOptions options = {});
    ~PortalScreenCast();  // closes the portal's session, which ends its stream
    PortalScreenCast(const PortalScreenCast&) = delete;
    PortalScreenCast& operator=(const PortalScreenCast&) = delete;

    // CreateSession, SelectSources (a screen or a window, one of them), Start
    // and OpenPipeWireRemote.  False with a one-line reason ("Cancelled" when
    // the person cancelled the portal's dialog) when any step fails.  Once.
    bool start(PortalStream& stream, std::string& error);

    // Whether the bus has a portal that can cast the screen, without opening
    // a session; a one-line reason when not.
    static bool available(const PortalOptions& options, std::string& error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace movigram::capture
