#include "Playback.h"

#include "EditorSession.h"
#include "commands/BrowserCommands.h"
#include "save/Optimiser.h"

namespace movigram {

namespace {
// A step later than this after its time counts as a fresh start.
constexpr qint64 lateLimitMs = 100;
}  // namespace

Playback::Playback(EditorSession& session) : session_(session) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Playback::step);
    clock_.start();
}

int Playback::delayOf(const TFrame& frame) const {
    const int delay = frame.repeat * session_.document().frameTime;
    return browserTiming_ ? int(browserFrameDelay(delay)) : delay;
}

void Playback::schedule(qint64 delayMs) {
    const qint64 now = clock_.elapsed();
    const qint64 shownAt = now - due_ <= lateLimitMs ? due_ : now;
    due_ = shownAt + delayMs;
    timer_.start(int(std::max<qint64>(due_ - now, 0)));
}

void Playback::play() {
    Document& doc = session_.document();
    if (!doc.currentFrame) {
        if (!doc.firstFrame) return;
        doc.showFrameAt(0);
    }
    if (doc.cropToDirty && doc.showDirtyRect && !doc.dirtyRectsUpToDate) rethread(doc, 1);
    const TFrame* current = doc.currentFrame;
    if (doc.loopOption && current->next && current->next->index < current->index) session_.nextFrame();
    loopPass_ = 0;
    due_ = clock_.elapsed();
    schedule(delayOf(*doc.currentFrame));
}

void Playback::stop() {
    timer_.stop();
    Document& doc = session_.document();
    if (doc.currentFrame) doc.frameList.select(doc.frameList.placeOf(*doc.currentFrame));
}

void Playback::step() {
    Document& doc = session_.document();
    stepping_ = true;
    for (int counter = 0;; ++counter) {
        TFrame* current = doc.currentFrame;
        TFrame* found = nullptr;
        for (TFrame* f = current ? current->next : nullptr; f && f != current; f = f->next)
            if (f->image) {
                found = f;
                break;
            }
        if (!found) break;
        if (doc.loopOption && found->index < current->index && ++loopPass_ == doc.loopCount) break;
        session_.showPlaybackFrame(found);
        // Browsers give every frame its own 100 ms at least; the program
        // passes up to three frames without delay in one step.
        if (found->repeat > 0 || counter > 2 || browserTiming_) {
            const int delay = delayOf(*found);
            stepping_ = false;
            schedule(delay);
            const int index = doc.frameList.placeOf(*found);
            if (delay > 1000 || session_.isListLineVisibleOrAbove(index)) doc.frameList.select(index);
            return;
        }
    }
    stepping_ = false;
    stop();
}

}  // namespace movigram
