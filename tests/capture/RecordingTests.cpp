// Recording a real X server: each test program run starts its own Xvfb,
// puts a window on it and draws known pictures into it, then records.  The
// tests skip, saying why, where Xvfb cannot be started.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>
#include <vector>

#include "capture/Recorder.h"
#include "capture/X11Source.h"
#include "colour/PaletteSearch.h"
#include "support/VirtualDisplay.h"

namespace movigram {
namespace {

using namespace std::chrono_literals;
using capture::Recorder;
using capture::RecorderSettings;
using capture::RecordingEnd;
using capture::X11Options;
using capture::X11Source;
using Clock = std::chrono::steady_clock;

constexpr int screenWidth = 320, screenHeight = 240;

// 0x00RRGGBB pixels, rows top first.
using Pixels = std::vector<uint32_t>;

// A window the test draws pictures into, on its own connection.
class TestWindow {
public:
    TestWindow(const std::string& display, int x, int y, int width, int height) : width_(width), height_(height) {
        connection_ = xcb_connect(display.c_str(), nullptr);
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        const uint32_t values[] = {1};  // override-redirect: placed exactly where asked
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen_->root, int16_t(x), int16_t(y),
                          uint16_t(width), uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                          XCB_CW_OVERRIDE_REDIRECT, values);
        gc_ = xcb_generate_id(connection_);
        xcb_create_gc(connection_, gc_, window_, 0, nullptr);
        xcb_map_window(connection_, window_);
        sync();
    }
    ~TestWindow() { xcb_disconnect(connection_); }

    uint32_t id() const { return window_; }

    // Draws the picture and waits until the server has it; the time it was
    // done.
    Clock::time_point draw(const Pixels& pixels) {
        xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, uint16_t(width_), uint16_t(height_), 0, 0,
                      0, 24, uint32_t(pixels.size() * 4), reinterpret_cast<const uint8_t*>(pixels.data()));
        sync();
        return Clock::now();
    }
    void warpPointer(int x, int y) {
        xcb_warp_pointer(connection_, XCB_NONE, window_, 0, 0, 0, 0, int16_t(x), int16_t(y));
        sync();
    }

private:
    void sync() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

    int width_, height_;
    xcb_connection_t* connection_;
    xcb_screen_t* screen_;
    xcb_window_t window_ = 0, gc_ = 0;
};

class Recording : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string why;
        display_ = test::VirtualDisplay::start(screenWidth, screenHeight, why).release();
        if (!display_) skipReason_ = new std::string(why);
    }
    static void TearDownTestSuite() {
        delete display_;
        display_ = nullptr;
        delete skipReason_;
        skipReason_ = nullptr;
    }
    void SetUp() override {
        if (!display_) GTEST_SKIP() << "no X server to record: " << *skipReason_;
    }

    X11Options options(X11Options::Target target, capture::Region region = {}) const {
        X11Options o;
        o.display = display_->name();
        o.target = target;
        o.region = region;
        return o;
    }
    std::unique_ptr<X11Source> open(const X11Options& o) const {
        std::string error;
        auto source = X11Source::open(o, error);
        EXPECT_TRUE(source) << error;
        return source;
    }

    static test::VirtualDisplay* display_;
    static std::string* skipReason_;
};
test::VirtualDisplay* Recording::display_ = nullptr;
std::string* Recording::skipReason_ = nullptr;

Pixels picture(int width, int height, const std::function<uint32_t(int, int)>& colour) {
    Pixels p;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.push_back(colour(x, y));
    return p;
}

// Picture k of the drawn sequence: a square that moves over a striped
// background.
Pixels sequencePicture(int k) {
    return picture(64, 48, [k](int x, int y) -> uint32_t {
        if (x >= 8 * k && x < 8 * k + 12 && y >= 10 && y < 22) return 0xE02040;
        return y / 8 % 2 ? 0x2060A0 : 0xF0F0E0;
    });
}

