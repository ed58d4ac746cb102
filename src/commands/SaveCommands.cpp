#include "SaveCommands.h"

#include <future>
#include <thread>

#include "colour/ColorReduction.h"
#include "save/CommentFrame.h"
#include "document/FrameChain.h"
#include "save/MaxCompression.h"
#include "save/Optimiser.h"

namespace movigram {

std::unique_ptr<Document> copyForSave(Document& doc, bool quiet) {
    auto copy = std::make_unique<Document>(quiet ? nullptr : &doc.host());
    for (int i = 0; i < doc.frameList.count(); ++i) {
        const TFrame& frame = *doc.frameList.frameAt(i);
        auto c = frame.clone();
        c->overlay = frame.overlay;
        c->unchanged = frame.unchanged;
        copy->frameList.append(doc.frameList.textAt(i), std::move(c));
    }
    copy->frameList.select(doc.frameList.selectedIndex());
    if (doc.globalPalette) copy->globalPalette = std::make_unique<TMyPalette>(*doc.globalPalette);
    copy->backgroundIndex = doc.backgroundIndex;
    copy->transparentIndex = doc.transparentIndex;
    copy->sameTransparent = doc.sameTransparent;
    copy->frameTime = doc.frameTime;
    copy->loopOption = doc.loopOption;
    copy->loopCount = doc.loopCount;
    copy->cropToDirty = doc.cropToDirty;
    copy->splitDirty = doc.splitDirty;
    copy->optimizeColors = doc.optimizeColors;
    copy->commentFrameOption = doc.commentFrameOption;
    copy->transparentMaskOption = doc.transparentMaskOption;
    copy->maxCompression = doc.maxCompression;
    copy->restoreToPrevious = doc.restoreToPrevious;
    copy->lossyQuality = doc.lossyQuality;
    copy->quantize = doc.quantize;
    copy->localPaletteMode = doc.localPaletteMode;
    copy->globalPaletteMode = doc.globalPaletteMode;
    return copy;
}

namespace {

// The document takes the frames and palette of its prepared copy; the list
// tells the views of each step.
void takePrepared(Document& doc, Document& copy) {
    const int selected = copy.frameList.selectedIndex();
    doc.frameList.clear();
    while (!copy.frameList.empty()) {
        std::string text = copy.frameList.textAt(0);
        doc.frameList.append(std::move(text), copy.frameList.take(0));
    }
    doc.globalPalette = std::move(copy.globalPalette);
    doc.transparentIndex = copy.transparentIndex;
    doc.sameTransparent = copy.sameTransparent;
    doc.dirtyRectsUpToDate = copy.dirtyRectsUpToDate;
    doc.screenWidth = copy.screenWidth;
    doc.screenHeight = copy.screenHeight;
    doc.showFrameAt(selected);
    doc.changed({.palette = true});
}

}  // namespace

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
    options.progress = &doc.host();
    options.lossyQuality = doc.lossyQuality;
    return options;
}

