#pragma once
// giflib driven entirely from memory, through its read and write callbacks,
// the way the benchmark compares it with our reader and writer.
#include <gif_lib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "BenchData.h"

namespace movigram::bench {

// Opens, slurps and closes a GIF held in memory; true when giflib read it
// all without error.
bool giflibSlurp(std::span<const uint8_t> file);

// The same, keeping the images; ok is false when giflib failed.
struct GiflibImages {
    bool ok = false;
    std::vector<Picture> pictures;
};
GiflibImages giflibDecode(std::span<const uint8_t> file);

// An animation prepared for giflib's encoder: the colour maps are made once,
// so that only the writing is timed.  Each image gets the code size our
// writer would choose for it, through a local map when the global one does
// not give it.
class GiflibAnimationWriter {
public:
    explicit GiflibAnimationWriter(const Animation& animation);
    ~GiflibAnimationWriter();
    GiflibAnimationWriter(const GiflibAnimationWriter&) = delete;
    GiflibAnimationWriter& operator=(const GiflibAnimationWriter&) = delete;

    // Writes the whole file into out (cleared first); false on a giflib error.
    bool write(std::vector<uint8_t>& out) const;

private:
    struct Image {
        int left, top, width, height;
        // giflib masks the indices in place, so it gets its own copy.
        mutable std::vector<GifPixelType> pixels;
        ColorMapObject* map;  // null: the global map
    };
    int screenWidth_, screenHeight_;
    ColorMapObject* globalMap_ = nullptr;
    std::vector<Image> images_;
};

}  // namespace movigram::bench