// The screen the frames build up, as 0x00RRGGBB.
Pixels composed(const FrameChain& frames, size_t upTo, int width, int height) {
    Pixels screen(size_t(width) * size_t(height), 0);
    for (size_t i = 0; i <= upTo; ++i) {
        const TFrame& f = *frames[i];
        for (int32_t y = 0; y < f.rect.height(); ++y)
            for (int32_t x = 0; x < f.rect.width(); ++x) {
                const RgbQuad& q = f.image->colors()[f.image->pixel(x, y)];
                screen[size_t(f.rect.top + y) * size_t(width) + size_t(f.rect.left + x)] =
                    uint32_t(q.red << 16 | q.green << 8 | q.blue);
            }
    }
    return screen;
}

Pixels quantised(const Pixels& pixels, const TDib256& image) {
    std::vector<PaletteEntry> palette;
    for (int i = 0; i < image.colorsUsed; ++i)
        palette.push_back({image.colors()[size_t(i)].red, image.colors()[size_t(i)].green, image.colors()[size_t(i)].blue, 0});
    PaletteSearch search(palette.data(), int(palette.size()));
    Pixels out;
    for (uint32_t c : pixels) {
        const PaletteEntry& e = palette[size_t(search.nearest(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)))];
        out.push_back(uint32_t(e.red << 16 | e.green << 8 | e.blue));
    }
    return out;
}

Pixels grabbed(X11Source& source) {
    capture::Picture p;
    std::string error;
    EXPECT_TRUE(source.grab(p, error)) << error;
    Pixels out(p.bgrx.size() / 4);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = uint32_t(p.bgrx[i * 4] | p.bgrx[i * 4 + 1] << 8 | p.bgrx[i * 4 + 2] << 16);
    return out;
}

TEST_F(Recording, TheDrawnPicturesComeBackWithRepeatsMergedAndTheirTimes) {
    TestWindow window(display_->name(), 40, 30, 64, 48);
    // Pictures 0, 1, 1, 2, 3, 3, 3, 4 drawn 300 ms apart: five frames.
    const int sequence[] = {0, 1, 1, 2, 3, 3, 3, 4};
    const auto step = 300ms;
    RecorderSettings settings;
    settings.framesPerSecond = 20;
    window.draw(sequencePicture(0));
    X11Options o = options(X11Options::Target::Window);
    o.window = window.id();
    Recorder recorder(open(o), settings);
    recorder.start();
    std::vector<Clock::time_point> drawn;  // when each new picture appeared
    Clock::time_point next = Clock::now() + step;
    for (size_t i = 1; i < std::size(sequence); ++i) {
        std::this_thread::sleep_until(next);
        const Clock::time_point at = window.draw(sequencePicture(sequence[i]));
        if (sequence[i] != sequence[i - 1]) drawn.push_back(at);
        next += step;
    }
    std::this_thread::sleep_until(next);
    recorder.stop();
    capture::RecordingResult result = recorder.takeResult("Recording 1");
    EXPECT_EQ(result.end, RecordingEnd::Stopped);
    ASSERT_EQ(result.frames.size(), 5u);
    EXPECT_EQ(result.frames[0]->rect, (TRect{0, 0, 64, 48}));
    for (size_t k = 0; k < 5; ++k) {
        ASSERT_EQ(composed(result.frames, k, 64, 48), quantised(sequencePicture(int(k)), *result.frames[0]->image))
            << "frame " << k;
        if (k > 0) {
            EXPECT_LT(result.frames[k]->rect.area(), 64 * 48) << "frame " << k << " holds only what changed";
        }
    }
    // Each frame starts when its picture was drawn, give or take a tick and
    // the scheduling of a busy machine.
    int64_t start = result.frames[0]->displayTime();
    for (size_t k = 1; k < 5; ++k) {
        const auto drawnAt = std::chrono::duration_cast<std::chrono::milliseconds>(drawn[k - 1] - drawn[0]).count();
        EXPECT_NEAR(double(start - result.frames[0]->displayTime()), double(drawnAt), 150.0) << "frame " << k;
        start += result.frames[k]->displayTime();
    }
    EXPECT_NEAR(double(result.frames[1]->displayTime()), 600.0, 150.0);  // picture 1 and its repeat
    EXPECT_NEAR(double(result.frames[3]->displayTime()), 900.0, 150.0);  // three times picture 3
}

