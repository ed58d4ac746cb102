#include "OpenCommands.h"

#include "colour/ReadingPolicy.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "document/Optimiser.h"

namespace movigram {

int openGifDocument(Document& doc, const std::string& path) {
    GifReadOutput gif = readGif(path);
    if (gif.frames.empty()) return gif.result == GifOk ? GifCorrupt : gif.result;
    doc.frameList.clear();
    doc.globalPalette.reset();
    PaletteReadingBatch batch(doc);
    const bool multiFrame = gif.frames.size() >= 2;
    if (multiFrame) doc.backgroundIndex = chainBackground(gif.frames.front().get());
    else gif.frames.front()->frameTime = doc.frameTime;
    for (auto& frame : gif.frames) {
        batch.acceptFrame(*frame);
        std::string text = frame->name;
        doc.frameList.append(std::move(text), std::move(frame));
    }
    if (multiFrame) doc.loopOption = gif.loopFound;
    doc.loopCount = gif.loopCount;
    doc.relink();
    setBackgroundAll(doc.firstFrame, doc.backgroundIndex);
    doc.frameTime = normalizeFrameTimes(doc.firstFrame);
    batch.finish();
    doc.fileName = baseNameOf(path);
    doc.setModified(false);
    doc.optimizable = doc.cropToDirty;
    return gif.result;
}

}  // namespace movigram
