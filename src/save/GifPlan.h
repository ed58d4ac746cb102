#pragma once
// A GIF file as maximum compression lays it out before writing: the screen,
// the global colour table and, per image, everything its blocks hold with
// the LZW data already encoded.  Unlike the frames of a document, a planned
// image may restore to the previous screen and carries its own code size.
#include <cstdint>
#include <string>
#include <vector>

#include "gif/ByteSink.h"
#include "document/Geometry.h"

namespace movigram {

struct PlannedImage {
    std::vector<std::string> commentsBefore;  // comment extensions written before the image
    TRect rect;                               // on the screen
    uint8_t disposal = 0;                     // 0 none, 2 background, 3 previous
    int transparentIndex = -1;
    uint32_t delayCs = 0;
    std::vector<uint32_t> localTable;  // 0xRRGGBB entries, a power of two of them; empty: the global table
    std::vector<uint8_t> data;         // minimum code size, sub-blocks, terminator
    bool interlaced = false;           // data holds the rows in the four passes of an interlaced image
};

struct GifPlan {
    TSize screen;
    std::vector<uint32_t> globalTable;  // 0xRRGGBB, a power of two of them (at least 2)
    uint8_t backgroundIndex = 0;
    bool loopExtension = false;
    uint16_t loopValue = 0;
    std::vector<PlannedImage> images;
    std::vector<std::string> trailingComments;
};

// The size in bytes of an image's blocks (comments left out).
size_t plannedImageBytes(const PlannedImage& image);

// Writes the plan; false when the sink failed.
bool writeGifPlan(ByteSink& out, const GifPlan& plan);

}  // namespace movigram
