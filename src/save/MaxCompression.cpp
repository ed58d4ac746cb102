#include "MaxCompression.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <climits>
#include <cstring>
#include <deque>
#include <map>
#include <utility>

#include "document/FrameChain.h"
#include "ImageEncoding.h"
#include "ScreenColours.h"
#include "SerialWorker.h"

namespace movigram {

// How the plan is made.
//
// The chain is played on a picture of the screen (`doc`), which gives the
// screen each frame shows (the target) and what its restore leaves for the
// next.  The file being planned is played alongside on two pictures:
// `shown`, the screen while the last planned image is shown (always the
// target of the frames it stands for), and `before`, the screen it was drawn
// on.  They differ only inside the last image's rectangle.
//
// For each frame the last image's restore method is chosen: keep it, restore
// its rectangle to the background, or bring back the screen before it.  Each
// gives a screen to draw the new image on; the pixels where that screen
// differs from the target must be drawn, which is impossible where the
// target is not an opaque colour (restored or never drawn), so such a choice
// is out.  The image's rectangle is the box around the pixels to draw.
// Every possible choice is encoded (ImageEncoding.h) and the smallest kept.
//
// A frame restored to the background leaves an area the next frame may show
// through.  Only a restore of the image before can make it, so the image
// written for such a frame is kept inside the frame's rectangle and given a
// transparent index of the frame's fill colour (the colour the program shows
// in restored areas): restoring it then leaves exactly what the frame leaves.
// This keeps "do what the chain did" possible at every frame.
//
// Restore to previous is offered only when asked for, over opaque pixels and
// when the whole animation has at most 255 colours: the program's reader
// rewrites such files into frames of its own two methods, which is exact
// under those conditions.

namespace {

constexpr int64_t maxScreenPixels = 64ll << 20;
constexpr uint32_t maxDelayCs = 0xFFFF;
// Below this many pixels in all frames, starting a thread costs more than
// refining on it saves.
constexpr uint64_t secondThreadPixels = 1 << 16;
// The planner runs ahead of the refiner by images of this many pixels at
// most (each holds two bytes a pixel until refined).  Far enough that the
// refiner always has work when an image of many tries holds it up.
constexpr size_t refineBacklogPixels = 16 << 20;

enum class Base : uint8_t { Keep = 0, Background = 2, Previous = 3 };

uint32_t delayCsOf(const TFrame& frame) {
    const int64_t ms = int64_t(frame.frameTime) * frame.repeat;
    return uint32_t(std::clamp<int64_t>((ms + 5) / 10, 0, maxDelayCs));
}

// What a frame's restore to the background leaves for the next frame to
// show through: `area` becomes `value`, which differs from what the frame
// showed inside `pixels`.
struct Restore {
    bool needed = false;
    TRect area, pixels;
    uint32_t value = 0;
    bool sameAs(const Restore& r) const {
        return needed == r.needed && (!needed || (area == r.area && value == r.value));
    }
};

// Whether every pixel of frame that equals previous's pixel at the same place
// leaves the screen as it is: previous covers its rectangle with the same
// colours and stays.  Full frames of a recording then cost a compare of
// eight pixels at a time where nothing changed.
bool drawsOver(const TFrame* previous, const screen::FrameColours* previousColours, const TFrame& frame,
               const screen::FrameColours& colours) {
    return previous && previous->rect == frame.rect && previous->transparentIndex < 0 &&
           !previous->restoreToBackground && previousColours->idOfValue == colours.idOfValue;
}

// Draws frame's area onto the screen picture, calling changed(x, y, id, old)
// for every pixel that takes a new value; pixels equal to same's (when given,
// see drawsOver) are passed over.
template <typename Changed>
void drawOnto(uint32_t* screen, int32_t screenWidth, const TFrame& frame, const screen::FrameColours& colours,
              const TRect& area, const TFrame* same, Changed&& changed) {
    const int key = frame.transparentIndex;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        // (Read through const pictures: reading marks nothing written.)
        const uint8_t* row = std::as_const(*frame.image).row(y - frame.rect.top) + (area.left - frame.rect.left);
        const uint8_t* before =
            same ? std::as_const(*same->image).row(y - frame.rect.top) + (area.left - frame.rect.left) : nullptr;
        uint32_t* out = screen + size_t(y) * size_t(screenWidth) + size_t(area.left);
        for (int32_t x = 0; x < area.width(); ++x) {
            if (before && x + 8 <= area.width() && std::memcmp(row + x, before + x, 8) == 0) {
                x += 7;
                continue;
            }
            if (row[x] == key) continue;
            const uint32_t id = colours.idOfValue[row[x]];
            const uint32_t old = out[x];
            if (old == id) continue;
            out[x] = id;
            changed(area.left + x, y, id, old);
        }
    }
}

// What playing the chain once found: per colour, the pixels that change to
// it and the frames in which some pixel does; per frame, its colours and how
// many pixels it changes; the fill colours of restores that show.
struct ColourUse {
    struct Frame {
        std::vector<uint32_t> colours;
        uint64_t changed;
    };
    std::vector<uint64_t> pixels, frameCount;
    std::vector<uint32_t> fills;
    std::vector<Frame> frames;
};

// Of the colour sets of whole frames (each with the bytes of local table it
// saves), greedily from a first set (or none) the ones saving most per
// colour they add, while `room` colours hold them; marks their colours in
// taken and returns the saving made.
size_t takeColourSets(const std::vector<std::pair<size_t, const std::vector<uint32_t>*>>& groups, size_t first,
                      size_t room, std::vector<uint8_t>& taken) {
    std::vector<uint8_t> chosen(groups.size(), 0);
    size_t count = 0, saved = 0;
    auto take = [&](size_t g) {
        for (uint32_t id : *groups[g].second) count += !taken[id], taken[id] = 1;
        saved += groups[g].first;
        chosen[g] = 1;
    };
    if (first < groups.size()) take(first);
    for (;;) {
        // The set saving most per colour it adds.
        double bestScore = 0;
        size_t best = groups.size();
        for (size_t g = 0; g < groups.size(); ++g) {
            if (chosen[g]) continue;
            size_t added = 0;
            for (uint32_t id : *groups[g].second) added += !taken[id];
            if (count + added > room) continue;
            const double score = double(groups[g].first) / double(added + 1);
            if (score > bestScore) bestScore = score, best = g;
        }
        if (best == groups.size()) return saved;
        take(best);
    }
}

// Too many colours for one table.  An image draws with the global table only
// when it holds all its colours, and saves the local table it would need
// otherwise: the global table takes the colour sets of whole frames, frames
// with the same set together, those saving most per colour they add first,
// while they fit.  Keeps in drawn the colours taken.
void keepColourSetsThatFit(const std::vector<ColourUse::Frame>& uses, size_t room, size_t idCount,
                           std::vector<uint32_t>& drawn) {
    std::map<std::vector<uint32_t>, size_t> savings;
    for (const ColourUse::Frame& use : uses) {
        std::vector<uint32_t> set = use.colours;
        std::sort(set.begin(), set.end());
        size_t entries = 2;
        while (entries < set.size() + 1 && entries < 256) entries *= 2;
        savings[std::move(set)] += 3 * entries;
    }
    std::vector<std::pair<size_t, const std::vector<uint32_t>*>> groups;
    for (const auto& [set, saving] : savings) groups.push_back({saving, &set});
    std::vector<uint8_t> taken(idCount, 0);
    const size_t saved = takeColourSets(groups, groups.size(), room, taken);
    // Many small sets may save less than one large one.
    size_t largest = groups.size();
    for (size_t g = 0; g < groups.size(); ++g)
        if (groups[g].second->size() <= room && (largest == groups.size() || groups[g].first > groups[largest].first))
            largest = g;
    if (largest < groups.size()) {
        std::vector<uint8_t> other(idCount, 0);
        if (takeColourSets(groups, largest, room, other) > saved) taken.swap(other);
    }
    std::erase_if(drawn, [&](uint32_t id) { return !taken[id]; });
}

// About the bits the frames' codes take with the table in this order: each
// frame's changed pixels at the code size of its highest entry.
uint64_t bitsOfCodes(const ColourUse& use, size_t idCount, const std::vector<uint32_t>& order) {
    std::vector<uint16_t> entry(idCount, 0xFFFF);
    for (size_t k = 0; k < order.size(); ++k) entry[order[k]] = uint16_t(std::min<size_t>(k, 255));
    uint64_t bits = 0;
    for (const ColourUse::Frame& f : use.frames) {
        size_t highest = 255;
        if (!f.colours.empty()) {
            highest = 0;
            for (uint32_t id : f.colours) highest = std::max<size_t>(highest, entry[id] == 0xFFFF ? 255 : entry[id]);
        }
        bits += f.changed * uint64_t(std::max(2, int(std::bit_width(highest))));
    }
    return bits;
}

// The order of the entries decides the code sizes: a frame whose colours all
// have low entries needs fewer bits.  First by the number of frames that
// change pixels to the colour.  Then, level by level (2, 4, ... 256
// entries), the colours of whole frames that fit below that level, those
// needing the fewest new colours first (of those, the ones changing most
// pixels): such a frame gets the small code size.
void orderForCodeSizes(const ColourUse& use, size_t idCount, std::vector<uint32_t>& drawn) {
    const std::vector<uint64_t>& counts = use.pixels;
    const std::vector<uint64_t>& frameCount = use.frameCount;
    const std::vector<ColourUse::Frame>& uses = use.frames;
    std::stable_sort(drawn.begin(), drawn.end(), [&](uint32_t a, uint32_t b) {
        return frameCount[a] != frameCount[b] ? frameCount[a] > frameCount[b] : counts[a] > counts[b];
    });
    std::vector<uint8_t> inTable(idCount, 0), placed(idCount, 0);
    for (uint32_t id : drawn) inTable[id] = 1;
    std::vector<uint32_t> order;
    std::vector<uint8_t> covered(uses.size(), 0);
    auto newColours = [&](const ColourUse::Frame& u) {
        size_t n = 0;
        for (uint32_t id : u.colours) {
            if (!inTable[id]) return SIZE_MAX;
            n += !placed[id];
        }
        return n;
    };
    for (int bits = 1; bits <= 8 && order.size() < drawn.size(); ++bits) {
        const size_t cap = (size_t(1) << bits) - 1;
        std::vector<std::pair<size_t, size_t>> ranked;
        for (size_t f = 0; f < uses.size(); ++f) {
            if (covered[f]) continue;
            const size_t n = newColours(uses[f]);
            if (n == SIZE_MAX) { covered[f] = 1; continue; }
            ranked.push_back({n, f});
        }
        std::stable_sort(ranked.begin(), ranked.end(), [&](auto& a, auto& b) {
            return a.first != b.first ? a.first < b.first : uses[a.second].changed > uses[b.second].changed;
        });
        for (auto& [fewest, f] : ranked) {
            const size_t n = newColours(uses[f]);
            if (order.size() + n > cap) continue;
            std::vector<uint32_t> add;
            for (uint32_t id : uses[f].colours) if (!placed[id]) add.push_back(id);
            std::stable_sort(add.begin(), add.end(), [&](uint32_t a, uint32_t b) { return counts[a] > counts[b]; });
            for (uint32_t id : add) placed[id] = 1, order.push_back(id);
            covered[f] = 1;
        }
    }
    for (uint32_t id : drawn) if (!placed[id]) order.push_back(id);
    // Filling the levels frame by frame can spend the small entries on the
    // many frames of few colours and leave the large frames above them;
    // colours in order of use may serve those better.  The order whose
    // frames write fewer bits in all (pixels changed times their code
    // size) is kept.
    if (bitsOfCodes(use, idCount, drawn) < bitsOfCodes(use, idCount, order)) return;
    drawn = order;
}

// The squared distance of two 0xRRGGBB colours.
uint32_t colourDistance(uint32_t a, uint32_t b) {
    uint32_t sum = 0;
    for (int shift : {16, 8, 0}) {
        const int d = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
        sum += uint32_t(d * d);
    }
    return sum;
}

// Lossy only: colours are merged, each into the nearest of the colours
// used more, least cost first (its pixels times the squared distance).
// Colours closer than a sixth of the distance a pixel may move (a 36th of
// maxDistance, squared) always merge: fewer colours make longer strings.
// Further ones, up to maxDistance, merge while the animation draws more
// colours than `room`: images then need fewer local tables, which on
// antialiased drawings cost as much as their pixels.  A colour merged into
// takes its merged colours along when it is merged itself, as long as none
// of them moves further than that.  The map is one for the whole
// animation, so a pixel that stays the same stays the same.  pinned colours
// (fills, the background) are never merged away.  Returns the colour id
// each id shows as; empty when nothing is merged.
std::vector<uint32_t> mergeCloseColours(const std::vector<uint32_t>& drawn, const std::vector<uint64_t>& counts,
                                        const screen::ColourIds& ids, size_t room, uint32_t maxDistance,
                                        const std::vector<uint8_t>& pinned) {
    if (drawn.size() < 2 || maxDistance == 0) return {};
    const uint32_t alwaysDistance = maxDistance / 36;
    struct Colour {
        uint32_t id;
        int r, g, b;
    };
    // Most used first: a colour may merge only into one before it.
    std::vector<uint32_t> byUse = drawn;
    std::stable_sort(byUse.begin(), byUse.end(), [&](uint32_t a, uint32_t b) { return counts[a] > counts[b]; });
    std::vector<Colour> colours;
    for (uint32_t id : byUse) {
        const uint32_t rgb = ids.rgbOf(id);
        colours.push_back({id, int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)});
    }
    // A grid of 16 x 16 x 16 cells over RGB: the search for the nearest
    // looks at rings of cells ever further out, and stops where a ring can
    // hold nothing nearer than what it found.
    constexpr int cells = 16, cellSize = 256 / cells;
    auto cellOf = [](int v) { return v / cellSize; };
    std::vector<std::vector<uint32_t>> grid(size_t(cells) * cells * cells);
    for (uint32_t k = 0; k < colours.size(); ++k)
        grid[size_t((cellOf(colours[k].r) * cells + cellOf(colours[k].g)) * cells + cellOf(colours[k].b))].push_back(k);
    std::vector<uint8_t> gone(colours.size(), 0);
    // The colours each one shows: a merged colour takes its members along,
    // and no member may end up further than a merge may move it.
    std::vector<std::vector<uint32_t>> members(colours.size());
    for (uint32_t k = 0; k < members.size(); ++k) members[k] = {k};
    auto distance = [&](const Colour& a, const Colour& b) {
        const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
        return uint32_t(dr * dr + dg * dg + db * db);
    };
    // The nearest colour used more than k and still there, within reach.
    auto nearest = [&](uint32_t k, uint32_t& best) {
        uint32_t found = UINT32_MAX;
        best = maxDistance + 1;
        const Colour& c = colours[k];
        const int cr = cellOf(c.r), cg = cellOf(c.g), cb = cellOf(c.b);
        auto visit = [&](int r, int g, int b) {
            if (r < 0 || g < 0 || b < 0 || r >= cells || g >= cells || b >= cells) return;
            for (uint32_t other : grid[size_t((r * cells + g) * cells + b)]) {
                if (other >= k || gone[other]) continue;
                if (const uint32_t d = distance(c, colours[other]); d < best || (d == best && other < found)) {
                    best = d;
                    found = other;
                }
            }
        };
        for (int ring = 0; ring < cells; ++ring) {
            // Every cell of this ring lies this far off in some channel.
            const int gap = ring == 0 ? 0 : (ring - 1) * cellSize + 1;
            if (uint32_t(gap * gap) > best) break;
            for (int r = cr - ring; r <= cr + ring; ++r)
                for (int g = cg - ring; g <= cg + ring; ++g) {
                    if (std::abs(r - cr) == ring || std::abs(g - cg) == ring) {
                        for (int b = cb - ring; b <= cb + ring; ++b) visit(r, g, b);
                    } else {
                        visit(r, g, cb - ring);
                        if (ring > 0) visit(r, g, cb + ring);
                    }
                }
        }
        return found;
    };
    struct Merge {
        double cost;
        uint32_t from;
    };
    std::vector<Merge> merges;
    for (uint32_t k = 1; k < colours.size(); ++k) {
        if (pinned[colours[k].id]) continue;
        uint32_t d = 0;
        if (nearest(k, d) != UINT32_MAX) merges.push_back({double(counts[colours[k].id]) * d, k});
    }
    std::stable_sort(merges.begin(), merges.end(), [](const Merge& a, const Merge& b) { return a.cost < b.cost; });
    std::vector<uint32_t> map;
    size_t left = colours.size();
    for (const Merge& m : merges) {
        uint32_t d = 0;
        const uint32_t into = nearest(m.from, d);
        if (into == UINT32_MAX) continue;
        const uint32_t reach = left > room ? maxDistance : alwaysDistance;
        if (std::any_of(members[m.from].begin(), members[m.from].end(),
                        [&](uint32_t k) { return distance(colours[k], colours[into]) > reach; }))
            continue;
        if (map.empty()) {
            map.resize(ids.count());
            for (uint32_t id = 0; id < map.size(); ++id) map[id] = id;
        }
        for (uint32_t k : members[m.from]) map[colours[k].id] = colours[into].id;
        members[into].insert(members[into].end(), members[m.from].begin(), members[m.from].end());
        std::vector<uint32_t>().swap(members[m.from]);
        gone[m.from] = 1;
        --left;
    }
    return map;
}

