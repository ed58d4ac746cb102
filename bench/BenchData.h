#pragma once
// The data of the LZW benchmark: animations as plain indices, generated or
// read from the corpus, and their conversion to our frames.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "document/FrameChain.h"
#include "document/TFrame.h"
#include "document/TMyPalette.h"

namespace movigram::bench {

// One image of an animation, as plain indices.
struct Picture {
    int32_t left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> pixels;  // width x height, top row first
    std::optional<TMyPalette> local;

    // Same place, size and indices; the palette is not compared.
    friend bool operator==(const Picture& a, const Picture& b) {
        return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height &&
               a.pixels == b.pixels;
    }
};

struct Animation {
    TMyPalette global;
    std::vector<Picture> pictures;

    uint64_t pixelCount() const;
    // The screen the writer derives from the pictures: their bounding box.
    int32_t screenWidth() const;
    int32_t screenHeight() const;
};

// Our frames for an animation, linked in order (the chain is not circular).
FrameChain toFrameChain(const Animation& animation);

// The image of a frame with an image, where the frame sits and its local
// palette.
Picture pictureOf(const TFrame& frame);

// Generated content: moving shapes over drifting gradients with some noise,
// and a grainy photo-like still, both on a 256-colour palette.
Animation generateAnimation(int frameCount, int32_t width, int32_t height, uint64_t seed);
Animation generatePhoto(int32_t width, int32_t height, uint64_t seed);

// Every file named *.gif (any case) below folder, sorted; none when the folder
// is missing.
std::vector<std::string> gifFilesBelow(const std::string& folder);

}  // namespace movigram::bench
