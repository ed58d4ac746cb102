#include "SaveCommands.h"

#include <cstdio>
#include <future>
#include <thread>

#include "FileCommands.h"
#include "colour/ColorReduction.h"
#include "save/CommentFrame.h"
#include "document/DecodeLimits.h"
#include "document/FrameCache.h"
#include "document/FrameChain.h"
#include "save/MaxCompression.h"
#include "save/Optimiser.h"

namespace movigram {

namespace {

}  // namespace

std::unique_ptr<Document> copyForSave(Document& doc, Host* host) {
    auto copy = std::make_unique<Document>(host);
    std::vector<FrameList::Entry> entries;
    entries.reserve(size_t(doc.frameList.count()));
    for (int i = 0; i < doc.frameList.count(); ++i) {
        const TFrame& frame = *doc.frameList.frameAt(i);
        auto c = frame.clone();
        c->overlay = frame.overlay;
        c->unchanged = frame.unchanged;
        entries.push_back({doc.frameList.textAt(i), std::move(c)});
    }
    copy->frameList.insertRange(0, std::move(entries));
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
    doc.frameList.insertRange(0, copy.frameList.takeAll());
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

// What the optimising save with split and mask writes of copy's frames
// (prepared and relinked), from a copy of its own, whose images it parks
// once done with them in a long animation; nothing when it failed.
std::optional<std::vector<uint8_t>> optimisingSaveBytes(Document& copy, Host& quiet) {
    std::unique_ptr<Document> below = copyForSave(copy, &quiet);
    below->cropToDirty = below->splitDirty = below->transparentMaskOption = true;
    below->commentFrameOption = false;
    prepareForSave(*below, true);
    ByteSink optimised;
    const TMyPalette global = below->globalPalette ? *below->globalPalette : TMyPalette();
    GifWriteOptions options = writeOptionsOf(*below);
    options.parkBeyond = decodedFramesBudget;
    if (!writeGifTo(optimised, below->firstFrame, global, options)) return std::nullopt;
    return optimised.take();
}

// The smaller of the plain save of copy's frames (with plainOptions) and,
// with optimised, the optimising save; the plain one when they are alike.
// The optimising save comes first: it is nearly always the smaller, and the
// plain one gives up once it passes it.  Empty when both failed.
std::vector<uint8_t> smallerRival(Document& copy, const TMyPalette& global, const GifWriteOptions& plainOptions,
                                  Host& quiet, bool optimised) {
    std::optional<std::vector<uint8_t>> below = optimised ? optimisingSaveBytes(copy, quiet) : std::nullopt;
    ByteSink plain(below ? below->size() : SIZE_MAX);
    if (writeGifTo(plain, copy.firstFrame, global, plainOptions) || !below) return plain.take();
    return std::move(*below);
}

// Maximum compression: the planned file, unless the plain save or the
// optimising save with split and mask of the same frames comes out smaller
// (the smallest of the three is written).  The other two are written on a
// second thread while the plan is made (the optimising save from a copy of
// its own, which shows nothing; the plain save and the copy only read the
// frames, as the plan does).  copy is prepared for the save and relinked;
// nothing when its host asked to stop.  With planOnly, only the plan at the
// document's lossy level is made: no rivals, no lossless twin (sizes for
// comparing with one another, at a fraction of the work).  An animation too
// large to plan gets the smaller of the other two.
std::optional<std::vector<uint8_t>> maxCompressedBytes(Document& copy, bool planOnly = false) {
    Host& host = copy.host();
    FollowingHost quiet(&host);
    const TMyPalette global = copy.globalPalette ? *copy.globalPalette : TMyPalette();
    MaxCompressionOptions options{copy.loopCount, &host};
    options.restoreToPrevious = copy.restoreToPrevious;
    options.lossyQuality = copy.lossyQuality;
    GifPlan plan;
    ByteSink planned;
    GifWriteOptions plainOptions = writeOptionsOf(copy);
    plainOptions.progress = &quiet;
    // Maximum compression holds every image decoded at once.  An animation
    // that would not fit in the memory one file may take is written by the
    // smaller of the optimising and the plain save, which have each image
    // decoded only while they work on it: a larger file than the plan's,
    // not a program that runs out of memory.
    if (parkingPays(copy.firstFrame, DecodeLimits::defaults().maxTotalBytes)) {
        StatusText status(host, "Too large for maximum compression: optimizing frame by frame...");
        plainOptions.parkBeyond = decodedFramesBudget;
        std::vector<uint8_t> bytes = smallerRival(copy, global, plainOptions, quiet, true);
        if (host.stopRequested() || bytes.empty()) return std::nullopt;
        return bytes;
    }
    if (planOnly) {
        if (!planMaxCompression(copy.firstFrame, global, options, plan) || !writeGifPlan(planned, plan) ||
            host.stopRequested())
            return std::nullopt;
        return planned.take();
    }
    // Alongside the plan when that pays, and when the optimising save's copy
    // of the frames may live with the plan's pictures (above 512 M pixels it
    // waits for the plan to be done, as a single thread would).
    const uint64_t pixels = imagePixels(copy.firstFrame);
    const bool alongside =
        std::thread::hardware_concurrency() > 1 && worthASecondThread(pixels) && pixels <= (uint64_t(1) << 29);
    // After the plan, the plain save is the only one reading the frames.
    if (!alongside) plainOptions.parkBeyond = decodedFramesBudget;
    // The optimising save works on a copy of the frames of its own; above
    // maxRivalPixels that copy would cost more memory than the plan, which
    // nearly always wins anyway, and only the plain save is compared.
    const bool optimisedRival = pixels <= maxRivalPixels;
    // The smaller of the plain and the optimising save.
    auto rivals = std::async(alongside ? std::launch::async : std::launch::deferred, [&, plainOptions] {
        return smallerRival(copy, global, plainOptions, quiet, optimisedRival);
    });

    bool havePlan = planMaxCompression(copy.firstFrame, global, options, plan) && writeGifPlan(planned, plan);
    plan = GifPlan{};
    // A lossy plan can come out larger than the lossless one (an image's
    // close colours cost the later images some of their choices): the
    // smaller is kept.
    std::vector<uint8_t> plannedBytes = havePlan ? planned.take() : std::vector<uint8_t>();
    if (options.lossyQuality < 100) {
        options.lossyQuality = 100;
        ByteSink lossless(havePlan ? plannedBytes.size() : SIZE_MAX);
        if (planMaxCompression(copy.firstFrame, global, options, plan) && writeGifPlan(lossless, plan)) {
            plannedBytes = lossless.take();
            havePlan = true;
        }
        plan = GifPlan{};
    }
    std::vector<uint8_t> best = rivals.get();
    if (host.stopRequested()) return std::nullopt;
    // Nor is a lossy save larger than the plain lossless one, which writes
    // the data the file came with where the pictures are as read (noise
    // no encoder shortens can be stored more tightly than any of ours).
    if (copy.lossyQuality < 100) {
        GifWriteOptions lossless = plainOptions;
        lossless.lossyQuality = 100;
        ByteSink sink(std::min(best.empty() ? SIZE_MAX : best.size(), havePlan ? plannedBytes.size() : SIZE_MAX));
        if (writeGifTo(sink, copy.firstFrame, global, lossless)) best = sink.take();
    }
    if (havePlan && (best.empty() || plannedBytes.size() <= best.size())) best = std::move(plannedBytes);
    return best;
}

// Prepares the copy a save writes: the comment frame and the optimisation
// passes (maximum compression lays out the frames as they are), and without
// the passes the frames linked whole (dirty rectangles left from showing
// them could leave frames out).
void prepareCopy(Document& copy, bool optimize) {
    const bool maximum = optimize && copy.maxCompression;
    prepareForSave(copy, optimize && !maximum);
    if (!optimize || maximum) copy.relink();
}

// The writer's options of a save made without maximum compression.
GifWriteOptions saveOptionsOf(Document& copy, bool optimize) {
    GifWriteOptions options = writeOptionsOf(copy);
    if (!optimize) options.lossyQuality = 100;
    // Only the writer reads these frames now.
    options.parkBeyond = decodedFramesBudget;
    return options;
}

}  // namespace

GifWriteResult writePreparedCopy(Document& doc, const std::string& path, bool optimize, bool keep) {
    Host& host = doc.host();
    // Maximum compression only reads the frames, and the document keeps what
    // it prepares (the comment frame): unless something else may change the
    // document meanwhile (a recording that ends, in the editor), it is
    // prepared in place, and a long animation's pixels are not held twice.
    const bool inPlace = optimize && doc.maxCompression && keep && !host.runsEventsMeanwhile();
    const int framesBefore = doc.frameList.count();
    std::unique_ptr<Document> copy = inPlace ? nullptr : copyForSave(doc, &host);
    Document& prepared = inPlace ? doc : *copy;
    prepareCopy(prepared, optimize);
    const size_t slash = path.find_last_of('/');
    StatusText status(host, "Saving \"" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "\"");
    GifWriteResult result;
    if (optimize && doc.maxCompression) {
        // The document keeps its frames, with the comment frame when the
        // option puts one in.
        const std::optional<std::vector<uint8_t>> bytes = maxCompressedBytes(prepared);
        result = bytes ? writeGifBytes(path, *bytes) : GifWriteResult{.path = path};
    } else {
        const TMyPalette global = prepared.globalPalette ? *prepared.globalPalette : TMyPalette();
        result = writeGif(path, prepared.firstFrame, global, saveOptionsOf(prepared, optimize));
    }
    if (!result.ok) {
        // Prepared in place, the document loses its new comment frame again.
        if (inPlace && doc.frameList.count() > framesBefore) {
            doc.frameList.take(0);
            doc.relink();
        }
        host.showMessage("Error", gifWriteErrorMessage(result), MessageIcon::Stop);
    } else if (inPlace) {
        doc.changed({.palette = true});
    } else if (keep) {
        takePrepared(doc, *copy);
    }
    return result;
}

std::vector<uint8_t> savedBytes(Document& doc, bool optimize, Host* host, bool planOnly, bool spare) {
    std::unique_ptr<Document> own = spare ? nullptr : copyForSave(doc, host);
    Document* copy = spare ? &doc : own.get();
    prepareCopy(*copy, optimize);
    if (optimize && copy->maxCompression)
        return maxCompressedBytes(*copy, planOnly).value_or(std::vector<uint8_t>());
    ByteSink out;
    const TMyPalette global = copy->globalPalette ? *copy->globalPalette : TMyPalette();
    GifWriteOptions options = saveOptionsOf(*copy, optimize);
    if (!writeGifTo(out, copy->firstFrame, global, options) || copy->host().stopRequested()) return {};
    return out.take();
}

SizeEstimate::SizeEstimate(Document& doc) : optimize_(doc.optimizeOnSave) {
    // What Save refuses to write has no size.
    if (anyFrameHasPixels(doc.frameList)) copy_ = copyForSave(doc, &host_);
}

SizeEstimate::~SizeEstimate() = default;

std::optional<uint64_t> SizeEstimate::run() {
    if (!copy_) return std::nullopt;
    std::unique_ptr<Document> copy = std::move(copy_);
    prepareCopy(*copy, optimize_);
    if (optimize_ && copy->maxCompression) {
        const std::optional<std::vector<uint8_t>> bytes = maxCompressedBytes(*copy);
        if (!bytes) return std::nullopt;
        return bytes->size();
    }
    ByteSink counter{CountOnly{}};
    const TMyPalette global = copy->globalPalette ? *copy->globalPalette : TMyPalette();
    if (!writeGifTo(counter, copy->firstFrame, global, saveOptionsOf(*copy, optimize_))) return std::nullopt;
    return counter.size();
}

std::string describeSize(uint64_t bytes) {
    char text[32];
    if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const double kb = double(bytes) / 1000;
    if (kb < 999.5) std::snprintf(text, sizeof text, kb < 99.95 ? "%.1f" : "%.0f", kb);
    else std::snprintf(text, sizeof text, "%.2f", kb / 1000);
    // 10 MB, 1.5 MB: no zeros after the point.
    std::string number = text;
    if (number.find('.') != std::string::npos) {
        number.erase(number.find_last_not_of('0') + 1);
        if (number.back() == '.') number.pop_back();
    }
    return number + (kb < 999.5 ? " KB" : " MB");
}

std::string approximateSizeText(uint64_t bytes) { return "\u2248 " + describeSize(bytes); }

}  // namespace movigram
