#include "SizeTarget.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

#include "SaveCommands.h"
#include "colour/ColorReduction.h"
#include "document/Compose.h"
#include "document/FrameChain.h"
#include "frameops/ColorCommands.h"
#include "frameops/Scale.h"

namespace movigram {

std::string describeSettings(const ShareSettings& s) {
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (s.lossy < 100) add("lossy " + std::to_string(s.lossy));
    if (s.colors > 0) add(std::to_string(s.colors) + " colours");
    if (s.frameStep > 1) add(std::to_string(s.framesKept) + "/" + std::to_string(s.frameStep) + " frame rate");
    if (s.scalePercent < 100) add(std::to_string(s.scalePercent) + " % scale");
    return text.empty() ? "maximum compression" : text;
}

std::optional<uint64_t> parseByteSize(std::string_view text) {
    std::string t;
    for (char c : text)
        if (c != ' ') t += char(std::tolower(static_cast<unsigned char>(c)));
    size_t digits = 0;
    while (digits < t.size() && (std::isdigit(static_cast<unsigned char>(t[digits])) || t[digits] == '.')) ++digits;
    if (digits == 0 || std::count(t.begin(), t.begin() + std::ptrdiff_t(digits), '.') > 1) return std::nullopt;
    const double number = std::strtod(t.substr(0, digits).c_str(), nullptr);
    static const std::map<std::string, double> units = {
        {"", 1},         {"b", 1},          {"k", 1e3},        {"kb", 1e3},        {"m", 1e6},
        {"mb", 1e6},     {"g", 1e9},        {"gb", 1e9},       {"kib", 1024.0},    {"mib", 1048576.0},
        {"gib", 1073741824.0},
    };
    const auto unit = units.find(t.substr(digits));
    if (unit == units.end()) return std::nullopt;
    const double bytes = std::floor(number * unit->second);
    if (!(bytes >= 1) || bytes > 1e15) return std::nullopt;
    return uint64_t(bytes);
}

namespace {

int imageFrameCount(const Document& doc) {
    int n = 0;
    for (int i = 0; i < doc.frameList.count(); ++i)
        if (const TFrame* f = doc.frameList.frameAt(i); f->image && !f->isComment) ++n;
    return n;
}

// The most colours one picture of the animation may show.
int colourCount(const Document& doc) {
    int most = doc.globalPalette ? doc.globalPalette->colorCount : 0;
    for (int i = 0; i < doc.frameList.count(); ++i)
        if (const TFrame* f = doc.frameList.frameAt(i); f->localPalette)
            most = std::max(most, f->localPalette->colorCount);
    return most == 0 ? 256 : most;
}

// A copy to change freely: nothing recorded, nothing shown; host says when
// to stop.
std::unique_ptr<Document> workingCopy(Document& doc, Host& host) {
    std::unique_ptr<Document> copy = copyForSave(doc, &host);
    copy->setUndoEnabled(false);
    copy->relink();
    return copy;
}

// Keeps the first `kept` image frames of every `step`; each kept one shows
// for the times of those dropped after it.  The frames are made whole
// screens first, so that a dropped frame's pixels still reach the screen.
bool dropFrames(Document& doc, int kept, int step) {
    bool local = false;
    for (int i = 0; i < doc.frameList.count(); ++i) local = local || doc.frameList.frameAt(i)->localPalette;
    if (local && !reduceColors(doc, 256, true)) return false;
    if (!unoptimize(doc, {})) return false;
    FrameList& list = doc.frameList;
    TFrame* last = nullptr;
    int seen = 0;
    std::vector<int32_t> dropped;
    for (int i = 0; i < list.count(); ++i) {
        TFrame* f = list.frameAt(i);
        if (!f->image || f->isComment) continue;
        if (seen++ % step < kept || !last) {
            if (last) last->restoreToBackground = f->transparentIndex >= 0;
            last = f;
            last->frameTime = last->displayTime();
            last->repeat = 1;
            continue;
        }
        last->frameTime += f->displayTime();
        dropped.push_back(i);
    }
    list.takeAt(dropped);
    doc.relink();
    return true;
}

// The files settings give, made once each.
class FileCache {
public:
    // planOnly: files for estimates (SaveCommands.h).
    FileCache(Document& doc, const Progress* stop, bool planOnly = false)
        : doc_(doc), stop_(stop), planOnly_(planOnly) {}
    // Empty when the file could not be made.
    const std::vector<uint8_t>& file(const ShareSettings& s) {
        for (const auto& [settings, bytes] : known_)
            if (settings == s) return bytes;
        ++made_;
        return known_.emplace_back(s, sharedFile(doc_, s, stop_, planOnly_)).second;
    }

