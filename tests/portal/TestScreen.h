#pragma once
// A "screen" for the tests: a PipeWire video stream that the test produces
// on the private daemon, sending picture k of a known sequence until told to
// send another, as a compositor's screen cast does.  It also links every
// video stream that comes to read it to its own, which is a session
// manager's work on a desktop.
#include <spa/param/video/raw.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct pw_thread_loop;

namespace movigram::capture::test {

class TestScreen {
public:
    TestScreen(spa_video_format format, int width, int height);
    ~TestScreen();

    // Connects to the daemon at `socketPath` and waits for the stream's node.
    bool start(const std::string& socketPath, std::string& why);
    std::uint32_t node() const { return node_; }

    void show(int picture) { picture_ = picture; }
    // Marks only this part of each picture as shown, as a window's cast may;
    // before start().
    void showOnly(int x, int y, int width, int height) { shown_ = {x, y, width, height}; }
    // Ends the stream, as a compositor does when the cast stops.
    void stop();

    // Picture k as BGRX bytes, rows top first.
    static std::vector<std::uint8_t> bgrx(int k, int width, int height);

    struct Graph;  // PipeWire's side, in the .cpp

private:
    spa_video_format format_;
    int width_;
    int height_;
    std::atomic<int> picture_{0};
    struct {
        int x, y, width, height;
    } shown_{0, 0, 0, 0};  // no crop while empty
    std::uint32_t node_ = 0;
    std::unique_ptr<Graph> graph_;
};

}  // namespace movigram::capture::test