class Planner {
public:
    Planner(TSize size, const TMyPalette& globalPalette, GifPlan& plan, bool firstReachesCorner, bool fillsInGlobal,
            bool restoreToPrevious)
        : size_(size), global_(globalPalette), plan_(plan), firstReachesCorner_(firstReachesCorner),
          fillsInGlobal_(fillsInGlobal), restoreToPrevious_(restoreToPrevious),
          doc_(pixels(), screen::never), shown_(pixels(), screen::never), before_(pixels(), screen::never) {}

    // False when the chain is beyond the planner, or when asked to stop.
    bool run(TFrame* first, const MaxCompressionOptions& options);
    // Whether the last image was extended to reach the screen's corner.
    bool extendedLast() const { return extendedLast_; }
    // Whether fill colours that no image draws made the global table larger.
    bool fillsGrewTable() const { return fillsGrewTable_; }

private:
    size_t pixels() const { return size_t(size_.width) * size_t(size_.height); }
    size_t at(int32_t x, int32_t y) const { return size_t(y) * size_t(size_.width) + size_t(x); }
    TRect screenRect() const { return {0, 0, size_.width, size_.height}; }

    // The global table: the colours drawn, as many as fit, in the order
    // that gives frames small code sizes, the fill colours, the background.
    void buildGlobalTable(const std::vector<const TFrame*>& frames);
    ColourUse playChain(const std::vector<const TFrame*>& frames);
    // The colour ids of the frame's values, after any merges.
    screen::FrameColours coloursOf(const TFrame& frame);
    // After merging: how far each colour's merged colours moved, and the
    // colours' use as the merged colours make it.
    void applyMerges(ColourUse& use);
    void addFillEntries(const ColourUse& use);
    void placeBackground();
    // Draws the frame on `doc_`; the box around the pixels it changed.
    TRect drawFrame(const TFrame& frame, const screen::FrameColours& colours, const TRect& area, const TFrame* same);
    // What the frame's restore leaves where the next frame (for the last
    // one, the first frame) does not cover it.
    Restore restoreOf(const TFrame& frame, const screen::FrameColours& colours, const TRect& area, bool last,
                      const TFrame* nextFrame) const;
    bool equalOver(const TRect& r) const;
    uint32_t baseAt(Base base, size_t i, int32_t x, int32_t y) const;
    // The pixels to draw over `around` for one restore method: false when
    // some cannot be drawn, else their box and count; then, in px, the
    // image over the rectangle given.
    template <Base base>
    bool scanBase(const TRect& around, TRect& draw, size_t& count) const;
    template <Base base>
    void fillPixels(ImagePixels& px) const;
    // Calls fn(a, b, row, value) for the pieces [a, b) of [x0, x1) on row y
    // of the screen `base` gives: row (indexed by x) where it is a picture,
    // else null and the one value the piece shows.
    template <Base base, typename Fn>
    void forEachBasePiece(int32_t y, int32_t x0, int32_t x1, Fn&& fn) const;
    bool planImage(const TRect& area, const TRect& changed, const Restore& next, uint32_t delayCs,
                   std::vector<std::string>& comments, bool reachCorner = true);
    // The restore methods tried for the image before the next: for each its
    // base and the count of pixels it leaves to draw.
    struct TriedBases {
        Base base[3];
        size_t fixed[3];
    };
    int tryBases(const TRect& area, const TRect& around, const Restore& next, bool reachCorner, TriedBases& bases);
    Base encodeTried(int count, const TriedBases& bases, const Restore& next, EncodedImage& best, TRect& bestRect);
    void addImage(const TRect& area, const TRect& around, const Restore& next, uint32_t delayCs,
                  std::vector<std::string>& comments, Base bestBase, const TRect& bestRect, EncodedImage&& best);
    bool reachCornerWithLast();
    // Follow where the file shows close colours: the last image's restore
    // (to the background or to what it covered), and an image drawn.
    void restoreShownClose(Base base);
    // Lossy only.  Restoring the image before to what it covered shows the
    // document's colours only when neither it nor what it covered showed
    // close ones (a pixel the next image leaves would change).
    bool restoresExactly() const;
    // Lossy only: the pixels of an image drawn over a restored one that the
    // document keeps as they were are drawn as the file showed them: in
    // the close colour it showed, or exactly.
    void pinStillPixels(ImagePixels& px) const;
    void drawShownClose(const TRect& rect, const EncodedImage& image);
    // Hands the image chosen last to the refiner; its data is taken at the end.
    void refineLast(EncodedImage&& best);
    bool stopped() const { return progress_ && progress_->stopRequested(); }

