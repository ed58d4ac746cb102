#include "SaveCommands.h"

#include "colour/ColorReduction.h"
#include "document/CommentFrame.h"
#include "document/Optimiser.h"

namespace movigram {

void prepareForSave(Document& doc, bool optimize) {
    if (doc.commentFrameOption && ensureCommentFrame(doc.frameList, doc.loopOption)) rethread(doc, 0);
    if (optimize) {
        rethread(doc, 1);
        if (doc.optimizeColors) reduceToPowerOfTwo(doc);
        rethread(doc, 2);
    }
}

GifWriteOptions writeOptionsOf(Document& doc) {
    GifWriteOptions options;
    options.cropToDirty = doc.cropToDirty;
    options.loopCount = doc.loopCount;
    Host* host = &doc.host();
    options.progress = [host](int percent) { host->setProgress(percent); };
    return options;
}

}  // namespace movigram
