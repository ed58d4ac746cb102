#pragma once
// How maximum compression writes one image once its rectangle is known:
// which colour table (the global one, or a local one holding just the
// colours the image draws), which transparent index and code size, and
// whether pixels that need not be drawn are left to the LZW parse to write
// either way or written in their colours.  Each possibility is encoded and
// the smallest kept.  A local table is tried when the global one cannot
// serve or when it needs a smaller code size: with the same code size the
// parse is much the same and the table only costs.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "document/Geometry.h"
#include "ScreenColours.h"
#include "SerialWorker.h"
#include "gif/LzwChoiceEncoder.h"
#include "gif/LzwLossyEncoder.h"

namespace movigram {

// What one image must do over its rectangle.
struct ImagePixels {
    TRect rect;
    std::vector<uint32_t> want;  // the screen value each pixel must show, row by row
    // 1: the screen under the image differs there, so it must be drawn.
    // Lossy only, where the image before is restored and the document is
    // still: pinned (drawn exactly as wanted, so that the pixel stays as
    // the file showed it), with want its document colour or the close
    // colour the file showed.
    std::vector<uint8_t> fixed;
    static constexpr uint8_t pinned = 2, pinnedClose = 3;
};

// Not a 0xRRGGBB colour: where a pixel shows the document's own colour.
constexpr uint32_t noClose = 0xFFFFFFFF;

// The global colour table of a plan.
struct GlobalColours {
    std::vector<uint32_t> ids;        // colour id of each entry
    std::vector<int16_t> indexOf;     // by colour id: the entry to draw it with, or -1
    std::vector<int16_t> fillSlotOf;  // by colour id: an entry of that colour kept for transparency, or -1
    size_t tableSize() const;         // entries written: a power of two, at least 2
};

struct EncodedImage {
    size_t bytes = SIZE_MAX;             // LZW data and local table
    int transparentIndex = -1;
    std::vector<uint32_t> localTable;    // RGB; empty for the global table
    std::vector<uint8_t> data;
    uint32_t restoredValue = 0;          // what its area shows when it is restored to the background
    // What was encoded, for trying other ways of clearing the string table:
    // rows of width pixels, in the order of the passes when interlaced.
    std::vector<uint8_t> values, free;
    uint32_t width = 0;
    bool interlaced = false;
    int minCodeSize = 2;
    bool filled = false;
    // The 0xRRGGBB written where a pixel took a close colour, noClose
    // elsewhere (rows of width); empty when none did.
    std::vector<uint32_t> closeColours;
};

class ImageEncoder {
public:
    ImageEncoder(const screen::ColourIds& ids, const GlobalColours& global, uint8_t backgroundIndex,
                 uint32_t blackId);

    // Encodes the ways of writing the image and keeps in best each one
    // smaller than best.  requiredRestore is the value the image's area must
    // show once restored to the background (screen::never: any); with
    // needsTransparent the image has a transparent index in any case.
    void encodeBest(const ImagePixels& pixels, uint32_t requiredRestore, bool needsTransparent, EncodedImage& best);
    // Below 100, images are encoded lossily at this quality: only pixels
    // that must be drawn may take a close colour.
    void setLossyQuality(int quality) { lossyThreshold_ = LzwLossyEncoder::thresholdOf(quality); }
    // Lossy only: by colour id, the threshold of its pixels, below the
    // level's where colours merged into it already moved (none when empty).
    void setColourThresholds(const std::vector<uint32_t>* thresholds) { colourThresholds_ = thresholds; }
    // What the file shows on the screen (rows of screenWidth): the
    // 0xRRGGBB of the close colour an image chosen before left there, or
    // noClose.  There a pixel that needs no drawing keeps showing it: drawn
    // with an entry of that colour or left transparent, never drawn in the
    // document's colour.
    void setShownClose(const uint32_t* shown, int32_t screenWidth) {
        shownClose_ = shown;
        screenWidth_ = screenWidth;
    }

private:
    // Each returns the code size it used, 0 when the table cannot serve.
    // tryGlobal also tells the code size a local table would need, when
    // the global one holds every colour.
    int tryGlobal(const ImagePixels& pixels, uint32_t requiredRestore, bool needsTransparent, EncodedImage& best,
                  int& localBits);
    int tryLocal(const ImagePixels& pixels, uint32_t requiredRestore, bool needsTransparent, int globalBits,
                 EncodedImage& best);
    // Encodes values_/free_ and keeps the result when it beats best.
    void keepIfSmaller(int minCodeSize, int transparent, std::vector<uint32_t>&& localTable, uint32_t restored,
                       EncodedImage& best);

