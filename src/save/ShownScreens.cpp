#include "ShownScreens.h"

#include <algorithm>
#include <unordered_map>

#include "document/FrameChain.h"

namespace movigram {

ShownScreens shownScreensOf(Document& doc) {
    ShownScreens s;
    s.first = doc.firstFrame;
    s.global = doc.globalPalette.get();
    s.width = doc.screenWidth;
    s.height = doc.screenHeight;
    int images = 0;
    bool circular = false;
    for (TFrame* f = doc.firstFrame; f; f = f->next) {
        images += f->image != nullptr;
        if (f->next == doc.firstFrame) {
            circular = true;
            break;
        }
    }
    s.imageFrames = images;
    // As the GIF writer loops: only a circular chain, and 1 is played once.
    s.plays = circular ? std::max(doc.loopCount, 0) : 1;
    return s;
}

bool forEachShownScreen(const ShownScreens& screens, Progress* progress, const ScreenVisitor& visit) {
    ViewerCanvas canvas(screens.width, screens.height);
    std::vector<Rgba> pending, unseen;
    int32_t pendingMs = 0;
    bool havePending = false, stopped = false;
    int walked = 0;
    for (TFrame* f = screens.first; f && !stopped; f = f->next == screens.first ? nullptr : f->next) {
        if (!f->image) continue;
        if (progress) {
            if (progress->stopRequested()) return false;
            progress->setProgress(int(int64_t(walked) * 100 / std::max(screens.imageFrames, 1)));
        }
        ++walked;
        const int32_t ms = std::max(f->displayTime(), 0);
        const Disposal disposal = f->restoreToBackground ? Disposal::Background : Disposal::Keep;
        canvas.step(*f, screens.global, disposal, [&](const ViewerCanvas& shown) {
            if (ms == 0) {
                // An animation whose frames all show for no time shows its
                // last screen.
                if (!havePending) unseen = shown.pixels();
                return;
            }
            if (havePending && shown.pixels() == pending) {
                // A long wait can pass int32: it is split into screens.
                if (int64_t(pendingMs) + ms <= INT32_MAX) {
                    pendingMs += ms;
                    return;
                }
            }
            if (havePending && !visit(pending, pendingMs)) stopped = true;
            pending = shown.pixels();
            pendingMs = ms;
            havePending = true;
        });
    }
    if (stopped) return false;
    if (!havePending && !unseen.empty()) {
        pending = std::move(unseen);
        havePending = true;
    }
    if (havePending && !visit(pending, pendingMs)) return false;
    if (progress) progress->setProgress(100);
    return true;
}

ScreenColourSurvey surveyScreens(const ShownScreens& screens, Progress* progress) {
    ScreenColourSurvey survey;
    std::unordered_map<uint32_t, int> seen;
    forEachShownScreen(screens, progress, [&](const std::vector<Rgba>& pixels, int32_t) {
        for (const Rgba& p : pixels) {
            const Rgba c = p.a == 0 ? Rgba{} : p;
            survey.transparent |= c.a == 0;
            if (!survey.fitsPalette) continue;
            const uint32_t key = uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16 | uint32_t(c.a) << 24;
            if (seen.emplace(key, int(seen.size())).second) {
                if (seen.size() > 256) {
                    survey.fitsPalette = false;
                    survey.colours.clear();
                } else {
                    survey.colours.push_back(c);
                }
            }
        }
        // Nothing more to learn.
        return survey.fitsPalette || !survey.transparent;
    });
    return survey;
}

}  // namespace movigram
