#include "Document.h"

#include "FrameChain.h"

namespace movigram {

Document::Document(Host* host) : host_(host) { frameList.setObserver(&relay_); }

Document::Document(Document&& other) noexcept : DocumentFields(std::move(other)), host_(other.host_) {
    frameList.setObserver(&relay_);
    other.frameList.setObserver(&other.relay_);
}

Document::~Document() { frameList.setObserver(nullptr); }

void Document::relinkChain() {
    firstFrame = threadFrames(frameList, loopOption);
    if (currentFrame && frameList.indexOf(currentFrame) < 0) currentFrame = frameList.frameAt(frameList.selectedIndex());
}

void Document::relinkSpan(int from, int last) {
    const int n = frameList.count();
    firstFrame = frameList.frameAt(0);
    if (n == 0) return;
    auto link = [&](int i) {
        TFrame* f = frameList.frameAt(i);
        f->index = i;
        f->next = i + 1 < n ? frameList.frameAt(i + 1) : (loopOption && n >= 2 ? firstFrame : nullptr);
    };
    for (int i = std::max(from - 1, 0); i <= std::min(last, n - 1); ++i) link(i);
    link(n - 1);
}

void Document::relink() {
    relinkChain();
    const TSize size = boundingSize(firstFrame);
    screenWidth = size.width;
    screenHeight = size.height;
    for (int i = 0; i < frameList.count(); ++i)
        if (TFrame* f = frameList.frameAt(i); f->image) {
            f->dirtyRect = f->rect;
            f->unchanged = false;
        }
    dirtyRectsUpToDate = false;
    if (frameList.selectedIndex() < 0 && !frameList.empty()) frameList.select(0);
    setCurrentFrame(frameList.frameAt(frameList.selectedIndex()));
}

void Document::setModified(bool on) {
    if (modified == on) return;
    modified = on;
    notify(&DocumentObserver::modifiedChanged, on);
}

void Document::setCurrentFrame(TFrame* frame) {
    if (frame == currentFrame) return;
    currentFrame = frame;
    notify(&DocumentObserver::currentFrameChanged);
}

void Document::changed(AlsoChanged also) {
    if (openScopes_ > 0) {
        held_.also.palette = held_.also.palette || also.palette;
        held_.also.title = held_.also.title || also.title;
        held_.repaint = true;
        return;
    }
    if (also.palette) notify(&DocumentObserver::paletteChanged);
    notify(&DocumentObserver::documentChanged);
    if (also.title) notify(&DocumentObserver::fileNameChanged);
}

void Document::paletteEdited() {
    if (openScopes_ > 0) held_.also.palette = true;
    else notify(&DocumentObserver::paletteChanged);
}

void Document::titleEdited() {
    if (openScopes_ > 0) held_.also.title = true;
    else notify(&DocumentObserver::fileNameChanged);
}

AlsoChanged Document::closeScope(bool cancelled) {
    if (openScopes_ == 0 || --openScopes_ > 0) return {};
    const Held held = std::exchange(held_, {});
    if (cancelled && held.repaint) {
        changed(held.also);
    } else if (cancelled) {
        if (held.also.palette) paletteEdited();
        if (held.also.title) titleEdited();
    }
    return held.also;
}

void Document::setQuantize(const QuantizeOptions& options) {
    if (quantize == options) return;
    quantize = options;
    optionsEdited();
}

void Document::setGlobalPaletteMode(GlobalPaletteMode mode) {
    if (globalPaletteMode == mode) return;
    globalPaletteMode = mode;
    optionsEdited();
}

void Document::setUndoEnabled(bool on) {
    undo.setEnabled(on);
    undoLabelEdited();
}

void Document::showFrameAt(int index) {
    frameList.select(index);
    setCurrentFrame(frameList.frameAt(frameList.selectedIndex()));
}

void Document::setFrameTiming(int index, int32_t time, int32_t repeat) {
    TFrame* frame = frameList.frameAt(index);
    if (!frame || (frame->frameTime == time && frame->repeat == repeat)) return;
    frame->frameTime = time;
    frame->repeat = repeat;
    frameEdited(index);
}

// The list's events.  Removing or replacing a frame may destroy the current
// frame and the frames the chain links to, so the chain is relinked and
// currentFrame checked before any observer hears of it.

void Document::ListRelay::itemsAboutToBeInserted(int first, int count) {
    doc_.notify(&DocumentObserver::framesAboutToBeInserted, first, count);
}

void Document::ListRelay::itemsInserted(int first, int count) {
    doc_.relinkSpan(first, doc_.frameList.count() - 1);
    doc_.notify(&DocumentObserver::framesInserted, first, count);
}

void Document::ListRelay::itemsAboutToBeRemoved(int first, int count) {
    currentLeaving_ = false;
    for (int i = first; i < first + count; ++i)
        if (doc_.frameList.frameAt(i) == doc_.currentFrame) currentLeaving_ = doc_.currentFrame != nullptr;
    doc_.notify(&DocumentObserver::framesAboutToBeRemoved, first, count);
}

void Document::ListRelay::itemsRemoved(int first, int count) {
    doc_.relinkSpan(first, doc_.frameList.count() - 1);
    const bool left = std::exchange(currentLeaving_, false);
    if (left) doc_.currentFrame = doc_.frameList.frameAt(doc_.frameList.selectedIndex());
    doc_.notify(&DocumentObserver::framesRemoved, first, count);
    if (left) doc_.notify(&DocumentObserver::currentFrameChanged);
}

void Document::ListRelay::itemsAboutToBeMoved(int first, int count, int destination) {
    doc_.notify(&DocumentObserver::framesAboutToBeMoved, first, count, destination);
}

void Document::ListRelay::itemsMoved(int first, int count, int destination) {
    doc_.relinkSpan(std::min(first, destination), std::max(first + count, destination) - 1);
    doc_.notify(&DocumentObserver::framesMoved, first, count, destination);
}

void Document::ListRelay::aboutToReset() { doc_.notify(&DocumentObserver::framesAboutToBeReset); }

void Document::ListRelay::listReset() {
    TFrame* const current = doc_.currentFrame;
    doc_.relinkChain();
    doc_.notify(&DocumentObserver::framesReset);
    if (doc_.currentFrame != current) doc_.notify(&DocumentObserver::currentFrameChanged);
}

// The frame replaced is still alive (the list hands it back to its caller
// after telling us), and its index still names the position it left.
void Document::ListRelay::itemChanged(int index) {
    TFrame* const current = doc_.currentFrame;
    doc_.relinkSpan(index, index);
    if (current && current->index == index && doc_.frameList.frameAt(index) != current)
        doc_.currentFrame = doc_.frameList.frameAt(doc_.frameList.selectedIndex());
    doc_.notify(&DocumentObserver::frameChanged, index);
    if (doc_.currentFrame != current) doc_.notify(&DocumentObserver::currentFrameChanged);
}

void Document::ListRelay::itemsSwapped(int a, int b) {
    doc_.relinkSpan(a, a);
    doc_.relinkSpan(b, b);
    doc_.notify(&DocumentObserver::frameChanged, a);
    doc_.notify(&DocumentObserver::frameChanged, b);
}

void Document::ListRelay::selectionChanged(int index) { doc_.notify(&DocumentObserver::selectionChanged, index); }

}  // namespace movigram