namespace {

// Maximum compression: the planned file, unless the plain save or the
// optimising save with split and mask of the same frames comes out smaller
// (the smallest of the three is written).  The other two are written on a
// second thread while the plan is made (the optimising save from a copy of
// its own, which tells no host; the plain save and the copy only read the
// frames, as the plan does).  The document keeps its frames, with the
// comment frame when the option puts one in.
std::vector<uint8_t> maxCompressedBytes(Document& copy) {
    const TMyPalette global = copy.globalPalette ? *copy.globalPalette : TMyPalette();
    GifWriteOptions plainOptions = writeOptionsOf(copy);
    plainOptions.progress = nullptr;
    // Alongside the plan when that pays, and when the optimising save's copy
    // of the frames may live with the plan's pictures (above 512 M pixels it
    // waits for the plan to be done, as a single thread would).
    const uint64_t pixels = imagePixels(copy.firstFrame);
    const bool alongside =
        std::thread::hardware_concurrency() > 1 && worthASecondThread(pixels) && pixels <= (uint64_t(1) << 29);
    // The smaller of the plain and the optimising save, the plain one when
    // they are alike.  The optimising save comes first: it is nearly always
    // the smaller, and the plain one gives up once it passes it.
    auto rivals = std::async(
        alongside ? std::launch::async : std::launch::deferred, [&, plainOptions] {
            std::unique_ptr<Document> below = copyForSave(copy, true);
            below->cropToDirty = below->splitDirty = below->transparentMaskOption = true;
            below->commentFrameOption = false;
            prepareForSave(*below, true);
            ByteSink optimised;
            const TMyPalette belowGlobal = below->globalPalette ? *below->globalPalette : TMyPalette();
            const bool optimisedOk = writeGifTo(optimised, below->firstFrame, belowGlobal, writeOptionsOf(*below));
            below.reset();
            ByteSink plain(optimisedOk ? optimised.bytes().size() : SIZE_MAX);
            if (writeGifTo(plain, copy.firstFrame, global, plainOptions) || !optimisedOk) return plain.bytes();
            return optimised.bytes();
        });

    GifPlan plan;
    ByteSink planned;
    MaxCompressionOptions options{copy.loopCount, &copy.host()};
    options.restoreToPrevious = copy.restoreToPrevious;
    options.lossyQuality = copy.lossyQuality;
    bool havePlan = planMaxCompression(copy.firstFrame, global, options, plan) && writeGifPlan(planned, plan);
    plan = GifPlan{};
    // A lossy plan can come out larger than the lossless one (an image's
    // close colours cost the later images some of their choices): the
    // smaller is kept.
    std::vector<uint8_t> plannedBytes = havePlan ? planned.bytes() : std::vector<uint8_t>();
    if (options.lossyQuality < 100) {
        options.lossyQuality = 100;
        ByteSink lossless(havePlan ? plannedBytes.size() : SIZE_MAX);
        if (planMaxCompression(copy.firstFrame, global, options, plan) && writeGifPlan(lossless, plan)) {
            plannedBytes = lossless.bytes();
            havePlan = true;
        }
        plan = GifPlan{};
    }
    std::vector<uint8_t> best = rivals.get();
    if (havePlan && plannedBytes.size() <= best.size()) best = std::move(plannedBytes);
    return best;
}

// Maximum compression: the planned file, unless the plain save or the
// optimising save with split and mask of the same frames comes out smaller
// (the smallest of the three is written).  The other two are written on a
// second thread while the plan is made (the optimising save from a copy of
// its own, which tells no host; the plain save and the copy only read the
// frames, as the plan does).  The document keeps its frames, with the
// comment frame when the option puts one in.
GifWriteResult writeMaxCompressed(Document& doc, const std::string& path, bool keep) {
    Host& host = doc.host();
    std::unique_ptr<Document> copy = copyForSave(doc);
    prepareForSave(*copy, false);
    copy->relink();
    const size_t slash = path.find_last_of('/');
    StatusText status(host, "Saving \"" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "\"");
    const GifWriteResult result = writeGifBytes(path, maxCompressedBytes(*copy));
    if (!result.ok) host.showMessage("Error", gifWriteErrorMessage(result), MessageIcon::Stop);
    else if (keep) takePrepared(doc, *copy);
    return result;
}

}  // namespace

GifWriteResult writePreparedCopy(Document& doc, const std::string& path, bool optimize, bool keep) {
    if (optimize && doc.maxCompression) return writeMaxCompressed(doc, path, keep);
    Host& host = doc.host();
    std::unique_ptr<Document> copy = copyForSave(doc);
    prepareForSave(*copy, optimize);
    // Without the optimisation passes the frames are written whole: dirty
    // rectangles left from showing them could leave frames out.
    if (!optimize) copy->relink();
    const size_t slash = path.find_last_of('/');
    StatusText status(host, "Saving \"" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "\"");
    const TMyPalette global = copy->globalPalette ? *copy->globalPalette : TMyPalette();
    GifWriteOptions options = writeOptionsOf(doc);
    if (!optimize) options.lossyQuality = 100;
    const GifWriteResult result = writeGif(path, copy->firstFrame, global, options);
    if (!result.ok) host.showMessage("Error", gifWriteErrorMessage(result), MessageIcon::Stop);
    else if (keep) takePrepared(doc, *copy);
    return result;
}

std::vector<uint8_t> savedBytes(Document& doc, bool optimize) {
    std::unique_ptr<Document> copy = copyForSave(doc, true);
    if (optimize && doc.maxCompression) {
        prepareForSave(*copy, false);
        copy->relink();
        return maxCompressedBytes(*copy);
    }
    prepareForSave(*copy, optimize);
    if (!optimize) copy->relink();
    const TMyPalette global = copy->globalPalette ? *copy->globalPalette : TMyPalette();
    GifWriteOptions options = writeOptionsOf(*copy);
    options.progress = nullptr;
    if (!optimize) options.lossyQuality = 100;
    ByteSink out;
    if (!writeGifTo(out, copy->firstFrame, global, options)) return {};
    return out.bytes();
}

}  // namespace movigram
