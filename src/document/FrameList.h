#pragma once
// The ordered list of a document's frames.  Item order is frame order; each
// item carries the text shown for it and owns its frame.  The editor's list
// view observes it through FrameListObserver.
#include <memory>
#include <string>
#include <vector>

#include "FrameChain.h"
#include "TFrame.h"

namespace movigram {

class FrameListObserver {
public:
    virtual ~FrameListObserver() = default;
    virtual void itemsInserted(int /*first*/, int /*count*/) {}
    virtual void itemsRemoved(int /*first*/, int /*count*/) {}
    virtual void itemChanged(int /*index*/) {}
    virtual void listReset() {}
    virtual void selectionChanged(int /*index*/) {}
};

class FrameList {
public:
    int count() const { return int(items_.size()); }
    bool empty() const { return items_.empty(); }
    TFrame* frameAt(int index) const;
    const std::string& textAt(int index) const;
    void setText(int index, std::string text);

    // Replaces the frame of an item and hands back the old one.
    std::unique_ptr<TFrame> setFrame(int index, std::unique_ptr<TFrame> frame);
    int append(std::string text, std::unique_ptr<TFrame> frame);
    // Inserts before index (appends when index is past the end); returns the
    // position used.
    int insert(int index, std::string text, std::unique_ptr<TFrame> frame);
    // Removes an item and hands its frame to the caller.
    std::unique_ptr<TFrame> take(int index);
    void erase(int index) { take(index); }
    void clear();

    int selectedIndex() const { return selected_; }
    void select(int index);
    int indexOf(const TFrame* frame) const;

    // Moves every frame of an owned chain to the end of the list.
    void appendChain(FrameChain chain);

    void setObserver(FrameListObserver* observer) { observer_ = observer; }

private:
    struct Item {
        std::string text;
        std::unique_ptr<TFrame> frame;
    };
    std::vector<Item> items_;
    int selected_ = -1;
    FrameListObserver* observer_ = nullptr;
};

// Links the frames in list order (circular when loop is set and there are at
// least two), renumbers them and returns the first, or null for an empty list.
TFrame* threadFrames(const FrameList& list, bool loop);

}  // namespace movigram
