#include "TimingEdits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "document/Compose.h"
#include "document/EditScope.h"
#include "NumberField.h"

namespace movigram {

namespace {

// The fill a composed screen starts from: transparent where the animation
// has a transparent colour, else its background.
int screenFill(const Document& doc) {
    return doc.transparentIndex >= 0 ? doc.transparentIndex : std::max(doc.backgroundIndex, 0);
}

void visitScreens(const Document& doc, const std::function<void(int, const TDib256&)>& visit) {
    const TMyPalette none;
    forEachScreen(doc.frameList, {doc.screenWidth, doc.screenHeight}, doc.globalPalette ? *doc.globalPalette : none,
                  screenFill(doc), doc.backgroundIndex, visit);
}

bool samePixels(const TDib256& a, const TDib256& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int32_t y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), size_t(a.width())) != 0) return false;
    return true;
}

bool anyPixel(const TDib256& image, const TRect& r, int value) {
    if (value < 0) return false;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            if (image.pixel(x, y) == value) return true;
    return false;
}

// The screens visited are exact only up to the first frame with a local
// palette, which they leave out.
bool anyLocalPalette(const FrameList& list) {
    for (int i = 0; i < list.count(); ++i)
        if (list.frameAt(i)->localPalette) return true;
    return false;
}

// Rounded to the 10 ms steps a GIF keeps.
int64_t toSteps(double ms) { return std::llround(ms / 10.0) * 10; }

// A group of consecutive frames of which only the last is kept.
struct Group {
    std::vector<int> frames;
    int32_t delay = 0;  // ms
    TRect area;         // what the frames draw, together
};

}  // namespace

bool changeSpeed(Document& doc, FrameSelection selection, double factor, const std::string& label) {
    FrameList& list = doc.frameList;
    selection = normalizeSelection(list, std::move(selection));
    if (!(factor >= slowestSpeed && factor <= fastestSpeed)) return false;
    std::vector<int> frames;
    for (int32_t i : selection)
        if (list.frameAt(i)->hasImage() && !list.frameAt(i)->isComment) frames.push_back(i);
    if (frames.empty()) return false;

    // Groups within each run of consecutive selected image frames (comment
    // frames between them do not break a run).
    std::vector<Group> groups;
    auto nextImage = [&](int i) {
        for (++i; i < list.count(); ++i)
            if (list.frameAt(i)->hasImage() && !list.frameAt(i)->isComment) return i;
        return -1;
    };
    double end = 0;
    size_t runStart = 0;
    for (size_t k = 0; k < frames.size(); ++k) {
        const TFrame& f = *list.frameAt(frames[k]);
        if (k == 0 || nextImage(frames[k - 1]) != frames[k]) {
            end = 0;
            runStart = groups.size();
        }
        const int64_t from = toSteps(end);
        end += f.displayTime() / factor;
        if (groups.size() == runStart || groups.back().delay >= shortestDelay) groups.push_back({});
        Group& g = groups.back();
        g.frames.push_back(frames[k]);
        g.area = g.area.isEmpty() ? f.rect : g.area.united(f.rect);
        g.delay += int32_t(toSteps(end) - from);
        // The last group of a run too short for its own: it joins the one before.
        const bool runEnds = k + 1 == frames.size() || nextImage(frames[k]) != frames[k + 1];
        if (runEnds && g.delay < shortestDelay && groups.size() > runStart + 1) {
            Group last = std::move(groups.back());
            groups.pop_back();
            Group& before = groups.back();
            before.frames.insert(before.frames.end(), last.frames.begin(), last.frames.end());
            before.area = before.area.united(last.area);
            before.delay += last.delay;
        }
    }

    // A group whose kept frame cannot show what the others drew is split
    // back into its frames, each at the shortest delay.
    const int transparent = doc.transparentIndex;
    const bool local = anyLocalPalette(list);
    std::map<int, TRect> wanted;  // kept frame -> area its new image covers
    for (Group& g : groups) {
        if (g.frames.size() == 1) continue;
        const TFrame& kept = *list.frameAt(g.frames.back());
        if (!local && !(kept.restoreToBackground && g.area != kept.rect)) wanted[g.frames.back()] = g.area;
    }
    std::map<int, std::unique_ptr<TDib256>> images;
    if (!wanted.empty())
        visitScreens(doc, [&](int i, const TDib256& shown) {
            const auto w = wanted.find(i);
            if (w == wanted.end()) return;
            const TRect area = w->second.intersected(shown.bounds());
            if (area.isEmpty() || anyPixel(shown, area, transparent)) return;
            images[i] = TDib256::subImage(shown, area);
            images[i]->transparentIndex = -1;
        });

    EditScope edit(doc, EditScope::wholeList(doc, label));
    std::vector<int> dropped;
    for (const Group& g : groups) {
        const int keptIndex = g.frames.back();
        const auto image = images.find(keptIndex);
        if (g.frames.size() > 1 && image == images.end()) {
            for (int i : g.frames) doc.setFrameTiming(i, std::max(g.delay / int32_t(g.frames.size()), shortestDelay), 1);
            continue;
        }
        TFrame& kept = *list.frameAt(keptIndex);
        if (g.frames.size() > 1) {
            kept.rect = kept.dirtyRect = g.area.intersected({0, 0, doc.screenWidth, doc.screenHeight});
            kept.image = std::move(image->second);
            kept.transparentIndex = -1;
            dropped.insert(dropped.end(), g.frames.begin(), g.frames.end() - 1);
        }
        doc.setFrameTiming(keptIndex, std::max(g.delay, 10), 1);
    }
    std::sort(dropped.begin(), dropped.end());
    list.takeAt(dropped);
    return true;
}