    int made() const { return made_; }

private:
    Document& doc_;
    const Progress* stop_;
    bool planOnly_;
    std::vector<std::pair<ShareSettings, std::vector<uint8_t>>> known_;
    int made_ = 0;
};

// Windows of consecutive frames spread evenly over the animation, each
// frame the whole screen it shows: about an eighth of the frames, at least
// 24.  Nothing when the animation is that short (it is its own sample).
constexpr int sampleWindow = 12;  // frame steps 2, 3 and 4 keep the same share of every window

std::unique_ptr<Document> sampleOf(Document& doc, Host& host) {
    const int frames = imageFrameCount(doc);
    const int wanted = std::max(24, frames / 8);
    if (frames <= wanted * 2) return nullptr;
    const int windows = (wanted + sampleWindow - 1) / sampleWindow;
    std::unique_ptr<Document> copy = workingCopy(doc, host);
    auto sample = std::make_unique<Document>(&host);
    sample->setUndoEnabled(false);
    if (copy->globalPalette) sample->globalPalette = std::make_unique<TMyPalette>(*copy->globalPalette);
    sample->backgroundIndex = copy->backgroundIndex;
    sample->transparentIndex = copy->transparentIndex;
    sample->sameTransparent = copy->sameTransparent;
    sample->loopOption = copy->loopOption;
    sample->loopCount = copy->loopCount;
    sample->quantize = copy->quantize;
    sample->commentFrameOption = false;

    // Image frame n belongs to the sample when it falls in one of the
    // windows, which start at multiples of frames / windows.
    std::vector<int> imageOrdinal(size_t(copy->frameList.count()), -1);
    for (int i = 0, n = 0; i < copy->frameList.count(); ++i)
        if (const TFrame* f = copy->frameList.frameAt(i); f->image && !f->isComment) imageOrdinal[size_t(i)] = n++;
    const double spacing = double(frames) / windows;
    auto sampled = [&](int n) {
        const int w = int(n / spacing);
        return n - int(w * spacing) < sampleWindow;
    };
    const TMyPalette none;
    const int fill = copy->transparentIndex >= 0 ? copy->transparentIndex : std::max(copy->backgroundIndex, 0);
    const TRect screen{0, 0, copy->screenWidth, copy->screenHeight};
    forEachScreen(copy->frameList, {copy->screenWidth, copy->screenHeight},
                  copy->globalPalette ? *copy->globalPalette : none, fill, copy->backgroundIndex,
                  [&](int i, const TDib256& shown) {
                      if (!sampled(imageOrdinal[size_t(i)])) return;
                      const TFrame& f = *copy->frameList.frameAt(i);
                      auto c = f.clone();
                      c->image = std::make_unique<TDib256>(shown);
                      c->image->transparentIndex = f.image->transparentIndex;
                      c->rect = c->dirtyRect = screen;
                      c->restoreToBackground = f.transparentIndex >= 0;
                      sample->frameList.append(copy->frameList.textAt(i), std::move(c));
                  });
    // Frames with a local palette are not composed: they join as they are.
    for (int i = 0; i < copy->frameList.count(); ++i)
        if (const TFrame* f = copy->frameList.frameAt(i); f->localPalette && f->image && sampled(imageOrdinal[size_t(i)]))
            sample->frameList.append(copy->frameList.textAt(i), f->clone());
    if (sample->frameList.empty()) return nullptr;
    sample->relink();
    return sample;
}

}  // namespace

std::vector<ShareSettings> shareLadder(const Document& doc, int bestLossy) {
    std::vector<ShareSettings> ladder;
    ShareSettings s;
    s.lossy = std::clamp(bestLossy, 0, 100);
    ladder.push_back(s);
    for (int lossy : {90, 80, 70, 60, 50, 40})
        if (lossy < s.lossy) {
            s.lossy = lossy;
            ladder.push_back(s);
        }
    const int colours = colourCount(doc);
    for (int c : {128, 64, 32})
        if (c < colours) {
            s.colors = c;
            ladder.push_back(s);
        }
    const int frames = imageFrameCount(doc);
    // Three frames in four, two in three, one in two, one in three.
    for (auto [kept, step] : {std::pair{3, 4}, {2, 3}, {1, 2}, {1, 3}})
        if (frames >= 2 * step) {
            s.framesKept = kept;
            s.frameStep = step;
            ladder.push_back(s);
        }
    // The screen the frames cover (a copy's size is set once it is linked).
    TSize screen{doc.screenWidth, doc.screenHeight};
    for (int i = 0; i < doc.frameList.count(); ++i) {
        const TRect& r = doc.frameList.frameAt(i)->rect;
        screen = {std::max(screen.width, r.right), std::max(screen.height, r.bottom)};
    }
    for (int percent : {90, 80, 70, 60, 50, 40, 30, 25, 20, 15, 10}) {
        const std::optional<TSize> to = scaledSize(screen, ScaleRequest{double(percent), 0, 0});
        if (!to || to->width < 8 || to->height < 8) break;
        s.scalePercent = percent;
        ladder.push_back(s);
    }
    return ladder;
}

bool applyShareSettings(Document& doc, const ShareSettings& s) {
    doc.relink();
    if (s.frameStep > 1 && !dropFrames(doc, std::clamp(s.framesKept, 1, s.frameStep - 1), s.frameStep)) return false;
    if (s.scalePercent < 100) {
        const std::optional<TSize> to =
            scaledSize({doc.screenWidth, doc.screenHeight}, ScaleRequest{double(s.scalePercent), 0, 0});
        if (!to || !scaleAnimation(doc, to->width, to->height, {})) return false;
    }
    if (s.colors > 0 && s.colors < colourCount(doc) && !reduceColors(doc, s.colors, true)) return false;
    doc.maxCompression = true;
    doc.cropToDirty = doc.splitDirty = doc.transparentMaskOption = true;
    doc.lossyQuality = s.lossy;
    return true;
}

std::vector<uint8_t> sharedFile(Document& doc, const ShareSettings& settings, const Progress* stop, bool planOnly) {
    FollowingHost host(stop);
    std::unique_ptr<Document> copy = workingCopy(doc, host);
    if (!applyShareSettings(*copy, settings) || host.stopRequested()) return {};
    return savedBytes(*copy, true, &host, planOnly, true);
}

FitResult fitToSize(Document& doc, uint64_t maxBytes, int bestLossy, Progress* progress) {
    const std::vector<ShareSettings> ladder = shareLadder(doc, bestLossy);
    auto tell = [&](int percent) {
        if (progress) progress->setProgress(percent);
    };
    FitResult result;
    const auto stopped = [&] { return progress && progress->stopRequested(); };
    // The first rung is what maximum compression writes; the others are
    // its plans alone (SaveCommands.h), which is all the lower rungs need.
    const std::vector<uint8_t> first = sharedFile(doc, ladder[0], progress);
    FileCache whole(doc, progress, true);
    auto tryWhole = [&](size_t rung) {
        const std::vector<uint8_t>& file = rung == 0 ? first : whole.file(ladder[rung]);
        result.fullSaves = 1 + whole.made();
        result.settings = ladder[rung];
        result.bytes = file.size();
        result.fits = !file.empty() && file.size() <= maxBytes;
        if (result.fits) result.file = file;
        return result.bytes;
    };

    const uint64_t base = tryWhole(0);
    tell(30);
    if (result.fits || base == 0 || ladder.size() == 1 || stopped()) return result;

    // Estimates: the whole file's size times how much the setting shrinks
    // the sample (the whole animation when it is short).
    FollowingHost host(progress);
    std::unique_ptr<Document> sample = sampleOf(doc, host);
    // A short animation is its own sample: its estimates are whole files.
    std::optional<FileCache> sampleFiles;
    FileCache& part = sample ? sampleFiles.emplace(*sample, progress, true) : whole;
    const double sampleBase = sample ? double(part.file(ladder[0]).size()) : double(base);
    std::vector<double> estimate(ladder.size(), -1);
    auto estimated = [&](size_t rung) {
        if (estimate[rung] < 0) {
            const uint64_t bytes = part.file(ladder[rung]).size();
            estimate[rung] = bytes == 0 || sampleBase <= 0 ? HUGE_VAL : double(base) * double(bytes) / sampleBase;
        }
        return estimate[rung];
    };
    // Files come out a little off their estimate; aim a little below.
    double correction = 1.0;
    const double aim = 0.97 * double(maxBytes);
    // The first rung whose estimate fits, from `from` on; ladder.size()
    // when none does.  Sizes fall along the ladder until it scales; a
    // smaller scale can cost a picture of few colours more than it saves
    // (its edges get new colours), so the rungs that scale are searched
    // only when no rung before them fits.
    const size_t scaling = size_t(std::find_if(ladder.begin(), ladder.end(),
                                               [](const ShareSettings& s) { return s.scalePercent < 100; }) -
                                  ladder.begin());
    auto search = [&](size_t lo, size_t hi) {
        const size_t none = hi;
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            if (estimated(mid) * correction <= aim) hi = mid;
            else lo = mid + 1;
        }
        return lo < none ? lo : ladder.size();
    };
    auto firstFitting = [&](size_t from) {
        if (from < scaling)
            if (const size_t found = search(from, scaling); found < ladder.size()) return found;
        return search(std::max(from, scaling), ladder.size());
    };

