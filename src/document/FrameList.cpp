#include "FrameList.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace movigram {

TFrame* FrameList::frameAt(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return items_[size_t(index)].frame.get();
}

const std::string& FrameList::textAt(int index) const {
    static const std::string none;
    if (index < 0 || index >= count()) return none;
    return items_[size_t(index)].text;
}

void FrameList::setText(int index, std::string text) {
    if (index < 0 || index >= count()) return;
    items_[size_t(index)].text = std::move(text);
    if (observer_) observer_->itemChanged(index);
}

std::unique_ptr<TFrame> FrameList::setFrame(int index, std::unique_ptr<TFrame> frame) {
    if (index < 0 || index >= count()) throw std::out_of_range("FrameList::setFrame");
    std::swap(items_[size_t(index)].frame, frame);
    if (observer_) observer_->itemChanged(index);
    return frame;
}

int FrameList::append(std::string text, std::unique_ptr<TFrame> frame) {
    return insert(count(), std::move(text), std::move(frame));
}

int FrameList::insert(int index, std::string text, std::unique_ptr<TFrame> frame) {
    std::vector<Entry> one;
    one.push_back({std::move(text), std::move(frame)});
    return insertRange(index, std::move(one));
}

std::unique_ptr<TFrame> FrameList::take(int index) {
    std::vector<Entry> taken = takeRange(index, 1);
    return taken.empty() ? nullptr : std::move(taken.front().frame);
}

int FrameList::insertRange(int index, std::vector<Entry> entries) {
    if (index < 0 || index > count()) index = count();
    if (entries.empty()) return index;
    const int n = int(entries.size());
    if (observer_) observer_->itemsAboutToBeInserted(index, n);
    items_.insert(items_.begin() + index, std::make_move_iterator(entries.begin()),
                  std::make_move_iterator(entries.end()));
    if (selected_ >= index) selected_ += n;
    if (observer_) observer_->itemsInserted(index, n);
    return index;
}

std::vector<FrameList::Entry> FrameList::takeRange(int first, int n) {
    if (first < 0 || first >= count() || n <= 0) return {};
    n = std::min(n, count() - first);
    if (observer_) observer_->itemsAboutToBeRemoved(first, n);
    const auto begin = items_.begin() + first;
    std::vector<Entry> taken(std::make_move_iterator(begin), std::make_move_iterator(begin + n));
    items_.erase(begin, begin + n);
    if (selected_ >= first + n) selected_ -= n;
    else if (selected_ >= first) selected_ = -1;
    if (observer_) observer_->itemsRemoved(first, n);
    return taken;
}

namespace {

// Up to this many separate blocks are announced one by one (each costs a
// shift of the list); more are announced as one reset.
constexpr size_t maxBlocksAnnounced = 32;

// The [first, end) index ranges of the runs of consecutive positions.
std::vector<std::pair<size_t, size_t>> blocksOf(const std::vector<int32_t>& positions) {
    std::vector<std::pair<size_t, size_t>> blocks;
    for (size_t k = 0; k < positions.size(); ++k) {
        if (k == 0 || positions[k] != positions[k - 1] + 1) blocks.emplace_back(k, k);
        blocks.back().second = k + 1;
    }
    return blocks;
}

}  // namespace