TEST_F(Recording, PauseLeavesOutWhatHappensMeanwhileAndStopEnds) {
    TestWindow window(display_->name(), 0, 0, 64, 48);
    window.draw(sequencePicture(0));
    Recorder recorder(open(options(X11Options::Target::Region, {0, 0, 64, 48})), RecorderSettings{});
    recorder.start();
    std::this_thread::sleep_for(300ms);
    recorder.pause();
    const uint64_t before = recorder.progress().pictures;
    window.draw(sequencePicture(1));  // never recorded
    std::this_thread::sleep_for(300ms);
    window.draw(sequencePicture(2));
    EXPECT_TRUE(recorder.progress().paused);
    EXPECT_EQ(recorder.progress().pictures, before);
    recorder.resume();
    std::this_thread::sleep_for(300ms);
    recorder.stop();
    capture::RecordingResult result = recorder.takeResult("r");
    EXPECT_TRUE(recorder.finished());
    EXPECT_EQ(result.end, RecordingEnd::Stopped);
    ASSERT_EQ(result.frames.size(), 2u);
    EXPECT_EQ(composed(result.frames, 1, 64, 48), quantised(sequencePicture(2), *result.frames[0]->image));
    // The paused time is not in the animation.
    EXPECT_LT(result.frames[0]->displayTime() + result.frames[1]->displayTime(), 800);
}

TEST_F(Recording, TheMemoryBudgetStopsTheRecordingAndKeepsItsFrames) {
    TestWindow window(display_->name(), 0, 0, 64, 48);
    window.draw(sequencePicture(0));
    RecorderSettings settings;
    settings.memoryBudget = 64 * 48 + 100;  // the first frame and a little
    settings.duration = 10s;
    Recorder recorder(open(options(X11Options::Target::Region, {0, 0, 64, 48})), settings);
    recorder.start();
    for (int k = 1; k < 5 && !recorder.finished(); ++k) {
        std::this_thread::sleep_for(200ms);
        window.draw(sequencePicture(k));
    }
    capture::RecordingResult result = recorder.takeResult("r");
    EXPECT_EQ(result.end, RecordingEnd::MemoryBudget);
    EXPECT_NE(result.message.find("memory budget"), std::string::npos) << result.message;
    EXPECT_GE(result.frames.size(), 1u);
    EXPECT_LT(result.elapsed, 5s);
}

// A source that gives a few different pictures, then fails.
class EndingSource : public capture::ScreenSource {
public:
    explicit EndingSource(int pictures) : left_(pictures) {}
    bool grab(capture::Picture& p, std::string& error) override {
        if (left_-- == 0) {
            error = "the stream ended";
            return false;
        }
        p.width = p.height = 4;
        p.bgrx.assign(64, uint8_t(left_ * 40));
        p.time = Clock::now();
        return true;
    }

private:
    int left_;
};

TEST(Recorder, AFailingSourceEndsTheRecordingWithItsReasonAndKeepsTheFrames) {
    RecorderSettings settings;
    settings.framesPerSecond = 30;
    Recorder recorder(std::make_unique<EndingSource>(3), settings);
    recorder.start();
    capture::RecordingResult result = recorder.takeResult("r");
    EXPECT_EQ(result.end, RecordingEnd::SourceFailed);
    EXPECT_EQ(result.message, "the stream ended");
    EXPECT_EQ(result.frames.size(), 3u);
}

