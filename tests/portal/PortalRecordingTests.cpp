// Recording on Wayland with real parts: a private session bus with a test
// portal on it, a private PipeWire daemon, and a video stream that the test
// produces there.  The session and the source run on the test's main thread,
// which has a Qt application object but never runs its event loop.
#include "PrivateDaemons.h"
#include "TestPortal.h"
#include "TestScreen.h"

#include "capture/CaptureAvailability.h"
#include "capture/PipeWireSource.h"
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
    PrivatePipeWire pipeWire;
    std::string pipeWireMissing;

    Daemons() {
        if (bus.start(busMissing)) busMissing.clear();
        if (pipeWire.start(pipeWireMissing)) pipeWireMissing.clear();
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
        EXPECT_EQ(PipeWireSource::openThroughPortal(options, std::nullopt, error), nullptr);
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
    EXPECT_EQ(PipeWireSource::openThroughPortal(options, std::nullopt, error), nullptr);
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

struct StreamCase {
    const char* name;
    spa_video_format format;
    Region shown;  // the part of each buffer the stream shows; all when empty
    std::optional<Region> region;
    Region expected;  // the part of the 64 × 48 screen the pictures show
};

void PrintTo(const StreamCase& c, std::ostream* out) { *out << c.name; }

class PipeWireRecordingTest : public PortalTest, public ::testing::WithParamInterface<StreamCase> {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    void SetUp() override {
        PortalTest::SetUp();
        if (IsSkipped()) return;
        if (!Daemons::get().pipeWireMissing.empty())
            GTEST_SKIP() << "No private PipeWire daemon, so only the portal is tested: "
                         << Daemons::get().pipeWireMissing;
    }

    // Picture k of the test's screen, cropped as the case says.
    static std::vector<std::uint8_t> expected(int k, const Region& crop) {
        const std::vector<std::uint8_t> whole = TestScreen::bgrx(k, kWidth, kHeight);
        std::vector<std::uint8_t> part;
        for (int y = crop.y; y < crop.y + crop.height; ++y) {
            const auto row = whole.begin() + (std::ptrdiff_t(y) * kWidth + crop.x) * 4;
            part.insert(part.end(), row, row + std::ptrdiff_t(crop.width) * 4);
        }
        return part;
    }

    // Which picture of the sequence `picture` is (colours only), or -1.
    static int which(const Picture& picture, const Region& crop, int upTo) {
        if (picture.width != crop.width || picture.height != crop.height) return -1;
        for (int k = 0; k <= upTo; ++k) {
            const std::vector<std::uint8_t> want = expected(k, crop);
            if (picture.bgrx.size() != want.size()) return -1;
            bool same = true;
            for (std::size_t i = 0; same && i < want.size(); i += 4)
                same = picture.bgrx[i] == want[i] && picture.bgrx[i + 1] == want[i + 1] &&
                       picture.bgrx[i + 2] == want[i + 2];
            if (same) return k;
        }
        return -1;
    }
};

TEST_P(PipeWireRecordingTest, RecordsTheScreensPicturesThroughThePortal) {
    const StreamCase& c = GetParam();
    TestScreen screen(c.format, kWidth, kHeight);
    screen.showOnly(c.shown.x, c.shown.y, c.shown.width, c.shown.height);
    std::string error;
    ASSERT_TRUE(screen.start(Daemons::get().pipeWire.socketPath().toStdString(), error)) << error;
    startPortal({.node = screen.node(), .width = kWidth, .height = kHeight,
                 .pipeWireSocket = Daemons::get().pipeWire.socketPath()});

    auto source = PipeWireSource::openThroughPortal(options, c.region, error);
    ASSERT_NE(source, nullptr) << error;

    // Each picture the screen shows arrives whole; none comes back after a newer one.
    Picture picture;
    int last = 0;
    for (int k = 0; k < 4; ++k) {
        screen.show(k);
        for (int tries = 0; tries < 500 && last != k; ++tries) {
            ASSERT_TRUE(source->grab(picture, error)) << error;
            const int got = which(picture, c.expected, k);
            ASSERT_GE(got, last) << "picture " << k << " asked, got " << got;
            last = got;
            if (last != k) std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(last, k);
    }

    // The cast ends: the source says so instead of repeating the last picture.
    screen.stop();
    bool ended = false;
    for (int tries = 0; tries < 500 && !ended; ++tries) {
        ended = !source->grab(picture, error);
        if (!ended) std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(error, "The screen cast was stopped");
    source.reset();
    EXPECT_TRUE(sessionClosed());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, PipeWireRecordingTest,
    ::testing::Values(StreamCase{"WholeBGRx", SPA_VIDEO_FORMAT_BGRx, {}, std::nullopt, {0, 0, 64, 48}},
                      StreamCase{"RegionBGRx", SPA_VIDEO_FORMAT_BGRx, {}, Region{8, 4, 20, 30}, {8, 4, 20, 30}},
                      StreamCase{"ClippedRGBA", SPA_VIDEO_FORMAT_RGBA, {}, Region{50, 40, 30, 30}, {50, 40, 14, 8}},
                      StreamCase{"PartShownRGBx", SPA_VIDEO_FORMAT_RGBx, {4, 2, 40, 30}, std::nullopt, {4, 2, 40, 30}},
                      StreamCase{"RegionOfPartShownBGRA", SPA_VIDEO_FORMAT_BGRA, {4, 2, 40, 30}, Region{30, 20, 20, 20},
                                 {34, 22, 10, 10}}),
    [](const ::testing::TestParamInfo<StreamCase>& param) { return std::string(param.param.name); });

TEST(PipeWireSourceTest, RefusesAnEmptyRegion) {
    std::string error;
    EXPECT_EQ(PipeWireSource::open(OwnedFd(), 1, Region{0, 0, 0, 10}, error), nullptr);
    EXPECT_EQ(error, "The region to record is empty");
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