    TSize size_;
    const TMyPalette& global_;
    GifPlan& plan_;
    // The program takes the screen of a file it opens to be the box around
    // its images, so some image must reach the screen's far corner: the last
    // one is extended to it when none does, or else the first one.
    bool firstReachesCorner_;
    // Fill colours that no image draws get entries in the global table;
    // otherwise an image restored to one carries a local table.
    bool fillsInGlobal_;
    bool restoreToPrevious_;
    const Progress* progress_ = nullptr;  // asked whether to stop, between images
    // Whether some screen shows a pixel a browser leaves transparent.  Then
    // the first image has a transparent index when it can spare one:
    // decoders that compose in the first image's mode (Pillow among them)
    // show transparency only after a first image that has one, and fill
    // what it leaves undrawn with its first colour otherwise.
    bool showsTransparency_ = false;
    uint32_t background_ = screen::never;  // the colour id of the screen's background, if any
    bool extendedLast_ = false, fillsGrewTable_ = false;
    TRect reached_;
    screen::ColourIds ids_;
    GlobalColours table_;
    uint32_t blackId_ = 0;
    bool previousAllowed_ = false;
    std::unique_ptr<ImageEncoder> encoder_;
    // The images chosen are refined in order, while the next are planned.
    std::unique_ptr<ImageRefiner> refiner_;
    std::deque<EncodedImage> refined_;  // by image
    std::vector<uint32_t> doc_, shown_, before_;
    // Lossy only: the close colour the file shows on each screen pixel, or
    // noClose; and what it showed under the last image.
    std::vector<uint32_t> shownClose_, closeUnderLast_;
    // Lossy only: the squared distance a merged colour may move (the
    // level's threshold), the thresholds left to each colour, and the
    // colour each id is shown as (empty: none merged).
    uint32_t mergeDistance_ = 0;
    std::vector<uint32_t> merged_, mergedThresholds_;
    std::vector<uint8_t> firstCovers_;  // the pixels the first frame draws
    // The last planned image: its rectangle, what its restore to the
    // background leaves, and what the frames it stands for leave.
    bool haveImage_ = false;
    TRect lastArea_, lastRect_;
    uint32_t lastRestored_ = 0;
    Restore pending_;
    ImagePixels tried[3];
    std::unique_ptr<SerialWorker> worker_;  // last: its jobs use the members above
};