TEST_F(Recording, RegionsAreClippedToTheScreenAndEmptyOnesRefused) {
    TestWindow window(display_->name(), screenWidth - 30, screenHeight - 20, 30, 20);
    const Pixels corner = picture(30, 20, [](int x, int y) { return uint32_t(x * 8 << 16 | y * 12 << 8 | 0x40); });
    window.draw(corner);
    X11Options o = options(X11Options::Target::Region, {screenWidth - 30, screenHeight - 20, 100, 100});
    auto shared = open(o);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->region(), (capture::Region{screenWidth - 30, screenHeight - 20, 30, 20}));
    EXPECT_TRUE(shared->usesSharedMemory());
    EXPECT_EQ(grabbed(*shared), corner);
    o.sharedMemory = false;  // as with a server that lacks the extension
    auto plain = open(o);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->usesSharedMemory());
    EXPECT_EQ(grabbed(*plain), corner);

    std::string error;
    EXPECT_FALSE(X11Source::open(options(X11Options::Target::Region, {10, 10, 0, 50}), error));
    EXPECT_NE(error.find("empty"), std::string::npos) << error;
    EXPECT_FALSE(X11Source::open(options(X11Options::Target::Region, {screenWidth, 0, 50, 50}), error));
    EXPECT_NE(error.find("outside the screen"), std::string::npos) << error;
    EXPECT_EQ(X11Source::windowAt(display_->name(), screenWidth - 10, screenHeight - 10, error), window.id());
    EXPECT_EQ(X11Source::windowAt(display_->name(), 5, 5, error), 0u);
    X11Options missing = options(X11Options::Target::Window);
    missing.window = 0x7FFFFF;
    EXPECT_FALSE(X11Source::open(missing, error));
    EXPECT_NE(error.find("no window"), std::string::npos) << error;
}

TEST_F(Recording, ThePointerIsDrawnOnlyWhenAsked) {
    TestWindow window(display_->name(), 100, 100, 40, 40);
    window.draw(picture(40, 40, [](int, int) { return 0x808080u; }));
    window.warpPointer(20, 20);
    X11Options o = options(X11Options::Target::Region, {100, 100, 40, 40});
    auto without = open(o);
    o.pointer = true;
    auto with = open(o);
    ASSERT_TRUE(without && with);
    EXPECT_EQ(grabbed(*without), picture(40, 40, [](int, int) { return 0x808080u; }));
    EXPECT_NE(grabbed(*with), grabbed(*without));
}

TEST_F(Recording, TheCommandLineRecordsARegionIntoAGif) {
    TestWindow window(display_->name(), 0, 0, 64, 48);
    window.draw(sequencePicture(3));
    const auto dir = std::filesystem::temp_directory_path() / ("movigram-record-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string out = (dir / "out.gif").string();
    const std::string cli = std::string("DISPLAY=") + display_->name() + " " + MOVIGRAM_CLI + " record ";
    const auto run = [](const std::string& command) {
        const int status = std::system((command + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run(cli + "--region 0,0,64,48 --fps 10 --duration 0.5 -O3 -o " + out), 0);
    EXPECT_EQ(run(std::string(MOVIGRAM_CLI) + " info " + out), 0);
    std::filesystem::remove(out);
    // Another format by the output's name.
    const std::string webp = (dir / "out.webp").string();
    EXPECT_EQ(run(cli + "--region 0,0,64,48 --duration 0.3 -o " + webp), 0);
    EXPECT_GT(std::filesystem::file_size(webp), 0u);
    EXPECT_EQ(run(cli + "--region 0,0,64,48 --duration 0.3 -O3 -o " + webp), 2);  // -O3 is for GIF only
    // Interrupted long before its end, it saves what it recorded.
    EXPECT_EQ(run("timeout --preserve-status -s INT 1 env " + cli + "--region 0,0,64,48 --duration 600 -o " + out), 0);
    EXPECT_EQ(run(std::string(MOVIGRAM_CLI) + " info " + out), 0);
    std::filesystem::remove(out);
    // Wrong arguments: 2; a region off the screen: 1; nothing written either way.
    EXPECT_EQ(run(cli + "--region 0,0,0,48 --duration 1 -o " + out), 2);
    EXPECT_EQ(run(cli + "--screen --region 0,0,10,10 --duration 1 -o " + out), 2);
    EXPECT_EQ(run(cli + "--screen --fps 31 --duration 1 -o " + out), 2);
    EXPECT_EQ(run(cli + "--screen -o " + out), 2);
    EXPECT_EQ(run(cli + "--region 5000,0,10,10 --duration 1 -o " + out), 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace movigram