    size_t rung = firstFitting(1);
    tell(50);
    size_t tooLarge = 0;  // the last rung whose whole file was over
    while (true) {
        if (rung >= ladder.size()) rung = ladder.size() - 1;
        const uint64_t bytes = tryWhole(rung);
        tell(std::min(95, 50 + 15 * result.fullSaves));
        if (bytes == 0 || stopped()) return result;
        if (result.fits) {
            // Room to spare: with the error this file showed, an earlier
            // rung may fit too (and the one just before is tried when the
            // file is well under, since estimates err both ways).
            if (rung > tooLarge + 1 && result.fullSaves < 3) {
                correction = double(bytes) / estimated(rung);
                size_t better = firstFitting(tooLarge + 1);
                if (better >= rung && double(bytes) < 0.8 * double(maxBytes)) better = rung - 1;
                if (better < rung) {
                    FitResult fitting = result;
                    tryWhole(better);
                    if (!result.fits) {
                        fitting.fullSaves = result.fullSaves;
                        result = std::move(fitting);
                    }
                }
            }
            return result;
        }
        if (rung + 1 >= ladder.size()) return result;
        tooLarge = rung;
        correction = std::max(correction, double(bytes) / estimated(rung));
        rung = std::max(rung + 1, firstFitting(rung + 1));
    }
}

}  // namespace movigram
