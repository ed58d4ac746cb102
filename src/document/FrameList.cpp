#include "FrameList.h"

#include <algorithm>
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
    if (index < 0 || index > count()) index = count();
    if (observer_) observer_->itemsAboutToBeInserted(index, 1);
    items_.insert(items_.begin() + index, Item{std::move(text), std::move(frame)});
    if (selected_ >= index) ++selected_;
    if (observer_) observer_->itemsInserted(index, 1);
    return index;
}

std::unique_ptr<TFrame> FrameList::take(int index) {
    if (index < 0 || index >= count()) return nullptr;
    if (observer_) observer_->itemsAboutToBeRemoved(index, 1);
    std::unique_ptr<TFrame> frame = std::move(items_[size_t(index)].frame);
    items_.erase(items_.begin() + index);
    if (selected_ == index) selected_ = -1;
    else if (selected_ > index) --selected_;
    if (observer_) observer_->itemsRemoved(index, 1);
    return frame;
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
    if (observer_) observer_->itemChanged(a);
    if (observer_) observer_->itemChanged(b);
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

int FrameList::indexOf(const TFrame* frame) const {
    for (int i = 0; i < count(); ++i)
        if (items_[size_t(i)].frame.get() == frame) return i;
    return -1;
}

void FrameList::appendChain(FrameChain chain) {
    for (auto& frame : chain) {
        std::string text = frame->name;
        append(std::move(text), std::move(frame));
    }
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
