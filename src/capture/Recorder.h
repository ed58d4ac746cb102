#pragma once
// Records a ScreenSource at a steady frame rate into the frames of an
// animation.
//
// Two threads, so that a slow picture never makes the next one late: the
// grabbing thread asks the source for a picture at every tick and queues it;
// the building thread takes the queued pictures in order and turns them into
// frames (RecordingBuilder.h).  The queue holds a few pictures whose storage
// is reused; when the builder falls behind and none is free, the tick is
// skipped rather than waited for.  Frames are timed by when their pictures
// were taken, so a skipped tick makes the frame before last longer and the
// animation still plays in real time.
//
// The owner (the editor's window, the command-line tool) starts it, may
// pause, resume and stop it from its own thread, polls progress(), and when
// finished() takes the frames with takeResult() and puts them into a
// document itself (RecordingCommands.h): the recorder never touches one.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ScreenSource.h"
#include "document/FrameChain.h"
#include "document/QuantizeOptions.h"

namespace movigram {
class RecordingBuilder;
}

namespace movigram::capture {

struct RecorderSettings {
    static constexpr int minRate = 5, maxRate = 30;

    int framesPerSecond = 15;  // kept within minRate..maxRate
    // The recording stops by itself after this much recorded time; 0: only
    // when told to.
    std::chrono::milliseconds duration{0};
    // The most the frames' pixels may take; 0: the limit the program
    // gives any file it reads (a quarter of the memory, within 64 MB..8 GB).
    uint64_t memoryBudget = 0;
    QuantizeOptions quantize;  // the document's quantiser and dithering
};

enum class RecordingEnd {
    Running,
    Stopped,       // stop() was called
    Duration,      // the set duration was recorded
    MemoryBudget,  // the frames reached the memory budget; what was made is kept
    SourceFailed,  // the source ended or failed; what was made is kept
    Failed,        // the builder could not go on (no memory, the region changed size)
};

// What the owner shows while recording.
struct RecordingProgress {
    std::chrono::milliseconds elapsed{0};  // recorded time, pauses left out
    uint64_t pictures = 0;                 // pictures taken from the source
    uint64_t skipped = 0;                  // ticks without a picture: grabbing late or the builder behind
    size_t frames = 0;                     // frames made (equal pictures make one)
    uint64_t bytes = 0;                    // the frames, the builder's own memory and the queued pictures
    bool paused = false;
    RecordingEnd end = RecordingEnd::Running;
};

struct RecordingResult {
    FrameChain frames;  // linked in order; empty when nothing was recorded
    RecordingEnd end = RecordingEnd::Running;
    // Why it stopped, for the user, when not by stop() or the duration.
    std::string message;
    std::chrono::milliseconds elapsed{0};
};

class Recorder {
public:
    Recorder(std::unique_ptr<ScreenSource> source, const RecorderSettings& settings);
    // Stops and waits for the threads.
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void start();
    // While paused no picture is taken and the time does not count: the
    // frame before the pause lasts until the first picture after it.
    void pause();
    void resume();
    void stop();

    RecordingProgress progress() const;
    // Both threads are done (stopped, or ended by themselves).
    bool finished() const;
    // Waits until finished and hands over the frames, named "<name>.000" ...
    RecordingResult takeResult(const std::string& name);

private:
    using Clock = std::chrono::steady_clock;

    void grabLoop();
    void buildLoop();
    // Ends the recording for `why` unless it has ended already (lock held).
    void endLocked(RecordingEnd why, std::string message = {});
    std::chrono::nanoseconds recordedTimeLocked(Clock::time_point at) const;

    std::unique_ptr<ScreenSource> source_;
    RecorderSettings settings_;
    Clock::duration period_;
    std::unique_ptr<RecordingBuilder> builder_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::unique_ptr<Picture>> free_;   // storage ready for the next grab
    std::vector<std::unique_ptr<Picture>> queue_;  // taken pictures, oldest first
    bool started_ = false;
    bool grabbing_ = false;
    bool building_ = false;
    bool paused_ = false;
    Clock::time_point startTime_;
    Clock::time_point pauseStart_;
    Clock::duration pausedTotal_{0};
    std::chrono::nanoseconds lastPictureTime_{-1};
    RecordingProgress progress_;
    std::string message_;

    std::thread grabber_, buildThread_;
};

}  // namespace movigram::capture
