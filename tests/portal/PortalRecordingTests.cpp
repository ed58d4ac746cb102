// Recording on Wayland with real parts: a private session bus with a test
// portal on it.  The session runs on the test's main thread, which has a Qt
// application object but never runs its event loop.
#include "PrivateDaemons.h"
#include "TestPortal.h"

#include "capture/CaptureAvailability.h"
#include "capture/PortalScreenCast.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace movigram::capture::test {

using namespace std::chrono_literals;

// The daemons, started when the first test needs them and stopped before the
// application object goes.
struct Daemons {
    PrivateBus bus;
    std::string busMissing;

    Daemons() {
        if (bus.start(busMissing)) busMissing.clear();
    }
    static std::unique_ptr<Daemons>& instance() {
        static std::unique_ptr<Daemons> daemons;
        return daemons;
    }
    static Daemons& get() {
        if (!instance()) instance() = std::make_unique<Daemons>();
        return *instance();
    }
};

namespace {

class PortalTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Daemons::get().busMissing.empty()) GTEST_SKIP() << "No private session bus: " << Daemons::get().busMissing;
        options.busAddress = Daemons::get().bus.address().toStdString();
        options.replyTimeout = 10s;
        options.choiceTimeout = 10s;
    }

    void startPortal(PortalScript script) {
        portal = std::make_unique<TestPortal>(Daemons::get().bus.address(), std::move(script));
        ASSERT_TRUE(portal->registered());
    }

    // The session closes asynchronously: wait a while for the portal to hear it.
    bool sessionClosed() const {
        for (int tries = 0; tries < 500; ++tries) {
            if (portal->log().sessionClosed) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    PortalOptions options;
    std::unique_ptr<TestPortal> portal;
};

TEST_F(PortalTest, GivesTheStreamAndAConnectionOfItsOwn) {
    startPortal({.node = 42, .width = 640, .height = 480});
    options.parentWindow = "x11:1c00007";
    {
        PortalScreenCast session(options);
        PortalStream stream;
        std::string error;
        ASSERT_TRUE(session.start(stream, error)) << error;
        EXPECT_EQ(stream.node, 42u);
        EXPECT_EQ(stream.width, 640);
        EXPECT_EQ(stream.height, 480);
        EXPECT_FALSE(stream.pointerShown);

        const PortalLog log = portal->log();
        EXPECT_EQ(log.sourceOptions.value("types").toUInt(), 3u);  // a screen or a window
        EXPECT_EQ(log.sourceOptions.value("multiple").toBool(), false);
        EXPECT_EQ(log.sourceOptions.value("cursor_mode").toUInt(), 1u);  // hidden
        EXPECT_EQ(log.parentWindow, "x11:1c00007");

        // The descriptor is the portal's socket: what goes in one end comes out of ours.
        ASSERT_TRUE(stream.pipeWire.valid());
        ASSERT_EQ(::write(log.otherEnd, "pw", 2), 2);
        char got[2] = {};
        ASSERT_EQ(::read(stream.pipeWire.get(), got, 2), 2);
        EXPECT_EQ(std::string(got, 2), "pw");
        EXPECT_FALSE(session.start(stream, error));  // once only
        EXPECT_FALSE(portal->log().sessionClosed);
    }
    EXPECT_TRUE(sessionClosed());
}

TEST_F(PortalTest, AsksForThePointerWhenWanted) {
    startPortal({.node = 7, .width = 10, .height = 10});
    options.showPointer = true;
    PortalScreenCast session(options);
    PortalStream stream;
    std::string error;
    ASSERT_TRUE(session.start(stream, error)) << error;
    EXPECT_TRUE(stream.pointerShown);
    EXPECT_EQ(portal->log().sourceOptions.value("cursor_mode").toUInt(), 2u);  // embedded
}

TEST_F(PortalTest, SaysWhyStartFailed) {
    const struct {
        uint response;
        const char* error;
    } cases[] = {{1, "Cancelled"}, {2, "The desktop portal could not start the screen cast"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        startPortal({.node = 7, .width = 10, .height = 10, .startResponse = c.response});
        std::string error;
        {
            PortalScreenCast session(options);
            PortalStream stream;
            EXPECT_FALSE(session.start(stream, error));
        }
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(sessionClosed());
        portal.reset();
    }
}

// Which way the editor records, told by the environment and the bus.
TEST_F(PortalTest, AvailabilityFollowsTheDesktop) {
    struct Environment {
        std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
        std::string wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
        ~Environment() {
            display.empty() ? ::unsetenv("DISPLAY") : ::setenv("DISPLAY", display.c_str(), 1);
            wayland.empty() ? ::unsetenv("WAYLAND_DISPLAY") : ::setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
        }
    } restore;
    ::unsetenv("DISPLAY");
    ::setenv("WAYLAND_DISPLAY", "wayland-test", 1);

    CaptureAvailability none = captureAvailability(options);
    EXPECT_EQ(none.route, CaptureRoute::None);
    EXPECT_NE(none.reason.find("No screen-cast portal on this desktop"), std::string::npos) << none.reason;
    std::string error;
    PortalStream stream;
    EXPECT_FALSE(PortalScreenCast(options).start(stream, error));
    EXPECT_EQ(error, "No screen-cast portal on this desktop");

    startPortal({.node = 7, .width = 10, .height = 10});
    EXPECT_EQ(captureAvailability(options).route, CaptureRoute::Portal);
    ::unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(captureAvailability(options).route, CaptureRoute::Portal);  // no X server either
    portal.reset();
    const CaptureAvailability nothing = captureAvailability(options);
    EXPECT_EQ(nothing.route, CaptureRoute::None);
    EXPECT_NE(nothing.reason.find("No display to record"), std::string::npos) << nothing.reason;
}

}  // namespace
}  // namespace movigram::capture::test

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    movigram::capture::test::Daemons::instance().reset();
    return result;
}