ColourUse Planner::playChain(const std::vector<const TFrame*>& frames) {
    ColourUse use;
    std::vector<uint64_t> lastFrame;
    std::vector<uint32_t> used;
    uint64_t frameNumber = 0;
    const TFrame* previous = nullptr;
    screen::FrameColours previousColours;
    // The pixels a browser shows transparent: never drawn, or restored.
    size_t clear = size_t(size_.width) * size_t(size_.height);
    for (const TFrame* f : frames) {
        // (run gives up before it plans an image.)
        if (stopped()) break;
        const screen::FrameColours colours = coloursOf(*f);
        for (auto* v : {&use.pixels, &use.frameCount, &lastFrame}) v->resize(ids_.count(), 0);
        const TRect area = f->rect.intersected(screenRect());
        used.clear();
        uint64_t changed = 0;
        ++frameNumber;
        const TFrame* same = drawsOver(previous, &previousColours, *f, colours) ? previous : nullptr;
        drawOnto(doc_.data(), size_.width, *f, colours, area, same, [&](int32_t, int32_t, uint32_t id, uint32_t old) {
            ++use.pixels[id];
            ++changed;
            if (lastFrame[id] != frameNumber) lastFrame[id] = frameNumber, used.push_back(id);
            clear -= !screen::isOpaque(old);
        });
        if (clear > 0 && f->displayTime() > 0) showsTransparency_ = true;
        previous = f;
        previousColours = colours;
        for (uint32_t id : used) ++use.frameCount[id];
        use.frames.push_back({used, changed});
        if (f->restoreToBackground && !area.isEmpty()) {
            for (int32_t y = area.top; y < area.bottom; ++y)
                for (int32_t x = area.left; x < area.right; ++x) {
                    uint32_t& value = doc_[at(x, y)];
                    clear += screen::isOpaque(value);
                    value = screen::restoredTo(colours.fillId);
                }
            if ((f != frames.back() || plan_.loopExtension) &&
                std::find(use.fills.begin(), use.fills.end(), colours.fillId) == use.fills.end())
                use.fills.push_back(colours.fillId);
        }
    }
    // Starting over, the first frame may leave some of that showing.
    if (clear > 0 && plan_.loopExtension) showsTransparency_ = true;
    std::fill(doc_.begin(), doc_.end(), screen::never);
    return use;
}

void Planner::applyMerges(ColourUse& use) {
    // A colour others merged into may move only what is left of the
    // threshold's distance after the furthest of them.
    std::vector<uint32_t> reach(ids_.count(), 0);
    for (uint32_t id = 0; id < merged_.size(); ++id) {
        const uint32_t into = merged_[id];
        if (into == id) continue;
        reach[into] = std::max(reach[into], colourDistance(ids_.rgbOf(id), ids_.rgbOf(into)));
        use.pixels[into] += use.pixels[id];
        use.pixels[id] = 0;
    }
    mergedThresholds_.assign(ids_.count(), mergeDistance_);
    for (uint32_t id = 0; id < reach.size(); ++id) {
        if (reach[id] == 0) continue;
        const double left = std::max(0.0, std::sqrt(double(mergeDistance_)) - std::sqrt(double(reach[id])));
        mergedThresholds_[id] = uint32_t(std::floor(left * left));
    }
    // Each frame's colours merged, first come first, and how many frames
    // draw each.  (A pixel changed from one colour to another merged with
    // it still counts: close enough for ordering the table.)
    std::fill(use.frameCount.begin(), use.frameCount.end(), 0);
    std::vector<uint32_t> seen(ids_.count(), UINT32_MAX);
    for (uint32_t f = 0; f < use.frames.size(); ++f) {
        std::vector<uint32_t>& colours = use.frames[f].colours;
        size_t kept = 0;
        for (uint32_t id : colours) {
            const uint32_t into = merged_[id];
            if (seen[into] == f) continue;
            seen[into] = f;
            colours[kept++] = into;
            ++use.frameCount[into];
        }
        colours.resize(kept);
    }
}

