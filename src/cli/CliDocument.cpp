#include "CliDocument.h"

#include <cstdio>

#include "colour/ReadingPolicy.h"
#include "document/CommentFrame.h"
#include "document/FrameChain.h"
#include "document/GifReader.h"
#include "document/GifWriter.h"

namespace movigram::cli {

void StderrHost::showMessage(const std::string& caption, const std::string& text, MessageIcon) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void openGif(Document& doc, const std::string& path) {
    GifReadOutput gif = readGif(path);
    if (gif.result != GifOk) {
        if (gif.frames.empty()) throw CliError{gifResultMessage(gif.result, path)};
        doc.host().showMessage("File error", gifResultMessage(gif.result, path), MessageIcon::Stop);
    }
    doc.frameList.clear();
    doc.globalPalette.reset();
    PaletteReadingBatch batch(doc);
    const bool multiFrame = gif.frames.size() >= 2;
    if (multiFrame) doc.backgroundIndex = chainBackground(gif.frames.front().get());
    else if (!gif.frames.empty()) gif.frames.front()->frameTime = doc.frameTime;
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
    const size_t slash = path.find_last_of('/');
    doc.fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    doc.modified = false;
    doc.optimizable = doc.cropToDirty;
}

void saveGifAs(Document& doc, const std::string& path) {
    if (doc.frameList.empty()) throw CliError{"nothing to save: the document has no frames"};
    if (doc.commentFrameOption && ensureCommentFrame(doc.frameList, doc.loopOption)) doc.relink();
    GifWriteOptions options;
    options.loopCount = doc.loopCount;
    const TMyPalette global = doc.globalPalette ? *doc.globalPalette : TMyPalette();
    const GifWriteResult written = writeGif(path, doc.firstFrame, global, options);
    if (!written.ok) throw CliError{gifWriteErrorMessage(written.errorCode)};
    std::printf("wrote %s\n", written.path.c_str());
}

}  // namespace movigram::cli
