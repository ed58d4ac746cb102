#pragma once
// What the frame operations share: the selected positions of a frame dialog,
// the bounding rectangle of a selection and the marking of a changed
// document.
#include <cstdint>
#include <vector>

#include "document/Document.h"

namespace movigram {

// The positions a frame dialog hands over: ascending, each once, all inside
// the list.
using FrameSelection = std::vector<int32_t>;
FrameSelection normalizeSelection(const FrameList& list, FrameSelection positions);
// Every position of the list.
FrameSelection selectAll(const FrameList& list);

// Union of two rectangles where an all-zero rectangle stands for none; a
// non-null rectangle of zero size still counts.
TRect uniteRects(const TRect& a, const TRect& b);
// The union of the rects of the selected frames that have an image (null when
// there is none).
TRect selectionRect(const FrameList& list, const FrameSelection& selection);
// True when every frame of the list that has an image is selected.
bool allImageFramesSelected(const FrameList& list, const FrameSelection& selection);

// After an operation that changes what a save writes: the file sizes of the
// title no longer describe the document.
void forgetFileSizes(Document& doc);
// Makes the frame at index the current one (the list selection that rethread
// turns into currentFrame).
void showFrame(Document& doc, int index);

}  // namespace movigram