    const screen::ColourIds& ids_;
    const GlobalColours& global_;
    uint8_t background_;
    uint32_t blackId_;
    uint32_t width_ = 0;  // of the image being encoded
    // Encodes values_ lossily into out; whether some pixel took a close
    // colour (closeColours_ tells them).
    bool encodeLossy(int minCodeSize, int transparent, const std::vector<uint32_t>& localTable,
                     std::vector<uint8_t>& out);

    LzwChoiceEncoder encoder_;
    LzwLossyEncoder lossyEncoder_;
    uint32_t lossyThreshold_ = 0;
    const uint32_t* shownClose_ = nullptr;
    const std::vector<uint32_t>* colourThresholds_ = nullptr;
    int32_t screenWidth_ = 0;
    const ImagePixels* pixels_ = nullptr;  // of the image being encoded
    std::vector<uint8_t> values_, free_, scratch_, keep_, lossy_, written_, lossyValues_, reparsed_;
    std::vector<uint32_t> closeColours_;
    std::vector<int16_t> localIndex_;  // by colour id, -1 outside tryLocal
    std::vector<uint32_t> counts_;     // by colour id, 0 outside tryLocal
};

// Tries on the image chosen what is rarely better: free pixels written in
// their own colours or all transparent, when its string table filled up the
// other ways of clearing it, the rows interlaced (which puts alike rows of a
// picture with a vertical pattern together), and strings cut short where the
// next string then reaches further.  What rarely wins on the first images
// of an animation is tried only now and then after, so one refiner should
// see an animation's images in order.
class ImageRefiner {
public:
    // With a helper, tries that do not depend on each other run on two
    // threads; the image comes out the same.
    explicit ImageRefiner(bool helper);
    ~ImageRefiner();
    // Afterwards best.values and best.free are released.
    void refine(EncodedImage& best);

private:
    // How often each refinement had the chance and how often it won.
    struct Refinement {
        uint32_t chances = 0, won = 0;
        uint32_t lastWon = 0;  // the chance it last won on
        uint64_t saved = 0;    // bytes
        void win(uint64_t bytes) {
            ++won;
            lastWon = chances;
            saved += bytes;
        }
    };
    // Counts a chance for r and tells whether to take it; with `lately`,
    // only now and then when r has not won for a while.
    static bool worthTrying(Refinement& r, bool lately = false);
    static constexpr uint32_t cutVariants = 3, clearingVariants = 6;
    Refinement ownColours_, allTransparent_, interlacing_;
    Refinement cuts_[cutVariants];             // strings cut short, looking 1, 2, 3 pixels further
    Refinement clearings_[clearingVariants];  // the other ways of clearing the string table

    // Tries of best's values and free pixels, each way of clearing or
    // cutting strings on its own.
    struct Try {
        Refinement* refinement = nullptr;
        LzwChoiceOptions options;
        std::vector<uint8_t> out;
        LzwChoiceOutcome outcome;
        bool won = false;
    };
    void setTry(size_t i, Refinement& r, const LzwChoiceOptions& options);
    // Encodes the first count tries_ and keeps, in their order, each one
    // smaller than best (setting its `won`).
    void tryAll(EncodedImage& best, size_t tableBytes, size_t count);
    // Makes data (with a table of tableBytes) best's when it is
    // smaller, as a win of r.
    static bool takeIfSmaller(Refinement& r, const LzwChoiceOutcome& outcome, std::vector<uint8_t>& data,
                              size_t tableBytes, EncodedImage& best);

    LzwChoiceEncoder encoder_, helperEncoder_;
    std::vector<uint8_t> scratch_, masked_, interlacedValues_, interlacedFree_;
    Try tries_[std::max(clearingVariants, cutVariants)];
    std::unique_ptr<SerialWorker> helper_;  // last: its job uses the members above
};

}  // namespace movigram
