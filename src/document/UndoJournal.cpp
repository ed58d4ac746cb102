#include "UndoJournal.h"

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
    if (kind == UndoKind::WholeChanged) {
        first = 0;
        last = list.count() - 1;
    }
    record->first = first;
    record->last = last;
    if (const TMyPalette* p = palette ? palette : global) record->palette = std::make_unique<TMyPalette>(*p);
    if (kind == UndoKind::FramesRemoved || kind == UndoKind::FramesChanged || kind == UndoKind::WholeChanged) {
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

void UndoJournal::trim(const TUndo* keep) {
    if (!enabled_) return;
    int64_t sum = 0;
    for (const auto& r : records_) sum += r->bytes;
    for (const auto& r : redo_) sum += r->bytes;
    auto dropOldest = [&](std::vector<std::unique_ptr<TUndo>>& side) {
        size_t n = 0;
        while (sum > budget && n < side.size() && side[n].get() != keep) sum -= side[n++]->bytes;
        side.erase(side.begin(), side.begin() + long(n));
    };
    dropOldest(records_);
    dropOldest(redo_);
}

void UndoJournal::push(std::unique_ptr<TUndo> record) {
    emptiedRedo_ = std::move(redo_);
    redo_.clear();
    records_.push_back(std::move(record));
    trim(records_.back().get());
}

void UndoJournal::pop() {
    if (records_.empty()) return;
    records_.pop_back();
    redo_ = std::move(emptiedRedo_);
    emptiedRedo_.clear();
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
    emptiedRedo_.clear();
    return takeBack(records_);
}

void UndoJournal::pushRedo(std::unique_ptr<TUndo> record) {
    redo_.push_back(std::move(record));
    trim(redo_.back().get());
}

std::unique_ptr<TUndo> UndoJournal::takeNewestRedo() {
    emptiedRedo_.clear();
    return takeBack(redo_);
}

void UndoJournal::pushRedone(std::unique_ptr<TUndo> record) {
    records_.push_back(std::move(record));
    trim(records_.back().get());
}

void UndoJournal::popRedo() {
    if (!redo_.empty()) redo_.pop_back();
}

void UndoJournal::clear() {
    records_.clear();
    redo_.clear();
    emptiedRedo_.clear();
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
