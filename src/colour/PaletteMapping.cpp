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

// The work of one mapping: the palette as it grows (`working`, len entries
// in use) and where each index of the image goes.
struct Mapping {
    std::array<uint8_t, 256> map;
    std::array<PaletteEntry, 256> working;
    int len;
    bool fixed;
    bool inUse[256] = {};
};

// Marks the indices the image's pixels use; returns the last run of eight
// alike pixels (eight of one value; the first pixel's value when there is
// none), where remapPixels starts.
uint64_t markIndicesInUse(const TDib256& image, bool (&inUse)[256]) {
    // Eight pixels at a time, passing over runs of the value seen last (the
    // common case in pictures that came from a GIF).
    uint64_t run = 0;
    // An image with data kept for parking knows its values without being
    // decoded.
    if (const auto values = image.knownValues()) {
        for (int v = 0; v < 256; ++v)
            if (((*values)[size_t(v >> 6)] >> (v & 63)) & 1) inUse[v] = true;
        return run;
    }
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
    return run;
}

// Finds each colour in use (of the first n) in the palette, adds it while
// there is room, or takes the nearest.  `reserved` is an entry visible
// colours may not take.  Returns whether a colour was approximated; with
// testOnly it stops at the first.
bool matchColours(const TDib256& image, int n, int reserved, bool testOnly, Mapping& m) {
    constexpr int cap = 256;
    const int t = image.transparentIndex;
    bool approximated = false;
    for (int j = 0; j < n; ++j) {
        if (!m.inUse[j]) continue;
        const RgbQuad& c = image.colors()[size_t(j)];
        const int skip = j == t ? -1 : reserved;
        int k = 0;
        while (k < m.len && (k == skip || m.working[size_t(k)].red != c.red ||
                             m.working[size_t(k)].green != c.green || m.working[size_t(k)].blue != c.blue))
            ++k;
        if (m.len < cap && !m.fixed) {
            if (k < m.len) {
                m.map[size_t(j)] = uint8_t(k);
            } else {
                m.working[size_t(m.len)] = {c.red, c.green, c.blue, 0};
                m.map[size_t(j)] = uint8_t(m.len++);
            }
        } else {
            m.map[size_t(j)] = uint8_t(
                nearestColor(m.working.data(), m.fixed ? m.len : 256, c.red, c.green, c.blue, skip));
            // A colour the full palette already holds is matched, not
            // approximated: only a colour without its entry counts.
            if (!m.fixed && k >= m.len) {
                approximated = true;
                if (testOnly) break;
            }
        }
    }
    return approximated;
}

// The image's transparent index t goes to the palette's transparent entry
// p, or, without one, to an entry no visible colour took.
void placeTransparent(int t, int p, Mapping& m) {
    if (p >= 0) {
        m.map[size_t(t)] = uint8_t(p);
        return;
    }
    bool collides = false;
    for (int j = 0; j < 256; ++j)
        if (m.inUse[j] && j != t && m.map[size_t(j)] == m.map[size_t(t)]) collides = true;
    if (!collides) return;
    bool taken[256] = {};
    for (int j = 0; j < 256; ++j)
        if (m.inUse[j]) taken[m.map[size_t(j)]] = true;
    int free = 0;
    while (free < m.len && taken[free]) ++free;
    if (free < m.len) {
        m.map[size_t(t)] = uint8_t(free);
    } else if (m.len < 256 && !m.fixed) {
        m.map[size_t(t)] = uint8_t(m.len++);
    }
}

// Rewrites the pixels through map, eight at a time; `run` is the last run of
// eight alike pixels markIndicesInUse saw.
void remapPixels(TDib256& image, const std::array<uint8_t, 256>& map, uint64_t run) {
    // The last run of eight alike pixels and what it becomes.
    uint64_t from = run, to = eightOf(map[run & 0xFF]);
    for (int32_t y = 0; y < image.height(); ++y) {
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
}

}  // namespace

bool mapToPalette(TDib256& image, TMyPalette& palette, bool fixed, bool testOnly) {
    Mapping m;
    for (int i = 0; i < 256; ++i) m.map[size_t(i)] = uint8_t(i);
    m.working = palette.entries();
    m.len = std::clamp(palette.colorCount, 0, 256);
    m.fixed = fixed && m.len >= 2;
    const uint64_t run = markIndicesInUse(image, m.inUse);
    const int n = image.colorsUsed != 0 ? std::min(image.colorsUsed, 256) : 256;
    const int t = image.transparentIndex;
    if (t >= 0 && t < 256) m.inUse[t] = true;
    // Visible colours never land on the palette's transparent entry when the
    // image has transparent pixels of its own: they would disappear.
    const int p = palette.transparentIndex;
    const int reserved = (t >= 0 && p >= 0 && p < 256) ? p : -1;

    const bool approximated = matchColours(image, n, reserved, testOnly, m);
    if (testOnly) return !approximated;
    if (t >= 0 && t < 256) placeTransparent(t, p, m);

    // Frames drawn with the palette's own colours keep their pixels.
    bool same = true;
    for (int j = 0; j < 256 && same; ++j) same = !m.inUse[j] || m.map[size_t(j)] == j;
    if (!same && !image.remapParked(m.map)) remapPixels(image, m.map, run);
    for (int k = 0; k < m.len; ++k) {
        const PaletteEntry& e = m.working[size_t(k)];
        image.colors()[size_t(k)] = {e.blue, e.green, e.red, 0};
        palette.setEntry(k, e);
    }
    // The table now holds the palette's colours, and pixels may use them all.
    image.colorsUsed = m.len;
    palette.colorCount = m.len;
    image.colorMap = std::make_unique<std::array<uint8_t, 256>>(m.map);
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
