#pragma once
// The ordered list of a document's frames.  Item order is frame order; each
// item carries the text shown for it and owns its frame.  The editor's list
// view observes it through FrameListObserver.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FrameChain.h"
#include "TFrame.h"

namespace movigram {

// Told before and after every change of the list; the document is the
// list's observer and passes the changes on to its views.
class FrameListObserver {
public:
    virtual ~FrameListObserver() = default;
    virtual void itemsAboutToBeInserted(int /*first*/, int /*count*/) {}
    virtual void itemsInserted(int /*first*/, int /*count*/) {}
    virtual void itemsAboutToBeRemoved(int /*first*/, int /*count*/) {}
    virtual void itemsRemoved(int /*first*/, int /*count*/) {}
    virtual void itemsAboutToBeMoved(int /*first*/, int /*count*/, int /*destination*/) {}
    virtual void itemsMoved(int /*first*/, int /*count*/, int /*destination*/) {}
    virtual void aboutToReset() {}
    virtual void listReset() {}
    // The item's text or frame was replaced.
    virtual void itemChanged(int /*index*/) {}
    // Two items exchanged places.
    virtual void itemsSwapped(int a, int b) {
        itemChanged(a);
        itemChanged(b);
    }
    virtual void selectionChanged(int /*index*/) {}
};

class FrameList {
public:
    // An item taken out of the list or to be put into it.
    struct Entry {
        std::string text;
        std::unique_ptr<TFrame> frame;
    };

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

    // The batch operations below cost one pass over the list whatever the
    // number of items, and announce one change.
    // Inserts the entries in order before index (appends when index is
    // past the end); returns the position used.
    int insertRange(int index, std::vector<Entry> entries);
    // Removes count items from first on (fewer at the end of the list).
    std::vector<Entry> takeRange(int first, int count);
    // Removes the items at the given positions (ascending, no repeats) and
    // hands them back in that order.  Positions outside the list are
    // skipped.  One block is announced as a removal, scattered items as a
    // reset; the selection follows its item or is cleared with it.
    std::vector<Entry> takeAt(const std::vector<int32_t>& positions);
    // The inverse of takeAt: entries[k] goes to positions[k], each position
    // counted in the list with the entries before it already in place
    // (ascending, no repeats; positions past the end append).  Announced as
    // takeAt does.
    void insertAt(const std::vector<int32_t>& positions, std::vector<Entry> entries);
    // Every item, the list left empty (announced as a reset).
    std::vector<Entry> takeAll();
    // Moves count items from first to before the item at destination
    // (count() moves them to the end); the selection follows its item.
    // False, and nothing moves, when the range is invalid or the move would
    // change nothing.
    bool move(int first, int count, int destination);
    // Exchanges two items, texts and frames.
    void swap(int a, int b);
    void clear();

    int selectedIndex() const { return selected_; }
    void select(int index);
    int indexOf(const TFrame* frame) const;
    // The place of a frame known to be alive (in this list or not), found
    // at once from its number when that is right: for stepping and playing.
    // indexOf is for pointers that may no longer be in the list.
    int placeOf(const TFrame& frame) const;

    // Moves every frame of an owned chain to the end of the list.
    void appendChain(FrameChain chain);

    void setObserver(FrameListObserver* observer) { observer_ = observer; }

private:
    std::vector<Entry> items_;
    int selected_ = -1;
    FrameListObserver* observer_ = nullptr;
};

// Links the frames in list order (circular when loop is set and there are at
// least two), renumbers them and returns the first, or null for an empty list.
TFrame* threadFrames(const FrameList& list, bool loop);

}  // namespace movigram