bool capPauses(Document& doc, int32_t maxMs, const std::string& label) {
    FrameList& list = doc.frameList;
    if (maxMs < 10) return false;
    std::vector<int> longer;
    for (int i = 0; i < list.count(); ++i)
        if (const TFrame* f = list.frameAt(i); f->hasImage() && !f->isComment && f->displayTime() > maxMs)
            longer.push_back(i);
    if (longer.empty()) return false;
    EditScope edit(doc, TUndo::timing(list, doc.frameTime, label));
    for (int i : longer) doc.setFrameTiming(i, maxMs, 1);
    return true;
}

bool setDelays(Document& doc, FrameSelection selection, int32_t ms, const std::string& label) {
    FrameList& list = doc.frameList;
    if (ms < 1 || ms > maxFrameDisplayMs) return false;
    std::vector<int> changing;
    for (int32_t i : normalizeSelection(list, std::move(selection)))
        if (const TFrame* f = list.frameAt(i); f->hasImage() && !f->isComment && (f->frameTime != ms || f->repeat != 1))
            changing.push_back(i);
    if (changing.empty()) return false;
    EditScope edit(doc, TUndo::timing(list, doc.frameTime, label));
    for (int i : changing) doc.setFrameTiming(i, ms, 1);
    return true;
}

int removeDuplicateFrames(Document& doc, const std::string& label) {
    FrameList& list = doc.frameList;
    // Frame i repeats the one before when the screen after it is the screen
    // after that one, and what each leaves for the next frame is the same:
    // both leave their pictures, or both clear the same rectangle.
    std::vector<std::pair<int, int>> repeats;  // (frame, the frame it repeats)
    std::unique_ptr<TDib256> before;
    int beforeIndex = -1;
    int firstLocal = list.count();
    for (int i = 0; i < list.count(); ++i)
        if (list.frameAt(i)->localPalette) {
            firstLocal = i;
            break;
        }
    visitScreens(doc, [&](int i, const TDib256& shown) {
        const TFrame& f = *list.frameAt(i);
        if (f.isComment || i > firstLocal) return;
        if (before && beforeIndex >= 0) {
            const TFrame& b = *list.frameAt(beforeIndex);
            const bool sameLeft = f.restoreToBackground == b.restoreToBackground &&
                                  (!f.restoreToBackground || f.rect == b.rect);
            if (!b.localPalette && sameLeft && samePixels(shown, *before)) {
                repeats.emplace_back(i, beforeIndex);
                return;  // the frame it repeats stays the one to compare with
            }
        }
        before = std::make_unique<TDib256>(shown);
        beforeIndex = i;
    });
    if (repeats.empty()) return 0;
    EditScope edit(doc, EditScope::wholeList(doc, label));
    for (const auto& [i, kept] : repeats) {
        TFrame& k = *list.frameAt(kept);
        doc.setFrameTiming(kept, k.displayTime() + list.frameAt(i)->displayTime(), 1);
    }
    std::vector<int32_t> dropped;
    for (const auto& repeat : repeats) dropped.push_back(repeat.first);
    list.takeAt(dropped);
    return int(repeats.size());
}

}  // namespace movigram