screen::FrameColours Planner::coloursOf(const TFrame& frame) {
    screen::FrameColours colours = screen::frameColours(frame, &global_, ids_);
    if (!merged_.empty())
        for (uint32_t& id : colours.idOfValue)
            if (id < merged_.size()) id = merged_[id];
    return colours;
}

// A fill colour that images also draw gets a second entry when that does not
// make the table larger; an image that draws it can then still use it as its
// transparent index.
void Planner::addFillEntries(const ColourUse& use) {
    const size_t entries = table_.tableSize();
    for (uint32_t fill : use.fills) {
        if (table_.ids.size() >= 256) break;
        if (use.pixels[fill] == 0 || table_.ids.size() < entries) {
            table_.fillSlotOf[fill] = int16_t(table_.ids.size());
            table_.ids.push_back(fill);
        }
    }
    fillsGrewTable_ = table_.tableSize() > entries;
}

// The screen's background colour keeps its entry even where no pixel shows
// it; with all 256 entries taken the nearest one names it.
void Planner::placeBackground() {
    int index = table_.indexOf[background_] >= 0 ? table_.indexOf[background_] : table_.fillSlotOf[background_];
    if (index < 0 && table_.ids.size() < 256) {
        index = int(table_.ids.size());
        table_.ids.push_back(background_);
    }
    if (index < 0) {
        const uint32_t want = ids_.rgbOf(background_);
        auto distance = [&](size_t k) { return colourDistance(ids_.rgbOf(table_.ids[k]), want); };
        index = 0;
        for (size_t k = 1; k < table_.ids.size(); ++k)
            if (distance(k) < distance(size_t(index))) index = int(k);
    }
    plan_.backgroundIndex = uint8_t(index);
}

void Planner::buildGlobalTable(const std::vector<const TFrame*>& frames) {
    ColourUse use = playChain(frames);
    blackId_ = ids_.idOf(0);  // which may be a colour of its own
    for (auto* v : {&use.pixels, &use.frameCount}) v->resize(ids_.count(), 0);
    const std::vector<uint64_t>& counts = use.pixels;
    std::vector<uint32_t> drawn;
    auto listDrawn = [&] {
        drawn.clear();
        for (uint32_t id = 0; id < counts.size(); ++id)
            if (counts[id]) drawn.push_back(id);
    };
    listDrawn();
    // Fill colours that nothing draws need an entry of their own.
    if (!fillsInGlobal_) std::erase_if(use.fills, [&](uint32_t fill) { return counts[fill] == 0; });
    size_t undrawnFills = 0;
    for (uint32_t fill : use.fills) undrawnFills += counts[fill] == 0;
    const size_t room = 256 - std::min<size_t>(undrawnFills, 256);
    if (mergeDistance_ > 0) {
        std::vector<uint8_t> pinned(ids_.count(), 0);
        for (uint32_t fill : use.fills) pinned[fill] = 1;
        if (background_ != screen::never) pinned[background_] = 1;
        merged_ = mergeCloseColours(drawn, counts, ids_, room, mergeDistance_, pinned);
        if (!merged_.empty()) {
            applyMerges(use);
            listDrawn();
        }
    }
    previousAllowed_ = restoreToPrevious_ && drawn.size() <= 255;
    if (drawn.size() > room) keepColourSetsThatFit(use.frames, room, ids_.count(), drawn);
    orderForCodeSizes(use, ids_.count(), drawn);

    table_.ids = drawn;
    table_.indexOf.assign(ids_.count(), -1);
    table_.fillSlotOf.assign(ids_.count(), -1);
    for (size_t k = 0; k < drawn.size(); ++k) table_.indexOf[drawn[k]] = int16_t(k);
    addFillEntries(use);
    if (background_ != screen::never) placeBackground();
    if (table_.ids.empty()) table_.ids.push_back(blackId_);

    plan_.globalTable.assign(table_.tableSize(), 0);
    for (size_t k = 0; k < table_.ids.size(); ++k) plan_.globalTable[k] = ids_.rgbOf(table_.ids[k]);
}

TRect Planner::drawFrame(const TFrame& frame, const screen::FrameColours& colours, const TRect& area,
                         const TFrame* same) {
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    drawOnto(doc_.data(), size_.width, frame, colours, area, same, [&](int32_t x, int32_t y, uint32_t, uint32_t) {
        left = std::min(left, x), right = std::max(right, x + 1);
        top = std::min(top, y), bottom = std::max(bottom, y + 1);
    });
    return left <= right ? TRect{left, top, right, bottom} : TRect{};
}

Restore Planner::restoreOf(const TFrame& frame, const screen::FrameColours& colours, const TRect& area,
                           bool last, const TFrame* nextFrame) const {
    Restore r;
    if (!frame.restoreToBackground || area.isEmpty()) return r;
    r.area = area;
    r.value = screen::restoredTo(colours.fillId);
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        // The next frame's row here, if it has one.
        const uint8_t* drawn = nullptr;
        int32_t drawnLeft = 0, drawnRight = 0;
        if (nextFrame && y >= nextFrame->rect.top && y < nextFrame->rect.bottom) {
            drawn = std::as_const(*nextFrame->image).row(y - nextFrame->rect.top);
            drawnLeft = nextFrame->rect.left;
            drawnRight = nextFrame->rect.right;
        }
        for (int32_t x = area.left; x < area.right; ++x) {
            const size_t i = at(x, y);
            // The restored pixels the next frame draws over are never
            // shown; when the animation starts over, the first frame covers
            // what it draws.
            if (doc_[i] == r.value || (last && firstCovers_[i])) continue;
            if (drawn && x >= drawnLeft && x < drawnRight && drawn[x - drawnLeft] != nextFrame->transparentIndex)
                continue;
            left = std::min(left, x), right = std::max(right, x + 1);
            top = std::min(top, y), bottom = std::max(bottom, y + 1);
        }
    }
    if (left < right) r.pixels = {left, top, right, bottom};
    r.needed = !r.pixels.isEmpty();
    return r;
}

