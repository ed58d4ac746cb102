#include "Recorder.h"

#include <algorithm>
#include <new>

#include "document/DecodeLimits.h"
#include "import/RecordingBuilder.h"

namespace movigram::capture {
namespace {

// Pictures in flight: one being taken, one being built, the rest waiting.
constexpr size_t picturesInFlight = 4;

}  // namespace

Recorder::Recorder(std::unique_ptr<ScreenSource> source, const RecorderSettings& settings)
    : source_(std::move(source)), settings_(settings) {
    settings_.framesPerSecond =
        std::clamp(settings_.framesPerSecond, RecorderSettings::minRate, RecorderSettings::maxRate);
    if (settings_.memoryBudget == 0) settings_.memoryBudget = DecodeLimits::defaults().maxTotalBytes;
    period_ = std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(1'000'000'000)) /
              settings_.framesPerSecond;
    builder_ = std::make_unique<RecordingBuilder>(settings_.quantize, settings_.memoryBudget);
    for (size_t i = 0; i < picturesInFlight; ++i) free_.push_back(std::make_unique<Picture>());
}

Recorder::~Recorder() {
    stop();
    if (grabber_.joinable()) grabber_.join();
    if (buildThread_.joinable()) buildThread_.join();
}

void Recorder::start() {
    std::lock_guard lock(mutex_);
    if (started_) return;
    started_ = grabbing_ = building_ = true;
    startTime_ = Clock::now();
    grabber_ = std::thread([this] { grabLoop(); });
    buildThread_ = std::thread([this] { buildLoop(); });
}

void Recorder::pause() {
    std::lock_guard lock(mutex_);
    if (paused_ || progress_.end != RecordingEnd::Running) return;
    paused_ = true;
    pauseStart_ = Clock::now();
    wake_.notify_all();
}

void Recorder::resume() {
    std::lock_guard lock(mutex_);
    if (!paused_) return;
    paused_ = false;
    pausedTotal_ += Clock::now() - pauseStart_;
    wake_.notify_all();
}

void Recorder::stop() {
    std::lock_guard lock(mutex_);
    if (paused_) {
        paused_ = false;
        pausedTotal_ += Clock::now() - pauseStart_;
    }
    endLocked(RecordingEnd::Stopped);
}

void Recorder::endLocked(RecordingEnd why, std::string message) {
    if (progress_.end != RecordingEnd::Running) return;
    progress_.end = why;
    message_ = std::move(message);
    wake_.notify_all();
}

std::chrono::nanoseconds Recorder::recordedTimeLocked(Clock::time_point at) const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at - startTime_ - pausedTotal_);
}

RecordingProgress Recorder::progress() const {
    std::lock_guard lock(mutex_);
    RecordingProgress p = progress_;
    p.paused = paused_;
    if (started_) {
        const Clock::time_point now = paused_ ? pauseStart_ : Clock::now();
        p.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(recordedTimeLocked(now));
        if (settings_.duration.count() > 0) p.elapsed = std::min(p.elapsed, settings_.duration);
    }
    return p;
}

bool Recorder::finished() const {
    std::lock_guard lock(mutex_);
    return started_ && !grabbing_ && !building_;
}

void Recorder::grabLoop() {
    Clock::time_point next = Clock::now();
    uint64_t ticks = 0;  // ticks recorded, taken or skipped
    std::unique_lock lock(mutex_);
    for (;;) {
        if (progress_.end != RecordingEnd::Running) break;
        if (paused_) {
            wake_.wait(lock, [&] { return !paused_ || progress_.end != RecordingEnd::Running; });
            next = Clock::now();
            continue;
        }
        // Recorded time runs by ticks, so a duration gives its number of
        // pictures whatever the pauses.
        const auto wanted = settings_.duration.count();
        if (wanted > 0 && int64_t(ticks) * 1000 >= wanted * settings_.framesPerSecond) {
            endLocked(RecordingEnd::Duration);
            break;
        }
        if (wake_.wait_until(lock, next, [&] { return paused_ || progress_.end != RecordingEnd::Running; }))
            continue;
        ++ticks;
        if (free_.empty()) {
            ++progress_.skipped;
        } else {
            std::unique_ptr<Picture> picture = std::move(free_.back());
            free_.pop_back();
            lock.unlock();
            std::string error;
            const bool taken = source_->grab(*picture, error);
            lock.lock();
            if (!taken) {
                free_.push_back(std::move(picture));
                endLocked(RecordingEnd::SourceFailed, error.empty() ? "The screen source stopped" : error);
                break;
            }
            ++progress_.pictures;
            queue_.push_back(std::move(picture));
            wake_.notify_all();
        }
        // A grab that took longer than a tick: the ticks it covered are
        // skipped, not made up for with a burst.
        next += period_;
        const Clock::time_point now = Clock::now();
        if (next < now) {
            const auto behind = uint64_t((now - next) / period_);
            progress_.skipped += behind;
            ticks += behind;
            next += period_ * int64_t(behind);
        }
    }
    grabbing_ = false;
    wake_.notify_all();
}

void Recorder::buildLoop() {
    std::unique_lock lock(mutex_);
    bool building = true;
    for (;;) {
        wake_.wait(lock, [&] { return !queue_.empty() || !grabbing_; });
        if (queue_.empty()) break;
        std::unique_ptr<Picture> picture = std::move(queue_.front());
        queue_.erase(queue_.begin());
        const std::chrono::nanoseconds time = recordedTimeLocked(picture->time);
        if (building) {
            lock.unlock();
            const CapturedPicture captured{picture->bgrx.data(), picture->width, picture->height,
                                           size_t(picture->width) * 4, time};
            const bool sized = picture->bgrx.size() >= size_t(picture->width) * size_t(picture->height) * 4;
            const RecordingBuilder::Added added =
                sized ? builder_->add(captured) : RecordingBuilder::Added::Refused;
            lock.lock();
            if (added == RecordingBuilder::Added::Full) {
                endLocked(RecordingEnd::MemoryBudget, builder_->message());
                building = false;
            } else if (added == RecordingBuilder::Added::Refused) {
                endLocked(RecordingEnd::Failed, sized ? builder_->message() : "The screen source gave a short picture");
                building = false;
            } else {
                lastPictureTime_ = time;
            }
            progress_.frames = builder_->frameCount();
            progress_.bytes = builder_->frameBytes() + builder_->workingBytes() +
                              picturesInFlight * picture->bgrx.capacity();
        }
        free_.push_back(std::move(picture));
        wake_.notify_all();
    }
    if (lastPictureTime_.count() >= 0) builder_->finish(lastPictureTime_ + period_);
    building_ = false;
}

RecordingResult Recorder::takeResult(const std::string& name) {
    {
        std::unique_lock lock(mutex_);
        if (!started_) return {};
    }
    if (grabber_.joinable()) grabber_.join();
    if (buildThread_.joinable()) buildThread_.join();
    std::lock_guard lock(mutex_);
    RecordingResult result;
    result.frames = builder_->takeFrames(name);
    result.end = progress_.end;
    result.message = message_;
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        lastPictureTime_.count() >= 0 ? lastPictureTime_ + period_ : std::chrono::nanoseconds(0));
    return result;
}

}  // namespace movigram::capture
