#include "UndoJournal.h"

#include <unistd.h>

#include <algorithm>

namespace movigram {

UndoKind undoKindForRotation(int degrees) {
    switch (degrees) {
    case 90: return UndoKind::Rotated270;
    case 180: return UndoKind::Rotated180;
    default: return UndoKind::Rotated90;
    }
}

int rotationOfKind(UndoKind kind) {
    switch (kind) {
    case UndoKind::Rotated90: return 90;
    case UndoKind::Rotated180: return 180;
    case UndoKind::Rotated270: return 270;
    default: return 0;
    }
}

int64_t undoBytesOf(const TFrame& frame) {
    if (!frame.image) return 0;
    constexpr int64_t header = 40, table = 256 * 4;
    return header + table + int64_t(frame.image->byteSize());
}

namespace {

// A copy that keeps the fields but leaves the image, name and local palette
// with the live frame.
std::unique_ptr<TFrame> shallowCopy(const TFrame& frame) {
    std::unique_ptr<TFrame> copy;
    if (frame.isComment) {
        copy = frame.clone();
    } else {
        copy = std::make_unique<TFrame>();
        copy->restoreToBackground = frame.restoreToBackground;
        copy->frameTime = frame.frameTime;
        copy->repeat = frame.repeat;
        copy->index = frame.index;
        copy->rect = frame.rect;
        copy->dirtyRect = frame.dirtyRect;
        copy->backgroundIndex = frame.backgroundIndex;
        copy->transparentIndex = frame.transparentIndex;
    }
    copy->overlay = frame.overlay;
    copy->image.reset();
    copy->localPalette.reset();
    copy->name.clear();
    return copy;
}

// A deep copy that also keeps the overlay flag, which ordinary copies drop.
std::unique_ptr<TFrame> undoCopy(const TFrame& frame) {
    auto copy = frame.clone();
    copy->overlay = frame.overlay;
    return copy;
}

}  // namespace

std::unique_ptr<TUndo> TUndo::range(UndoKind kind, const FrameList& list, int32_t first, int32_t last,
                                    std::string label, const TMyPalette* palette, const TMyPalette* global) {
    auto record = std::make_unique<TUndo>();
    record->kind = kind;
    record->label = std::move(label);
    if (kind == UndoKind::WholeChanged || kind == UndoKind::ListReplaced) {
        first = 0;
        last = list.count() - 1;
    }
    record->first = first;
    record->last = last;
    if (const TMyPalette* p = palette ? palette : global) record->palette = std::make_unique<TMyPalette>(*p);
    if (kind == UndoKind::FramesRemoved || kind == UndoKind::FramesChanged || kind == UndoKind::WholeChanged ||
        kind == UndoKind::ListReplaced) {
        for (int32_t i = first; i <= last; ++i)
            if (const TFrame* f = list.frameAt(i)) {
                record->savedFrames.push_back(undoCopy(*f));
                record->bytes += undoBytesOf(*f);
            }
    }
    return record;
}

std::unique_ptr<TUndo> TUndo::indexed(UndoKind kind, const FrameList& list, std::vector<int32_t> indices,
                                      std::string label, bool deep) {
    auto record = std::make_unique<TUndo>();
    record->kind = kind;
    record->indexShape = true;
    record->label = std::move(label);
    record->deepCopy = deep;
    if (kind == UndoKind::FramesRemoved || kind == UndoKind::FramesChanged || kind == UndoKind::WholeChanged) {
        for (int32_t i : indices)
            if (const TFrame* f = list.frameAt(i)) {
                record->savedFrames.push_back(deep ? undoCopy(*f) : shallowCopy(*f));
                if (deep) record->bytes += undoBytesOf(*f);
            }
    }
    record->indices = std::move(indices);
    return record;
}

std::unique_ptr<TUndo> TUndo::timing(const FrameList& list, int32_t documentFrameTime, std::string label) {
    auto record = std::make_unique<TUndo>();
    record->kind = UndoKind::TimingChanged;
    record->indexShape = true;
    record->label = std::move(label);
    record->first = documentFrameTime;
    for (int i = 0; i < list.count(); ++i) {
        record->indices.push_back(list.frameAt(i)->repeat);
        record->frameTimes.push_back(list.frameAt(i)->frameTime);
    }
    return record;
}

int64_t UndoJournal::defaultBudget() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    const int64_t physical = pages > 0 && pageSize > 0 ? int64_t(pages) * pageSize : 0;
    return std::max(minimumDefaultBudget, physical / 8);
}

int UndoJournal::setBudget(int64_t bytes) {
    budget_ = std::max<int64_t>(bytes, 0);
    return pending_ ? 0 : trim(newest());
}

int64_t UndoJournal::bytesHeld() const {
    int64_t sum = 0;
    for (const auto& r : records_) sum += r->bytes;
    for (const auto& r : redo_) sum += r->bytes;
    return sum;
}

int UndoJournal::trim(const TUndo* keep) {
    if (!enabled_) return 0;
    int64_t sum = bytesHeld();
    int dropped = 0;
    auto dropOldest = [&](std::vector<std::unique_ptr<TUndo>>& side) {
        size_t n = 0;
        while (sum > budget_ && n < side.size() && side[n].get() != keep) sum -= side[n++]->bytes;
        side.erase(side.begin(), side.begin() + long(n));
        dropped += int(n);
    };
    dropOldest(records_);
    dropOldest(redo_);
    return dropped;
}

void UndoJournal::push(std::unique_ptr<TUndo> record) {
    settle();
    emptiedRedo_ = std::move(redo_);
    redo_.clear();
    records_.push_back(std::move(record));
    pending_ = true;
}

int UndoJournal::settle() {
    if (!pending_) return 0;
    pending_ = false;
    emptiedRedo_.clear();
    return trim(newest());
}

void UndoJournal::pop() {
    if (records_.empty()) return;
    records_.pop_back();
    if (pending_) redo_ = std::move(emptiedRedo_);
    emptiedRedo_.clear();
    pending_ = false;
}

namespace {
std::unique_ptr<TUndo> takeBack(std::vector<std::unique_ptr<TUndo>>& side) {
    if (side.empty()) return nullptr;
    auto record = std::move(side.back());
    side.pop_back();
    return record;
}
}  // namespace

std::unique_ptr<TUndo> UndoJournal::takeNewest() {
    settle();
    return takeBack(records_);
}

int UndoJournal::pushRedo(std::unique_ptr<TUndo> record) {
    redo_.push_back(std::move(record));
    return trim(redo_.back().get());
}

std::unique_ptr<TUndo> UndoJournal::takeNewestRedo() {
    settle();
    return takeBack(redo_);
}

int UndoJournal::pushRedone(std::unique_ptr<TUndo> record) {
    records_.push_back(std::move(record));
    return trim(records_.back().get());
}

void UndoJournal::popRedo() {
    if (!redo_.empty()) redo_.pop_back();
}

void UndoJournal::clear() {
    records_.clear();
    redo_.clear();
    emptiedRedo_.clear();
    pending_ = false;
    shownLabel_.clear();
}

void UndoJournal::setEnabled(bool on) {
    enabled_ = on;
    clear();
}

std::string UndoJournal::redoMenuText() const {
    if (redo_.empty()) return "&Redo\tCtrl+Y";
    return "&Redo " + redo_.back()->label + "\tCtrl+Y";
}

std::string UndoJournal::menuText() const {
    const std::string& label = records_.empty() ? shownLabel_ : records_.back()->label;
    return "&Undo " + label + "\tCtrl+Z";
}

}  // namespace movigram
