#pragma once
// The bytes that name the blocks of a GIF file and the flags of its packed
// fields.  The stream is: signature, logical screen descriptor (global table
// flag 0x80, table size in the low three bits), an optional global colour
// table, then blocks until the trailer.  Each block starts with an
// introducer: 0x2C for an image, 0x21 followed by a label for an extension.
#include <cstddef>
#include <cstdint>

namespace movigram::gif {

// Block introducers.
constexpr uint8_t extensionIntroducer = 0x21;
constexpr uint8_t imageSeparator = 0x2C;
constexpr uint8_t trailer = 0x3B;

// Extension labels (after the introducer).
constexpr uint8_t plainTextLabel = 0x01;
constexpr uint8_t graphicControlLabel = 0xF9;
constexpr uint8_t commentLabel = 0xFE;
constexpr uint8_t applicationLabel = 0xFF;

// A graphic control extension: block size 4, packed field (disposal in bits
// 2-4, transparent flag in bit 0), delay in hundredths, transparent index,
// terminator.
constexpr uint8_t graphicControlSize = 4;
constexpr uint8_t transparentFlag = 0x01;
constexpr int disposalShift = 2;

// The application block that carries the loop count: an 11-byte identifier,
// then a 3-byte sub-block (id 1, the count as 16 bits) and a terminator.
constexpr uint8_t applicationIdSize = 11;
constexpr char loopingApplicationId[] = "NETSCAPE2.0";
constexpr uint8_t loopingSubBlockSize = 3;
constexpr uint8_t loopingSubBlockId = 1;

// Packed fields of the screen and image descriptors.
constexpr uint8_t colorTableFlag = 0x80;        // a global or local table follows
constexpr uint8_t globalColorResolution = 0x50; // 6 bits per primary (screen only)
constexpr uint8_t interlaceFlag = 0x40;         // image descriptor only

// A run of data sub-blocks ends with an empty one.
constexpr uint8_t blockTerminator = 0;
constexpr size_t maxSubBlock = 255;

}  // namespace movigram::gif
