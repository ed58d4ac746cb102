#include "ImageEncoding.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <unordered_map>

namespace movigram {

namespace {

// Bits of a table or code holding `count` values.
int bitsFor(size_t count) { return count <= 1 ? 0 : int(std::bit_width(count - 1)); }

// The rows of a width-pixel image in the order an interlaced image stores
// them: every eighth row from 0, every eighth from 4, every fourth from 2,
// every second from 1.
void interlaceRows(const std::vector<uint8_t>& rows, uint32_t width, std::vector<uint8_t>& out) {
    out.clear();
    if (width == 0) return;
    const size_t height = rows.size() / width;
    for (const auto& [first, step] : {std::pair<size_t, size_t>{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (size_t y = first; y < height; y += step)
            out.insert(out.end(), rows.begin() + ptrdiff_t(y * width), rows.begin() + ptrdiff_t((y + 1) * width));
}

}  // namespace

size_t GlobalColours::tableSize() const { return size_t(1) << std::max(1, bitsFor(ids.size())); }

ImageEncoder::ImageEncoder(const screen::ColourIds& ids, const GlobalColours& global, uint8_t backgroundIndex,
                           uint32_t blackId)
    : ids_(ids), global_(global), background_(backgroundIndex), blackId_(blackId) {}

namespace {

// The string table is judged every 256 codes once full; the other ways of
// clearing it (among them clearing at once, one, two or three codes before
// the table fills), and writing free pixels in their own colours, are tried on the
// image chosen.  The data starts without a clear code, which can only save
// a byte.
constexpr LzwPreference alternative = LzwPreference::Alternative;
constexpr LzwChoiceOptions firstClearing{256, 1.0f, alternative, false};
constexpr LzwChoiceOptions otherClearings[] = {{1, 0.0f, alternative, false},
                                               {1024, 1.2f, alternative, false},
                                               {64, 1.0f, alternative, false},
                                               {0, 0.0f, alternative, false},
                                               {0, 0.0f, alternative, false, 2},
                                               {0, 0.0f, alternative, false, 3}};

}  // namespace

void ImageEncoder::encodeBest(const ImagePixels& pixels, uint32_t requiredRestore, bool needsTransparent,
                              EncodedImage& best) {
    values_.resize(pixels.want.size());
    free_.resize(pixels.want.size());
    width_ = uint32_t(pixels.rect.width());
    pixels_ = &pixels;
    int localBits = 0;
    const int globalBits = tryGlobal(pixels, requiredRestore, needsTransparent, best, localBits);
    if (globalBits == 0 || localBits < globalBits) tryLocal(pixels, requiredRestore, needsTransparent, globalBits, best);
}

void ImageEncoder::keepIfSmaller(int minCodeSize, int transparent, std::vector<uint32_t>&& localTable,
                                 uint32_t restored, EncodedImage& best) {
    bool anyChoice = std::find(free_.begin(), free_.end(), 1) != free_.end();
    if (anyChoice && shownClose_) {
        // Where an earlier image shows a close colour, a pixel that needs no
        // drawing keeps it: its value becomes an entry of that colour (still
        // free to be left transparent), or transparent when the table has
        // none.  Drawn in the document's colour, a still area would change.
        const TRect& r = pixels_->rect;
        std::unordered_map<uint32_t, uint8_t> entryOf;
        for (size_t i = 0; i < values_.size(); ++i) {
            if (!free_[i]) continue;
            const size_t x = size_t(r.left) + i % width_, y = size_t(r.top) + i / width_;
            const uint32_t shown = shownClose_[y * size_t(screenWidth_) + x];
            if (shown == noClose) continue;
            if (entryOf.empty()) {
                const size_t entries =
                    localTable.empty() ? std::min(global_.tableSize(), size_t(1) << minCodeSize) : localTable.size();
                for (size_t k = entries; k-- > 0;) {
                    if (int(k) == transparent) continue;
                    const uint32_t id = k < global_.ids.size() ? global_.ids[k] : blackId_;
                    entryOf[localTable.empty() ? ids_.rgbOf(id) : localTable[k]] = uint8_t(k);
                }
            }
            if (const auto e = entryOf.find(shown); e != entryOf.end()) {
                values_[i] = e->second;
            } else if (transparent >= 0) {
                values_[i] = uint8_t(transparent);
                free_[i] = 0;
            }
        }
        anyChoice = std::find(free_.begin(), free_.end(), 1) != free_.end();
    }
    anyChoice = anyChoice && transparent >= 0;
    scratch_.clear();
    const size_t otherBytes = 3 * localTable.size();
    const size_t limit = best.bytes > otherBytes ? best.bytes - otherBytes : 0;
    const LzwChoiceOutcome outcome = encoder_.encode(values_.data(), anyChoice ? free_.data() : nullptr,
                                                     uint8_t(std::max(transparent, 0)), values_.size(), minCodeSize,
                                                     firstClearing, scratch_, limit);
    size_t bytes = outcome.overLimit ? SIZE_MAX : scratch_.size() + otherBytes;
    bool filled = outcome.filled;
    bool changed = false;
    // The lossy encoding, when it beats the lossless one.  The values it
    // wrote are parsed again by the choice encoder, whose ways with free
    // pixels and with a full string table it lacks; the smaller of the two
    // is kept, and the refiner goes on from those values.
    if (lossyThreshold_ > 0 && encodeLossy(minCodeSize, transparent, localTable, lossy_)) {
        lossyValues_ = values_;
        for (size_t i = 0; i < values_.size(); ++i)
            if (keep_[i] == LzwLossyEncoder::Close) lossyValues_[i] = written_[i];
        reparsed_.clear();
        const size_t smallest = std::min(bytes, best.bytes);
        const LzwChoiceOutcome again = encoder_.encode(
            lossyValues_.data(), anyChoice ? free_.data() : nullptr, uint8_t(std::max(transparent, 0)),
            lossyValues_.size(), minCodeSize, firstClearing, reparsed_, smallest > otherBytes ? smallest - otherBytes : 0);
        std::vector<uint8_t>& data = !again.overLimit && reparsed_.size() < lossy_.size() ? reparsed_ : lossy_;
        if (data.size() + otherBytes < bytes) {
            bytes = data.size() + otherBytes;
            scratch_.swap(data);
            changed = true;
            filled = again.overLimit || again.filled;
        }
    }
    if (bytes >= best.bytes) return;
    best.bytes = bytes;
    best.data.swap(scratch_);
    best.filled = filled;
    if (changed) best.closeColours = closeColours_;
    else best.closeColours.clear();
    // Pixels pinned to the close colour the file shows go on showing it.
    const ImagePixels& pixels = *pixels_;
    for (size_t i = 0; i < pixels.fixed.size(); ++i) {
        if (pixels.fixed[i] != ImagePixels::pinnedClose) continue;
        if (best.closeColours.empty()) best.closeColours.assign(pixels.fixed.size(), noClose);
        best.closeColours[i] = ids_.rgbOf(pixels.want[i]) & 0xFFFFFF;
    }
    best.values = changed ? lossyValues_ : values_;
    if (anyChoice) best.free = free_;
    else best.free.clear();
    best.width = width_;
    best.interlaced = false;
    best.transparentIndex = transparent;
    best.localTable = std::move(localTable);
    best.restoredValue = restored;
    best.minCodeSize = minCodeSize;
}

bool ImageEncoder::encodeLossy(int minCodeSize, int transparent, const std::vector<uint32_t>& localTable,
                               std::vector<uint8_t>& out) {
    uint32_t colours[256] = {};
    if (localTable.empty()) {
        for (size_t i = 0; i < global_.ids.size() && i < 256; ++i) colours[i] = ids_.rgbOf(global_.ids[i]);
    } else {
        std::copy_n(localTable.begin(), std::min<size_t>(localTable.size(), 256), colours);
    }
    // Pixels the screen under the image shows already stay as they are (or
    // transparent, where they may be); so do those drawn transparent.
    const ImagePixels& pixels = *pixels_;
    keep_.resize(values_.size());
    for (size_t i = 0; i < values_.size(); ++i) {
        if (!pixels.fixed[i]) keep_[i] = free_[i] ? LzwLossyEncoder::OrAlternative : LzwLossyEncoder::Exact;
        else if (int(values_[i]) == transparent || pixels.fixed[i] >= ImagePixels::pinned)
            keep_[i] = LzwLossyEncoder::Exact;
        else
            keep_[i] = LzwLossyEncoder::Close;
    }
    ByteSink sink;
    written_.resize(values_.size());
    // Each entry's own threshold, from its colour's.
    uint32_t limits[256];
    const bool limited = colourThresholds_ && !colourThresholds_->empty();
    if (limited) {
        for (size_t k = 0; k < 256; ++k) {
            const uint32_t id = localTable.empty() ? (k < global_.ids.size() ? global_.ids[k] : blackId_)
                                                   : ids_.find(colours[k] & 0xFFFFFF);
            limits[k] = id < colourThresholds_->size() ? (*colourThresholds_)[id] : lossyThreshold_;
        }
    }
    lossyEncoder_.encode(values_.data(), std::ptrdiff_t(width_), width_, uint32_t(values_.size() / std::max(width_, 1u)),
                         keep_.data(), colours, lossyThreshold_, minCodeSize, sink, transparent, written_.data(),
                         limited ? limits : nullptr);
    out = sink.bytes();
    closeColours_.resize(values_.size());
    bool any = false;
    for (size_t i = 0; i < values_.size(); ++i) {
        const bool close = keep_[i] == LzwLossyEncoder::Close && written_[i] != values_[i];
        closeColours_[i] = close ? colours[written_[i]] & 0xFFFFFF : noClose;
        any |= close;
    }
    return any;
}

bool ImageRefiner::worthTrying(Refinement& r, bool lately) {
    // An option that never won on the first images is tried again only now
    // and then: images of one animation are much alike.  With `lately`, so
    // is one that has not won on the last 32 images.
    ++r.chances;
    const bool winning = r.won > 0 && (!lately || r.chances - r.lastWon <= 32);
    return winning || r.chances <= 6 || r.chances % 16 == 0;
}

ImageRefiner::ImageRefiner(bool helper) {
    if (helper) helper_ = std::make_unique<SerialWorker>(true, 1);
}

ImageRefiner::~ImageRefiner() = default;

void ImageRefiner::setTry(size_t i, Refinement& r, const LzwChoiceOptions& options) {
    tries_[i].refinement = &r;
    tries_[i].options = options;
    tries_[i].won = false;
}

void ImageRefiner::tryAll(EncodedImage& best, size_t tableBytes, size_t count) {
    // Each try may stop once it cannot beat best as it is now: a try that
    // wins below is smaller than that anyway.
    const size_t limit = best.bytes > tableBytes ? best.bytes - tableBytes : 0;
    const uint8_t* free = best.free.empty() ? nullptr : best.free.data();
    std::atomic<size_t> next{0};
    auto work = [&](LzwChoiceEncoder& encoder) {
        for (size_t i; (i = next++) < count;) {
            Try& t = tries_[i];
            t.out.clear();
            t.outcome = encoder.encode(best.values.data(), free, uint8_t(std::max(best.transparentIndex, 0)),
                                       best.values.size(), best.minCodeSize, t.options, t.out, limit);
        }
    };
    if (helper_ && count > 1) {
        helper_->post([&] { work(helperEncoder_); });
        try {
            work(encoder_);
        } catch (...) {
            // The helper uses what this frame holds.
            try {
                helper_->wait();
            } catch (...) {
            }
            throw;
        }
        helper_->wait();
    } else {
        work(encoder_);
    }
    // In the order given, as if each had been tried after the one before.
    for (size_t i = 0; i < count; ++i) {
        Try& t = tries_[i];
        t.won = takeIfSmaller(*t.refinement, t.outcome, t.out, tableBytes, best);
    }
}

bool ImageRefiner::takeIfSmaller(Refinement& r, const LzwChoiceOutcome& outcome, std::vector<uint8_t>& data,
                                 size_t tableBytes, EncodedImage& best) {
    if (outcome.overLimit || data.size() + tableBytes >= best.bytes) return false;
    r.win(best.bytes - data.size() - tableBytes);
    best.bytes = data.size() + tableBytes;
    best.data.swap(data);
    return true;
}

void ImageRefiner::refine(EncodedImage& best) {
    const size_t tableBytes = 3 * best.localTable.size();
    // Encodes values (with the free pixels still open when choice) and keeps
    // the result when it is smaller.
    auto attempt = [&](Refinement& r, const std::vector<uint8_t>& values, bool choice,
                       const LzwChoiceOptions& clearing) {
        scratch_.clear();
        const LzwChoiceOutcome outcome =
            encoder_.encode(values.data(), choice ? best.free.data() : nullptr,
                            uint8_t(std::max(best.transparentIndex, 0)), values.size(), best.minCodeSize, clearing,
                            scratch_, best.bytes > tableBytes ? best.bytes - tableBytes : 0);
        if (takeIfSmaller(r, outcome, scratch_, tableBytes, best)) {
            if (!choice) {
                if (&values != &best.values) best.values = values;
                best.free.clear();
            }
        }
        return outcome.filled;
    };
    // The free pixels written in their own colours, or all transparent.
    bool filled = best.filled;
    if (!best.free.empty()) {
        const bool own = worthTrying(ownColours_), transparent = worthTrying(allTransparent_);
        if (transparent) {
            masked_ = best.values;
            for (size_t i = 0; i < masked_.size(); ++i)
                if (best.free[i]) masked_[i] = uint8_t(best.transparentIndex);
        }
        if (own) filled = attempt(ownColours_, best.values, false, firstClearing) || filled;
        if (transparent && !best.free.empty()) filled = attempt(allTransparent_, masked_, false, firstClearing) || filled;
    }
    // The other ways of clearing: each on the first images, then the one that
    // saved most so far, and the others now and then.
    static_assert(std::size(otherClearings) == clearingVariants);
    const LzwChoiceOptions* clearing = &firstClearing;
    if (filled) {
        const size_t leader = size_t(std::max_element(std::begin(clearings_), std::end(clearings_),
                                                      [](const Refinement& a, const Refinement& b) {
                                                          return a.saved < b.saved;
                                                      }) -
                                     std::begin(clearings_));
        size_t count = 0;
        for (size_t k = 0; k < std::size(otherClearings); ++k) {
            Refinement& r = clearings_[k];
            ++r.chances;
            if (r.chances <= 6 || k == leader || r.chances % 16 == 0) setTry(count++, r, otherClearings[k]);
        }
        tryAll(best, tableBytes, count);
        for (size_t i = 0; i < count; ++i)
            if (tries_[i].won) clearing = &otherClearings[size_t(tries_[i].refinement - clearings_)];
    }
    // Then the rows interlaced, cleared the way that did best.
    if (best.values.size() > best.width && worthTrying(interlacing_, true)) {
        interlaceRows(best.values, best.width, interlacedValues_);
        interlaceRows(best.free, best.width, interlacedFree_);
        std::swap(best.free, interlacedFree_);
        const size_t before = best.bytes;
        attempt(interlacing_, interlacedValues_, !best.free.empty(), *clearing);
        if (best.bytes < before) {
            best.values.swap(interlacedValues_);
            best.interlaced = true;
        } else {
            std::swap(best.free, interlacedFree_);
        }
    }
    // Strings cut short where that lets the next one reach further, by more
    // than one, two or three pixels: slow (each string end looks ahead), but
    // on many pictures each of them wins somewhere, often on many images in
    // a row.
    size_t count = 0;
    for (uint32_t k = 0; k < cutVariants; ++k) {
        Refinement& r = cuts_[k];
        if (!worthTrying(r, true)) continue;
        LzwChoiceOptions options = *clearing;
        options.lookahead = k + 1;
        setTry(count++, r, options);
    }
    tryAll(best, tableBytes, count);
    // Only the data goes into the plan: a long animation's images are not
    // all held decoded until the end.
    std::vector<uint8_t>().swap(best.values);
    std::vector<uint8_t>().swap(best.free);
    std::vector<uint32_t>().swap(best.closeColours);
}

// The global table: the image draws with each colour's entry; a transparent
// index is the lowest entry it does not draw with (or the entry kept for the
// fill colour its restore must show).
int ImageEncoder::tryGlobal(const ImagePixels& pixels, uint32_t requiredRestore, bool needsTransparent,
                            EncodedImage& best, int& localBits) {
    const size_t n = pixels.want.size();
    const std::vector<int16_t>& indexOf = global_.indexOf;
    bool used[256] = {};
    int highest = 0;
    bool anyFree = false;
    for (size_t i = 0; i < n; ++i) {
        if (!pixels.fixed[i]) {
            anyFree = true;
            continue;
        }
        const int index = indexOf[pixels.want[i]];
        if (index < 0) return 0;  // a colour the table lacks
        used[index] = true;
        highest = std::max(highest, index);
    }
    // The code size a local table would need: one entry per colour drawn,
    // and one for transparency.
    const size_t distinct = size_t(std::count(std::begin(used), std::end(used), true));
    localBits = std::max(2, bitsFor(distinct + (anyFree || needsTransparent || requiredRestore != screen::never)));
    const size_t entries = global_.tableSize();
    auto colourAt = [&](int index) { return size_t(index) < global_.ids.size() ? global_.ids[size_t(index)] : blackId_; };

    int transparent = -1;
    if (requiredRestore != screen::never) {
        const uint32_t fill = requiredRestore & ~screen::restoredBit;
        const int slot = global_.fillSlotOf[fill];
        if (slot >= 0) transparent = slot;
        else if (indexOf[fill] >= 0 && !used[indexOf[fill]]) transparent = indexOf[fill];
        else return 0;
    } else if (anyFree || needsTransparent) {
        for (int v = 0; v < int(entries) && transparent < 0; ++v)
            if (!used[v]) transparent = v;
        if (transparent < 0 && needsTransparent) return 0;
    }
    if (anyFree && transparent < 0) {
        // Every entry is drawn with: the free pixels must be drawn too.
        for (size_t i = 0; i < n; ++i) {
            if (pixels.fixed[i]) continue;
            if (!screen::isOpaque(pixels.want[i]) || indexOf[pixels.want[i]] < 0) return 0;
            highest = std::max(highest, int(indexOf[pixels.want[i]]));
        }
    }
    const int codeBits = std::max(2, bitsFor(size_t(std::max(highest, transparent)) + 1));
    const int limit = 1 << codeBits;
    // (Through local pointers: the byte stores would otherwise make the
    // compiler load every vector's data again for each pixel.)
    const uint32_t* want = pixels.want.data();
    const uint8_t* fixed = pixels.fixed.data();
    const int16_t* index = indexOf.data();
    uint8_t* values = values_.data();
    uint8_t* free = free_.data();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t w = want[i];
        if (fixed[i]) {
            values[i] = uint8_t(index[w]);
            free[i] = 0;
            continue;
        }
        const int k = screen::isOpaque(w) ? index[w] : -1;
        if (k >= 0 && k < limit && k != transparent) {
            values[i] = uint8_t(k);
            free[i] = 1;
        } else if (transparent >= 0) {
            values[i] = uint8_t(transparent);
            free[i] = 0;
        } else {
            return 0;  // cannot happen: checked above
        }
    }
    const uint32_t restored =
        screen::restoredTo(colourAt(transparent >= 0 ? transparent : (background_ < entries ? background_ : 0)));
    keepIfSmaller(codeBits, transparent, {}, restored, best);
    return codeBits;
}

// A local table of the colours the image draws, most used first, and one
// entry more for transparency (which shows the required fill colour when
// the image is restored).
int ImageEncoder::tryLocal(const ImagePixels& pixels, uint32_t requiredRestore, bool needsTransparentIndex,
                           int globalBits, EncodedImage& best) {
    const size_t n = pixels.want.size();
    if (localIndex_.size() < ids_.count()) {
        localIndex_.resize(ids_.count(), -1);
        counts_.resize(ids_.count(), 0);
    }
    std::vector<uint32_t> colours;
    bool anyFree = false;
    uint32_t* counts = counts_.data();
    for (size_t i = 0; i < n; ++i) {
        if (!pixels.fixed[i]) {
            anyFree = true;
            continue;
        }
        if (counts[pixels.want[i]]++ == 0) colours.push_back(pixels.want[i]);
    }
    std::stable_sort(colours.begin(), colours.end(), [&](uint32_t a, uint32_t b) { return counts_[a] > counts_[b]; });
    auto cleanUp = [&] {
        for (uint32_t id : colours) counts_[id] = 0, localIndex_[id] = -1;
    };
    const bool needsTransparent = anyFree || needsTransparentIndex || requiredRestore != screen::never;
    const size_t entries = colours.size() + (needsTransparent ? 1 : 0);
    const int tableBits = std::max(1, bitsFor(entries));
    if (entries > 256 || (globalBits > 0 && std::max(tableBits, 2) >= globalBits)) {
        cleanUp();
        return 0;
    }
    for (size_t k = 0; k < colours.size(); ++k) localIndex_[colours[k]] = int16_t(k);

    std::vector<uint32_t> table(size_t(1) << tableBits, 0);
    for (size_t k = 0; k < colours.size(); ++k) table[k] = ids_.rgbOf(colours[k]);
    const int transparent = needsTransparent ? int(colours.size()) : -1;
    uint32_t restored = 0;
    if (transparent >= 0) {
        const uint32_t fill = requiredRestore != screen::never ? requiredRestore & ~screen::restoredBit : blackId_;
        table[size_t(transparent)] = ids_.rgbOf(fill);
        restored = screen::restoredTo(fill);
    } else {
        const uint32_t at = background_ < table.size() ? background_ : 0;
        restored = screen::restoredTo(at < colours.size() ? colours[at] : blackId_);
    }
    const uint32_t* want = pixels.want.data();
    const uint8_t* fixed = pixels.fixed.data();
    const int16_t* localIndex = localIndex_.data();
    uint8_t* values = values_.data();
    uint8_t* free = free_.data();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t w = want[i];
        if (fixed[i]) {
            values[i] = uint8_t(localIndex[w]);
            free[i] = 0;
            continue;
        }
        const int index = screen::isOpaque(w) ? localIndex[w] : -1;
        values[i] = uint8_t(index >= 0 ? index : transparent);
        free[i] = index >= 0;
    }
    cleanUp();
    keepIfSmaller(std::max(tableBits, 2), transparent, std::move(table), restored, best);
    return std::max(tableBits, 2);
}

}  // namespace movigram
