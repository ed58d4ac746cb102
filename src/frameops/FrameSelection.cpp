#include "FrameSelection.h"

#include <algorithm>

namespace movigram {

FrameSelection normalizeSelection(const FrameList& list, FrameSelection positions) {
    std::erase_if(positions, [&](int32_t p) { return p < 0 || p >= list.count(); });
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

FrameSelection selectAll(const FrameList& list) {
    FrameSelection all;
    for (int i = 0; i < list.count(); ++i) all.push_back(i);
    return all;
}

TRect uniteRects(const TRect& a, const TRect& b) {
    if (b.isNull()) return a;
    if (a.isNull()) return b;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

TRect selectionRect(const FrameList& list, const FrameSelection& selection) {
    TRect r;
    for (int32_t i : selection)
        if (const TFrame* f = list.frameAt(i); f && f->hasImage()) r = uniteRects(r, f->rect);
    return r;
}

bool allImageFramesSelected(const FrameList& list, const FrameSelection& selection) {
    for (int i = 0; i < list.count(); ++i)
        if (list.frameAt(i)->hasImage() && !std::binary_search(selection.begin(), selection.end(), i)) return false;
    return true;
}

void forgetFileSizes(Document& doc) {
    if (doc.fileSize < 0 && doc.previousFileSize < 0) return;
    doc.fileSize = doc.previousFileSize = -1;
    doc.titleEdited();
}

void showFrame(Document& doc, int index) {
    if (doc.frameList.empty()) return;
    doc.showFrameAt(std::clamp(index, 0, doc.frameList.count() - 1));
}

}  // namespace movigram