bool Planner::equalOver(const TRect& r) const {
    for (int32_t y = r.top; y < r.bottom; ++y)
        if (!std::equal(&doc_[at(r.left, y)], &doc_[at(r.left, y)] + r.width(), &shown_[at(r.left, y)]))
            return false;
    return true;
}

// The screen the next image is drawn on, when the last image is disposed of
// as `base` says.
uint32_t Planner::baseAt(Base base, size_t i, int32_t x, int32_t y) const {
    switch (base) {
        case Base::Keep: return shown_[i];
        case Base::Background:
            return x >= lastRect_.left && x < lastRect_.right && y >= lastRect_.top && y < lastRect_.bottom
                       ? lastRestored_
                       : shown_[i];
        case Base::Previous: return before_[i];
    }
    return shown_[i];
}

template <Base base, typename Fn>
void Planner::forEachBasePiece(int32_t y, int32_t x0, int32_t x1, Fn&& fn) const {
    const uint32_t* row = &(base == Base::Previous ? before_ : shown_)[at(0, y)];
    if (base != Base::Background || y < lastRect_.top || y >= lastRect_.bottom) {
        fn(x0, x1, row, 0u);
        return;
    }
    const int32_t l = std::max(x0, std::min(lastRect_.left, x1)), r = std::max(l, std::min(lastRect_.right, x1));
    if (x0 < l) fn(x0, l, row, 0u);
    if (l < r) fn(l, r, static_cast<const uint32_t*>(nullptr), lastRestored_);
    if (r < x1) fn(r, x1, row, 0u);
}

// The box of the pixels over `around` that differ from what the base
// screen shows, and their count; false when one of them cannot be drawn.
template <Base base>
bool Planner::scanBase(const TRect& around, TRect& draw, size_t& count) const {
    for (int32_t y = around.top; y < around.bottom; ++y) {
        const uint32_t* want = &doc_[at(0, y)];
        int32_t first = -1, last = -1;
        bool drawable = true;
        forEachBasePiece<base>(y, around.left, around.right,
                               [&](int32_t a, int32_t b, const uint32_t* from, uint32_t value) {
            for (int32_t x = a; x < b && drawable; ++x) {
                if (from) {
                    // Runs of equal pixels pass eight at a time.
                    if (x + 8 <= b && std::memcmp(want + x, from + x, 8 * sizeof(uint32_t)) == 0) {
                        x += 7;
                        continue;
                    }
                    if (from[x] == want[x]) continue;
                } else if (want[x] == value) {
                    continue;
                }
                drawable = screen::isOpaque(want[x]);
                ++count;
                if (first < 0) first = x;
                last = x;
            }
        });
        if (!drawable) return false;
        if (first >= 0) draw = draw.united({first, y, last + 1, y + 1});
    }
    return true;
}

template <Base base>
void Planner::fillPixels(ImagePixels& px) const {
    const TRect& r = px.rect;
    px.want.resize(size_t(r.area()));
    px.fixed.resize(size_t(r.area()));
    size_t k = 0;
    for (int32_t y = r.top; y < r.bottom; ++y, k += size_t(r.width())) {
        const uint32_t* want = &doc_[at(0, y)];
        std::copy_n(want + r.left, r.width(), &px.want[k]);
        uint8_t* out = &px.fixed[k];
        forEachBasePiece<base>(y, r.left, r.right, [&](int32_t a, int32_t b, const uint32_t* from, uint32_t value) {
            if (from)
                for (int32_t x = a; x < b; ++x) out[x - r.left] = from[x] != want[x];
            else
                for (int32_t x = a; x < b; ++x) out[x - r.left] = value != want[x];
        });
    }
}

// The image each restore method of the image before leaves to draw, in
// tried[0 .. count) with its base and the count of pixels it must draw.
int Planner::tryBases(const TRect& area, const TRect& around, const Restore& next, bool reachCorner,
                      TriedBases& bases) {
    std::vector<Base> candidates{Base::Keep};
    if (haveImage_) {
        candidates.push_back(Base::Background);
        if (previousAllowed_) candidates.push_back(Base::Previous);
    }
    int count = 0;
    for (Base base : candidates) {
        if (base == Base::Previous) {
            bool opaque = true;
            for (int32_t y = lastRect_.top; y < lastRect_.bottom && opaque; ++y)
                for (int32_t x = lastRect_.left; x < lastRect_.right && opaque; ++x)
                    opaque = screen::isOpaque(before_[at(x, y)]);
            if (!opaque || !restoresExactly()) continue;
        }
        TRect draw;
        size_t fixed = 0;
        const bool possible = base == Base::Keep         ? scanBase<Base::Keep>(around, draw, fixed)
                              : base == Base::Background ? scanBase<Base::Background>(around, draw, fixed)
                                                         : scanBase<Base::Previous>(around, draw, fixed);
        if (!possible) continue;
        if (next.needed) {
            draw = draw.united(next.pixels);
            if (!area.contains(draw)) continue;
        }
        // A frame that changes nothing still needs a pixel to hold its time.
        if (draw.isEmpty()) draw = around.isEmpty() ? TRect{0, 0, 1, 1} : TRect{around.left, around.top, around.left + 1, around.top + 1};
        // With nothing to draw there, the pixels on the way to the corner
        // are transparent.
        if (!haveImage_ && reachCorner && firstReachesCorner_) {
            const TRect corner = draw.united({size_.width - 1, size_.height - 1, size_.width, size_.height});
            if (!next.needed || area.contains(corner)) draw = corner;
        }

        // Outside `around` nothing differs, so the count holds for draw.
        tried[count].rect = draw;
        bases.base[count] = base;
        bases.fixed[count++] = fixed;
    }
    return count;
}

// Encodes the images tried that are worth it, keeping the smallest in best;
// returns its base (with its rectangle in bestRect).
Base Planner::encodeTried(int count, const TriedBases& bases, const Restore& next, EncodedImage& best,
                          TRect& bestRect) {
    Base bestBase = Base::Keep;
    for (int a = 0; a < count; ++a) {
        // One that must draw more pixels over a larger rectangle than another
        // is not worth encoding; of two alike (as when two restore methods
        // leave the same pixels to draw) the first is kept.
        bool dominated = false;
        for (int b = 0; b < count && !dominated; ++b)
            dominated = b != a && tried[a].rect.contains(tried[b].rect) && bases.fixed[a] >= bases.fixed[b] &&
                        (tried[a].rect != tried[b].rect || bases.fixed[a] > bases.fixed[b] || b < a);
        if (dominated) continue;
        switch (bases.base[a]) {
            case Base::Keep: fillPixels<Base::Keep>(tried[a]); break;
            case Base::Background: fillPixels<Base::Background>(tried[a]); break;
            case Base::Previous: fillPixels<Base::Previous>(tried[a]); break;
        }
        if (bases.base[a] != Base::Keep) pinStillPixels(tried[a]);
        const size_t before = best.bytes;
        encoder_->encodeBest(tried[a], next.needed ? next.value : screen::never, !haveImage_ && showsTransparency_,
                             best);
        if (best.bytes < before) {
            bestBase = bases.base[a];
            bestRect = tried[a].rect;
        }
    }
    return bestBase;
}

