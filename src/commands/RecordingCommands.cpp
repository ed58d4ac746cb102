#include "RecordingCommands.h"

#include <algorithm>

#include "colour/ReadingPolicy.h"
#include "document/Undo.h"

namespace movigram {

void placeRecording(Document& doc, int position, FrameChain frames, const std::string& name) {
    if (frames.empty()) return;
    doc.startEdit();
    if (position == ReplaceDocument) {
        clearDocument(doc);
        doc.fileName = name + ".gif";
        // A new recording plays in a loop, whatever the file before did.
        doc.loopOption = true;
        doc.loopCount = 0;
    }
    doc.fileSize = doc.previousFileSize = -1;
    doc.savedToSaveDir = false;
    PaletteReadingBatch palettes(doc);
    std::vector<FrameList::Entry> entries;
    entries.reserve(frames.size());
    for (auto& frame : frames) {
        palettes.acceptFrame(*frame);
        std::string text = frame->name;
        entries.push_back({std::move(text), std::move(frame)});
    }
    const int at = position < 0 ? doc.frameList.count() : std::min(position, doc.frameList.count());
    const int first = doc.frameList.insertRange(at, std::move(entries));
    doc.relink();
    setBackgroundAll(doc.firstFrame, doc.backgroundIndex);
    doc.frameTime = normalizeFrameTimes(doc.firstFrame);
    palettes.finish();
    doc.frameList.select(first);
    doc.currentFrame = doc.frameList.frameAt(first);
    doc.transparentIndex = documentTransparent(doc.firstFrame);
    if (doc.globalPalette) doc.globalPalette->transparentIndex = doc.transparentIndex;
    doc.sameTransparent = sameTransparent(doc.firstFrame);
    doc.optimizable = true;
    clearUndo(doc);
    doc.setModified(true);
    doc.changed({.palette = true, .title = true});
}

}  // namespace movigram
