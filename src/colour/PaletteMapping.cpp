#include "PaletteMapping.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace movigram {

int nearestColor(const PaletteEntry* entries, int count, uint8_t r, uint8_t g, uint8_t b, int skip) {
    int best = -1;
    int bestDistance = INT_MAX;
    for (int k = 0; k < count; ++k) {
        if (k == skip) continue;
        const int dr = int(entries[k].red) - r, dg = int(entries[k].green) - g, db = int(entries[k].blue) - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = k;
            if (d == 0) break;
        }
    }
    return best < 0 ? 0 : best;
}

namespace {

// Eight pixels of value v, as read from a row.
uint64_t eightOf(uint8_t v) { return uint64_t(v) * 0x0101010101010101u; }

}  // namespace

bool mapToPalette(TDib256& image, TMyPalette& palette, bool fixed, bool testOnly) {
    std::array<uint8_t, 256> map;
    for (int i = 0; i < 256; ++i) map[size_t(i)] = uint8_t(i);

    const int n = image.colorsUsed != 0 ? std::min(image.colorsUsed, 256) : 256;
    constexpr int cap = 256;
    int len = std::clamp(palette.colorCount, 0, cap);
    std::array<PaletteEntry, 256> working = palette.entries();
    if (len < 2) fixed = false;

    bool inUse[256] = {};
    // Eight pixels at a time, passing over runs of the value seen last (the
    // common case in pictures that came from a GIF).
    uint64_t run = 0;
    if (image.width() > 0 && image.height() > 0) {
        inUse[image.row(0)[0]] = true;
        run = eightOf(image.row(0)[0]);
    }
    for (int32_t y = 0; y < image.height(); ++y) {
        const uint8_t* row = image.row(y);
        int32_t x = 0;
        for (; x + 8 <= image.width(); x += 8) {
            uint64_t word;
            std::memcpy(&word, row + x, sizeof word);
            if (word == run) continue;
            for (int k = 0; k < 8; ++k) inUse[row[x + k]] = true;
            run = eightOf(row[x + 7]);
        }
        for (; x < image.width(); ++x) inUse[row[x]] = true;
    }
    const int t = image.transparentIndex;
    if (t >= 0 && t < 256) inUse[t] = true;
    // Visible colours never land on the palette's transparent entry when the
    // image has transparent pixels of its own: they would disappear.
    const int p = palette.transparentIndex;
    const int reserved = (t >= 0 && p >= 0 && p < 256) ? p : -1;

    bool approximated = false;
    for (int j = 0; j < n; ++j) {
        if (!inUse[j]) continue;
        const RgbQuad& c = image.colors()[size_t(j)];
        const int skip = j == t ? -1 : reserved;
        int k = 0;
        while (k < len && (k == skip || working[size_t(k)].red != c.red || working[size_t(k)].green != c.green ||
                           working[size_t(k)].blue != c.blue))
            ++k;
        if (len < cap && !fixed) {
            if (k < len) {
                map[size_t(j)] = uint8_t(k);
            } else {
                working[size_t(len)] = {c.red, c.green, c.blue, 0};
                map[size_t(j)] = uint8_t(len++);
            }
        } else {
            map[size_t(j)] = uint8_t(nearestColor(working.data(), fixed ? len : 256, c.red, c.green, c.blue, skip));
            // A colour the full palette already holds is matched, not
            // approximated: only a colour without its entry counts.
            if (!fixed && k >= len) {
                approximated = true;
                if (testOnly) break;
            }
        }
    }
    if (testOnly) return !approximated;

    if (t >= 0 && t < 256) {
        if (p >= 0) {
            map[size_t(t)] = uint8_t(p);
        } else {
            bool collides = false;
            for (int j = 0; j < 256; ++j)
                if (inUse[j] && j != t && map[size_t(j)] == map[size_t(t)]) collides = true;
            if (collides) {
                bool taken[256] = {};
                for (int j = 0; j < 256; ++j)
                    if (inUse[j]) taken[map[size_t(j)]] = true;
                int free = 0;
                while (free < len && taken[free]) ++free;
                if (free < len) {
                    map[size_t(t)] = uint8_t(free);
                } else if (len < 256 && !fixed) {
                    map[size_t(t)] = uint8_t(len++);
                }
            }
        }
    }

    // Frames drawn with the palette's own colours keep their pixels.
    bool same = true;
    for (int j = 0; j < 256 && same; ++j) same = !inUse[j] || map[size_t(j)] == j;
    // The last run of eight alike pixels (`run` is eight of one value) and
    // what it becomes.
    uint64_t from = run, to = eightOf(map[run & 0xFF]);
    for (int32_t y = 0; y < image.height() && !same; ++y) {
        uint8_t* row = image.row(y);
        int32_t x = 0;
        for (; x + 8 <= image.width(); x += 8) {
            uint64_t word;
            std::memcpy(&word, row + x, sizeof word);
            if (word != from) {
                const uint8_t v = row[x];
                if (word != eightOf(v)) {
                    for (int k = 0; k < 8; ++k) row[x + k] = map[row[x + k]];
                    continue;
                }
                from = word;
                to = eightOf(map[v]);
            }
            std::memcpy(row + x, &to, sizeof to);
        }
        for (; x < image.width(); ++x) row[x] = map[row[x]];
    }
    for (int k = 0; k < len; ++k) {
        const PaletteEntry& e = working[size_t(k)];
        image.colors()[size_t(k)] = {e.blue, e.green, e.red, 0};
        palette.setEntry(k, e);
    }
    // The table now holds the palette's colours, and pixels may use them all.
    image.colorsUsed = len;
    palette.colorCount = len;
    image.colorMap = std::make_unique<std::array<uint8_t, 256>>(map);
    return !approximated;
}

TMyPalette paletteFromImage(const TDib256& image) {
    TMyPalette palette = TMyPalette::fromColorTable(image.colors(), image.colorsUsed != 0 ? image.colorsUsed : 256);
    palette.transparentIndex = -1;
    return palette;
}

void compactLocalPalette(TFrame& frame) {
    if (!frame.localPalette || !frame.image) return;
    // The transparent value counts as in use even when no pixel shows it, so
    // that no visible colour is moved onto it.
    frame.image->transparentIndex = frame.transparentIndex;
    TMyPalette compact;
    mapToPalette(*frame.image, compact, false, false);
    if (compact.colorCount < frame.localPalette->colorCount) {
        *frame.localPalette = compact;
        if (frame.transparentIndex >= 0 && frame.image->colorMap)
            frame.transparentIndex = (*frame.image->colorMap)[size_t(frame.transparentIndex & 0xFF)];
    }
}

}  // namespace movigram