bool Planner::planImage(const TRect& area, const TRect& changed, const Restore& next, uint32_t delayCs,
                        std::vector<std::string>& comments, bool reachCorner) {
    // Outside `around` the screen under the new image shows the target
    // whatever the restore method.
    TRect around = changed;
    if (pending_.needed) around = around.united(pending_.area);
    if (haveImage_) around = around.united(lastRect_);

    TriedBases bases;
    const int count = tryBases(area, around, next, reachCorner, bases);
    EncodedImage best;
    TRect bestRect;
    const Base bestBase = encodeTried(count, bases, next, best, bestRect);
    if (best.bytes == SIZE_MAX && !haveImage_ && showsTransparency_) {
        // A first frame of 256 colours may have no transparent index to
        // spare; then it goes without.
        showsTransparency_ = false;
        return planImage(area, changed, next, delayCs, comments, reachCorner);
    }
    if (best.bytes == SIZE_MAX) {
        // Reaching the corner needs a transparent index too.
        return !haveImage_ && reachCorner && planImage(area, changed, next, delayCs, comments, false);
    }
    addImage(area, around, next, delayCs, comments, bestBase, bestRect, std::move(best));
    return true;
}

// Puts the image chosen in the plan: the image before gets its restore, the
// screens move on, and the image goes to the refiner.
void Planner::addImage(const TRect& area, const TRect& around, const Restore& next, uint32_t delayCs,
                       std::vector<std::string>& comments, Base bestBase, const TRect& bestRect,
                       EncodedImage&& best) {
    if (!shownClose_.empty()) {
        if (haveImage_ && bestBase != Base::Keep) restoreShownClose(bestBase);
        drawShownClose(bestRect, best);
    }
    if (haveImage_) {
        plan_.images.back().disposal = uint8_t(bestBase);
        if (bestBase != Base::Previous)
            for (int32_t y = lastRect_.top; y < lastRect_.bottom; ++y)
                for (int32_t x = lastRect_.left; x < lastRect_.right; ++x) {
                    const size_t i = at(x, y);
                    before_[i] = baseAt(bestBase, i, x, y);
                }
    }
    const TRect touched = around.united(bestRect);
    for (int32_t y = touched.top; y < touched.bottom; ++y)
        std::copy_n(&doc_[at(touched.left, y)], touched.width(), &shown_[at(touched.left, y)]);

    PlannedImage image;
    image.commentsBefore = std::move(comments);
    comments.clear();
    image.rect = bestRect;
    image.transparentIndex = best.transparentIndex;
    image.delayCs = delayCs;
    image.localTable = best.localTable;
    plan_.images.push_back(std::move(image));
    haveImage_ = true;
    lastArea_ = area;
    lastRect_ = bestRect;
    reached_ = reached_.united(bestRect);
    lastRestored_ = best.restoredValue;
    pending_ = next;
    refineLast(std::move(best));
}

bool Planner::restoresExactly() const {
    if (shownClose_.empty()) return true;
    const TRect r = lastRect_.intersected(screenRect());
    for (int32_t y = r.top; y < r.bottom; ++y)
        if (std::any_of(&shownClose_[at(r.left, y)], &shownClose_[at(r.right, y)],
                        [](uint32_t c) { return c != noClose; }))
            return false;
    return std::all_of(closeUnderLast_.begin(), closeUnderLast_.end(), [](uint32_t c) { return c == noClose; });
}

void Planner::pinStillPixels(ImagePixels& px) const {
    if (shownClose_.empty()) return;
    const TRect r = px.rect.intersected(lastRect_).intersected(screenRect());
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            const size_t k = size_t(y - px.rect.top) * size_t(px.rect.width()) + size_t(x - px.rect.left);
            const size_t i = at(x, y);
            if (!px.fixed[k] || doc_[i] != shown_[i]) continue;
            const uint32_t close = shownClose_[i];
            if (close == noClose) {
                px.fixed[k] = ImagePixels::pinned;
            } else if (const uint32_t id = ids_.find(close); id < table_.indexOf.size()) {
                px.want[k] = id;
                px.fixed[k] = ImagePixels::pinnedClose;
            }
        }
}

void Planner::restoreShownClose(Base base) {
    const TRect r = lastRect_.intersected(screenRect());
    size_t k = 0;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x, ++k)
            shownClose_[at(x, y)] = base == Base::Previous ? closeUnderLast_[k] : noClose;
}

void Planner::drawShownClose(const TRect& rect, const EncodedImage& image) {
    const TRect r = rect.intersected(screenRect());
    closeUnderLast_.clear();
    for (int32_t y = r.top; y < r.bottom; ++y)
        closeUnderLast_.insert(closeUnderLast_.end(), &shownClose_[at(r.left, y)], &shownClose_[at(r.right, y)]);
    // A pixel drawn shows its close colour or the document's; one left
    // free (drawn or not) shows what it showed.
    const size_t area = size_t(rect.area());
    if (image.values.size() != area) return;
    const bool anyClose = image.closeColours.size() == area;
    const bool anyFree = image.free.size() == area;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            const size_t i = size_t(y - rect.top) * size_t(rect.width()) + size_t(x - rect.left);
            if (int(image.values[i]) == image.transparentIndex || (anyFree && image.free[i])) continue;
            shownClose_[at(x, y)] = anyClose ? image.closeColours[i] : noClose;
        }
}

void Planner::refineLast(EncodedImage&& best) {
    // The deque keeps the images the worker holds where they are.
    refined_.push_back(std::move(best));
    EncodedImage* image = &refined_.back();
    worker_->post(
        [this, image] {
            if (!stopped()) refiner_->refine(*image);
        },
        std::max<size_t>(image->values.size(), 1));
}

// Draws the last image again over a rectangle reaching the far corner; the
// added pixels show what is already there.
bool Planner::reachCornerWithLast() {
    const TRect rect = lastRect_.united({size_.width - 1, size_.height - 1, size_.width, size_.height});
    if (pending_.needed && !lastArea_.contains(rect)) return false;
    ImagePixels& px = tried[0];
    px.rect = rect;
    px.want.clear();
    px.fixed.clear();
    for (int32_t y = rect.top; y < rect.bottom; ++y)
        for (int32_t x = rect.left; x < rect.right; ++x) {
            const size_t i = at(x, y);
            px.want.push_back(shown_[i]);
            px.fixed.push_back(before_[i] != shown_[i]);
        }
    // Drawn again over what the last image covered.
    if (!shownClose_.empty()) restoreShownClose(Base::Previous);
    EncodedImage best;
    encoder_->encodeBest(px, pending_.needed ? pending_.value : screen::never,
                         plan_.images.size() == 1 && showsTransparency_, best);
    if (best.bytes == SIZE_MAX) return false;
    if (!shownClose_.empty()) drawShownClose(rect, best);
    PlannedImage& image = plan_.images.back();
    image.rect = rect;
    image.transparentIndex = best.transparentIndex;
    image.localTable = best.localTable;
    lastRect_ = rect;
    worker_->wait();
    refined_.pop_back();
    refineLast(std::move(best));
    return true;
}

