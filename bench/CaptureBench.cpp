// movigram-bench-capture: recording a 1920 x 1080 X display at 15 and 30
// pictures a second while something keeps moving on it.
//
// A private Xvfb is started; a child process draws moving shapes and text
// over a still, many-coloured background about 60 times a second; for each
// rate another child process records the whole screen for the time asked
// (60 s unless --seconds N) and reports pictures delivered against the
// pictures expected, ticks skipped, frames made, the CPU time of the
// recording process (both of its threads; the drawing and the X server run
// in other processes) and its peak memory.  Each recording runs in a
// process of its own so that one rate's peak does not hide the other's.
//
//   movigram-bench-capture [--seconds N] [--fps N]... [--no-shm]
//
// --no-shm takes the pictures with the plain GetImage, as from a server
// without the shared-memory extension.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "capture/Recorder.h"
#include "capture/X11Source.h"
#include "support/VirtualDisplay.h"

namespace {

using namespace movigram;
using Clock = std::chrono::steady_clock;

constexpr int screenWidth = 1920, screenHeight = 1080;

// Runs in its own process until killed.
[[noreturn]] void draw(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) _exit(1);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t redirect[] = {1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, screenWidth, screenHeight, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_OVERRIDE_REDIRECT, redirect);
    xcb_map_window(c, window);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const xcb_font_t font = xcb_generate_id(c);
    xcb_open_font(c, font, 5, "fixed");
    const uint32_t gcValues[] = {0, font};
    xcb_create_gc(c, gc, window, XCB_GC_FOREGROUND | XCB_GC_FONT, gcValues);

    // The background: a smooth colour field, put in bands of rows (one
    // request has a limited size).
    std::vector<uint32_t> band(size_t(screenWidth) * 60);
    for (int top = 0; top < screenHeight; top += 60) {
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < screenWidth; ++x)
                band[size_t(y) * screenWidth + size_t(x)] =
                    uint32_t((x * 255 / screenWidth) << 16 | ((top + y) * 255 / screenHeight) << 8 | ((x + top + y) / 12 & 0xFF));
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, screenWidth, 60, 0, int16_t(top), 0, 24,
                      uint32_t(band.size() * 4), reinterpret_cast<const uint8_t*>(band.data()));
    }
    xcb_flush(c);

    // Shapes bounce in the upper left quarter of the screen; their old
    // places are cleared to one colour, as a window's content would be.
    const uint32_t colours[] = {0xD03030, 0x30A040, 0x3050D0, 0xE0C020, 0x9030B0, 0x20B0B0};
    for (uint64_t tick = 0;; ++tick) {
        const double t = double(tick) / 60;
        uint32_t value = 0x202020;
        xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &value);
        const xcb_rectangle_t area{100, 100, 860, 440};
        xcb_poly_fill_rectangle(c, window, gc, 1, &area);
        for (int i = 0; i < 6; ++i) {
            value = colours[i];
            xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &value);
            const int16_t x = int16_t(100 + (380 + 360 * std::sin(t * (0.7 + 0.2 * i) + i)));
            const int16_t y = int16_t(100 + (170 + 160 * std::cos(t * (0.9 + 0.15 * i) + 2 * i)));
            const xcb_rectangle_t r{x, y, 80, 60};
            xcb_poly_fill_rectangle(c, window, gc, 1, &r);
        }
        char text[64];
        const int length = std::snprintf(text, sizeof text, "frame %llu  t = %.2f s", static_cast<unsigned long long>(tick), t);
        value = 0xFFFFFF;
        xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &value);
        xcb_image_text_8(c, uint8_t(length), window, gc, 120, 130, text);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        std::this_thread::sleep_for(std::chrono::microseconds(16'667));
    }
}

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

// Runs in its own process: one recording, one line of figures.
int record(const std::string& display, int fps, int duration, bool sharedMemory) {
    capture::X11Options options;
    options.display = display;
    options.sharedMemory = sharedMemory;
    std::string error;
    auto source = capture::X11Source::open(options, error);
    if (!source) {
        std::fprintf(stderr, "movigram-bench-capture: %s\n", error.c_str());
        return 1;
    }
    const bool shared = source->usesSharedMemory();
    capture::RecorderSettings settings;
    settings.framesPerSecond = fps;
    settings.duration = std::chrono::seconds(duration);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const Clock::time_point start = Clock::now();
    capture::Recorder recorder(std::move(source), settings);
    recorder.start();
    uint64_t peakBytes = 0;
    while (!recorder.finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peakBytes = std::max(peakBytes, recorder.progress().bytes);
    }
    const capture::RecordingProgress progress = recorder.progress();
    const capture::RecordingResult result = recorder.takeResult("bench");
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    uint64_t frameBytes = 0;
    for (const auto& f : result.frames) frameBytes += f->image->byteSize();
    const uint64_t expected = uint64_t(duration) * uint64_t(fps);
    std::printf("%2d fps, %d s, %s: %llu/%llu pictures delivered (%.1f%%), %llu ticks skipped, %zu frames, "
                "CPU %.1f s in %.1f s (%.0f%% of one core), frames %.1f MB, recorder's count %.1f MB at most, "
                "peak RSS %.1f MB\n",
                fps, duration, shared ? "shared memory" : "GetImage",
                static_cast<unsigned long long>(progress.pictures), static_cast<unsigned long long>(expected),
                100.0 * double(progress.pictures) / double(expected), static_cast<unsigned long long>(progress.skipped),
                result.frames.size(), cpu, wall, 100 * cpu / wall, double(frameBytes) / 1e6, double(peakBytes) / 1e6,
                double(after.ru_maxrss) / 1024);
    if (!result.message.empty()) std::printf("   stopped early: %s\n", result.message.c_str());
    std::fflush(stdout);  // the process ends with _exit
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int duration = 60;
    std::vector<int> rates;
    bool sharedMemory = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            duration = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--fps") == 0 && i + 1 < argc) {
            rates.push_back(std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--no-shm") == 0) {
            sharedMemory = false;
        } else {
            std::fprintf(stderr, "usage: movigram-bench-capture [--seconds N] [--fps N]... [--no-shm]\n");
            return 2;
        }
    }
    if (rates.empty()) rates = {15, 30};

    std::string why;
    auto display = test::VirtualDisplay::start(screenWidth, screenHeight, why);
    if (!display) {
        std::fprintf(stderr, "movigram-bench-capture: %s\n", why.c_str());
        return 1;
    }
    const pid_t drawer = fork();
    if (drawer == 0) draw(display->name());
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the background is up

    int status = 0;
    for (int fps : rates) {
        std::fflush(stdout);
        const pid_t recorder = fork();
        if (recorder == 0) _exit(record(display->name(), fps, duration, sharedMemory));
        int recorded = 0;
        waitpid(recorder, &recorded, 0);
        if (!WIFEXITED(recorded) || WEXITSTATUS(recorded) != 0) status = 1;
    }
    kill(drawer, SIGTERM);
    waitpid(drawer, nullptr, 0);
    return status;
}
