#include "SaveCommands.h"

#include "colour/ColorReduction.h"
#include "document/CommentFrame.h"
#include "document/Optimiser.h"

namespace movigram {

void prepareForSave(Document& doc, bool optimize) {
    if (doc.commentFrameOption && ensureCommentFrame(doc.frameList, doc.loopOption)) doc.relink();
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

GifWriteResult saveDocumentAs(Document& doc, const std::string& path, bool optimize) {
    GifWriteResult result;
    if (doc.frameList.empty()) return result;
    Host& host = doc.host();
    prepareForSave(doc, optimize);
    const size_t slash = path.find_last_of('/');
    StatusText status(host, "Saving \"" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "\"");
    const TMyPalette global = doc.globalPalette ? *doc.globalPalette : TMyPalette();
    result = writeGif(path, doc.firstFrame, global, writeOptionsOf(doc));
    if (!result.ok) {
        host.showMessage("", gifWriteErrorMessage(result.errorCode), MessageIcon::Stop);
        return result;
    }
    doc.setModified(false);
    doc.optimizable = false;
    host.startGaugeReset();
    return result;
}

}  // namespace movigram