bool Planner::run(TFrame* first, const MaxCompressionOptions& options) {
    progress_ = options.progress;
    std::vector<const TFrame*> frames;
    forEachInChain(first, [&](TFrame& f) {
        if (f.image) frames.push_back(&f);
    });
    // The colour the screen's background index names in the global palette
    // (an index past the palette shows black).
    if (const int32_t bg = chainBackground(first); bg >= 0 && !frames.empty())
        background_ = ids_.idOf(screen::rgbOf(bg < global_.colorCount ? global_.entry(bg) : PaletteEntry{}));
    if (options.lossyQuality < 100) mergeDistance_ = LzwLossyEncoder::thresholdOf(options.lossyQuality);
    buildGlobalTable(frames);
    encoder_ = std::make_unique<ImageEncoder>(ids_, table_, plan_.backgroundIndex, blackId_);
    encoder_->setLossyQuality(options.lossyQuality);
    encoder_->setColourThresholds(&mergedThresholds_);
    if (options.lossyQuality < 100) {
        shownClose_.assign(pixels(), noClose);
        encoder_->setShownClose(shownClose_.data(), size_.width);
    }
    const bool threads = options.secondThread && worthASecondThread(imagePixels(first));
    refiner_ = std::make_unique<ImageRefiner>(threads);
    worker_ = std::make_unique<SerialWorker>(threads, refineBacklogPixels);

    std::vector<std::string> comments;
    size_t done = 0, frameIndex = 0;
    const TFrame* previous = nullptr;
    screen::FrameColours previousColours;
    bool ok = true;
    forEachInChain(first, [&](TFrame& f) {
        if (!ok) return;
        if (stopped()) {
            ok = false;
            return;
        }
        if (f.isComment) {
            comments.push_back(static_cast<const TTextFrame&>(f).getText());
            return;
        }
        if (!f.image) return;
        const screen::FrameColours colours = coloursOf(f);
        const TRect area = f.rect.intersected(screenRect());
        const TRect changed =
            drawFrame(f, colours, area, drawsOver(previous, &previousColours, f, colours) ? previous : nullptr);
        previous = &f;
        previousColours = colours;
        // What the last frame leaves matters only when the animation
        // starts over.
        if (&f == frames.front()) {
            firstCovers_.resize(doc_.size());
            for (size_t i = 0; i < doc_.size(); ++i) firstCovers_[i] = screen::isOpaque(doc_[i]);
        }
        const bool last = &f == frames.back();
        const TFrame* nextFrame = last ? nullptr : frames[++frameIndex];
        const Restore next = !last || plan_.loopExtension ? restoreOf(f, colours, area, last, nextFrame) : Restore{};
        const uint32_t delay = delayCsOf(f);
        // The screen shown differs from the last image's only where the
        // frame changed it or where the frame before was restored.
        if (haveImage_ && comments.empty() && next.sameAs(pending_) &&
            equalOver(pending_.needed ? changed.united(pending_.area) : changed) &&
            plan_.images.back().delayCs + delay <= maxDelayCs) {
            plan_.images.back().delayCs += delay;
        } else if (!planImage(area, changed, next, delay, comments)) {
            ok = false;
            return;
        }
        if (f.restoreToBackground)
            for (int32_t y = area.top; y < area.bottom; ++y)
                std::fill_n(&doc_[at(area.left, y)], area.width(), screen::restoredTo(colours.fillId));
        if (options.progress && frames.size() > 1) options.progress->setProgress(int(++done * 100 / frames.size()));
    });
    if (!ok) return false;
    if (haveImage_ && (reached_.right < size_.width || reached_.bottom < size_.height)) {
        if (!reachCornerWithLast()) return false;
        extendedLast_ = true;
    }
    if (haveImage_ && pending_.needed) plan_.images.back().disposal = uint8_t(Base::Background);
    worker_->wait();
    // The refiner passed over the images it had not begun.
    if (stopped()) return false;
    for (size_t i = 0; i < refined_.size(); ++i) {
        plan_.images[i].data = std::move(refined_[i].data);
        plan_.images[i].interlaced = refined_[i].interlaced;
    }
    // A single image does not animate.
    if (plan_.images.size() < 2) plan_.loopExtension = false;
    plan_.trailingComments = std::move(comments);
    return true;
}

size_t planBytes(const GifPlan& plan) {
    size_t bytes = 3 * plan.globalTable.size();
    for (const PlannedImage& image : plan.images) bytes += plannedImageBytes(image);
    return bytes;
}

}  // namespace

bool worthASecondThread(uint64_t pixels) { return pixels >= secondThreadPixels; }

bool planMaxCompression(TFrame* first, const TMyPalette& globalPalette, const MaxCompressionOptions& options,
                        GifPlan& plan) {
    plan = GifPlan{};
    const TSize size = boundingSize(first);
    if (size.width <= 0 || size.height <= 0 || size.width > 0xFFFF || size.height > 0xFFFF ||
        int64_t(size.width) * size.height > maxScreenPixels)
        return false;
    plan.screen = size;
    // Loops as the plain save does.
    int count = 0;
    bool circular = false;
    for (TFrame* f = first; f; f = f->next) {
        if (f->next == first) {
            circular = true;
            break;
        }
        if (++count > (1 << 24)) break;
    }
    plan.loopExtension = circular && options.loopCount != 1;
    plan.loopValue = uint16_t(options.loopCount == 0 ? 0 : std::clamp(options.loopCount - 1, 0, 0xFFFF));
    // What only measuring tells: whether the last image or the first
    // reaches the screen's corner (the first only when the last had to be
    // stretched), and whether fill colours nothing draws are worth the
    // larger global table they make.
    const GifPlan start = plan;
    bool planned = false, firstReaches = false, grew = false;
    // Plans one way and keeps it when smaller; false when that way fails or
    // the last image had to be stretched.
    auto attempt = [&](bool firstReachesCorner, bool fillsInGlobal) {
        if (options.progress && options.progress->stopRequested()) return true;
        GifPlan candidate = start;
        Planner planner(size, globalPalette, candidate, firstReachesCorner, fillsInGlobal,
                        options.restoreToPrevious);
        if (!planner.run(first, options)) return false;
        if (!planned || planBytes(candidate) < planBytes(plan)) {
            plan = std::move(candidate);
            planned = true;
            firstReaches = firstReachesCorner;
            grew = planner.fillsGrewTable();
        }
        return !planner.extendedLast();
    };
    if (!attempt(false, true)) attempt(true, true);
    if (grew) attempt(firstReaches, false);
    if (options.progress && options.progress->stopRequested()) planned = false;
    if (!planned) plan = start;
    return planned;
}

}  // namespace movigram