std::vector<FrameList::Entry> FrameList::takeAt(const std::vector<int32_t>& positions) {
    std::vector<int32_t> valid;
    valid.reserve(positions.size());
    for (int32_t p : positions)
        if (p >= 0 && p < count() && (valid.empty() || p > valid.back())) valid.push_back(p);
    const auto blocks = blocksOf(valid);
    std::vector<Entry> taken;
    taken.reserve(valid.size());
    if (blocks.size() <= maxBlocksAnnounced) {
        // From the last block back, so that the earlier positions stay valid.
        for (auto b = blocks.rbegin(); b != blocks.rend(); ++b) {
            std::vector<Entry> part = takeRange(valid[b->first], int(b->second - b->first));
            taken.insert(taken.begin(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
        }
        return taken;
    }
    if (observer_) observer_->aboutToReset();
    size_t kept = 0, next = 0;
    int selected = -1;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (next < valid.size() && size_t(valid[next]) == i) {
            taken.push_back(std::move(items_[i]));
            ++next;
            continue;
        }
        if (int(i) == selected_) selected = int(kept);
        if (kept != i) items_[kept] = std::move(items_[i]);
        ++kept;
    }
    items_.resize(kept);
    selected_ = selected;
    if (observer_) observer_->listReset();
    return taken;
}

void FrameList::insertAt(const std::vector<int32_t>& positions, std::vector<Entry> entries) {
    const size_t m = std::min(positions.size(), entries.size());
    // Each position as insert() would take it: past the end appends.
    std::vector<int32_t> at(m);
    bool ascending = true;
    for (size_t k = 0; k < m; ++k) {
        at[k] = std::clamp(positions[k], 0, count() + int32_t(k));
        if (positions[k] < 0 || (k > 0 && at[k] <= at[k - 1])) ascending = false;
    }
    if (!ascending) {
        // Not the shape takeAt hands out: one at a time, as asked.
        for (size_t k = 0; k < m; ++k) insert(positions[k], std::move(entries[k].text), std::move(entries[k].frame));
        return;
    }
    const auto blocks = blocksOf(at);
    if (blocks.size() <= maxBlocksAnnounced) {
        for (const auto& [first, end] : blocks)
            insertRange(at[first], std::vector<Entry>(std::make_move_iterator(entries.begin() + long(first)),
                                                      std::make_move_iterator(entries.begin() + long(end))));
        return;
    }
    if (observer_) observer_->aboutToReset();
    std::vector<Entry> merged;
    merged.reserve(items_.size() + m);
    size_t old = 0, next = 0;
    int selected = -1;
    while (old < items_.size() || next < m) {
        if (next < m && size_t(at[next]) == merged.size()) {
            merged.push_back(std::move(entries[next++]));
            continue;
        }
        if (int(old) == selected_) selected = int(merged.size());
        merged.push_back(std::move(items_[old++]));
    }
    items_ = std::move(merged);
    selected_ = selected;
    if (observer_) observer_->listReset();
}

std::vector<FrameList::Entry> FrameList::takeAll() {
    if (observer_) observer_->aboutToReset();
    std::vector<Entry> taken = std::move(items_);
    items_.clear();
    selected_ = -1;
    if (observer_) observer_->listReset();
    return taken;
}

bool FrameList::move(int first, int n, int destination) {
    if (first < 0 || n <= 0 || first + n > count() || destination < 0 || destination > count()) return false;
    if (destination >= first && destination <= first + n) return false;
    if (observer_) observer_->itemsAboutToBeMoved(first, n, destination);
    TFrame* selected = frameAt(selected_);
    const auto begin = items_.begin();
    if (destination < first) std::rotate(begin + destination, begin + first, begin + first + n);
    else std::rotate(begin + first, begin + first + n, begin + destination);
    if (selected) selected_ = indexOf(selected);
    if (observer_) observer_->itemsMoved(first, n, destination);
    return true;
}

void FrameList::swap(int a, int b) {
    if (a == b || !frameAt(a) || !frameAt(b)) return;
    std::swap(items_[size_t(a)], items_[size_t(b)]);
    if (observer_) observer_->itemsSwapped(a, b);
}

void FrameList::clear() {
    if (observer_) observer_->aboutToReset();
    items_.clear();
    selected_ = -1;
    if (observer_) observer_->listReset();
}

void FrameList::select(int index) {
    if (index < -1 || index >= count()) index = -1;
    if (index == selected_) return;
    selected_ = index;
    if (observer_) observer_->selectionChanged(index);
}

int FrameList::placeOf(const TFrame& frame) const {
    // A document keeps each frame's number equal to its place; a list of
    // its own may not, so the number is checked before it is trusted.
    if (frame.index >= 0 && frame.index < count() && items_[size_t(frame.index)].frame.get() == &frame) return frame.index;
    return indexOf(&frame);
}

int FrameList::indexOf(const TFrame* frame) const {
    for (int i = 0; i < count(); ++i)
        if (items_[size_t(i)].frame.get() == frame) return i;
    return -1;
}

void FrameList::appendChain(FrameChain chain) {
    std::vector<Entry> entries;
    entries.reserve(chain.size());
    for (auto& frame : chain) {
        std::string text = frame->name;
        entries.push_back({std::move(text), std::move(frame)});
    }
    insertRange(count(), std::move(entries));
}

TFrame* threadFrames(const FrameList& list, bool loop) {
    const int n = list.count();
    if (n == 0) return nullptr;
    for (int i = 0; i < n; ++i) {
        TFrame* f = list.frameAt(i);
        f->index = i;
        f->next = i + 1 < n ? list.frameAt(i + 1) : (loop && n >= 2 ? list.frameAt(0) : nullptr);
    }
    return list.frameAt(0);
}

}  // namespace movigram
