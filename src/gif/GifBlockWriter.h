#pragma once
// The blocks every GIF writer puts around its images: the header with the
// logical screen, the looping extension, the graphic control extension, the
// image descriptor and the trailer.  Colour tables and image data are the
// caller's.
#include <cstdint>
#include <span>

#include "ByteSink.h"

namespace movigram::gif {

// "GIF89a" and the logical screen descriptor; a global table of 2^tableBits
// entries is announced (the caller writes it next).
void putHeader(ByteSink& out, uint32_t width, uint32_t height, int tableBits, uint8_t backgroundIndex);

// The application extension that makes a viewer loop: loopValue 0 loops for
// ever, n plays n + 1 times.
void putLoopingExtension(ByteSink& out, uint32_t loopValue);

// The introducer and label of an extension; its sub-blocks follow.
void putExtensionStart(ByteSink& out, uint8_t label);

// disposal 0 none, 2 background, 3 previous; transparentIndex < 0 for none.
void putGraphicControl(ByteSink& out, int disposal, int transparentIndex, uint32_t delayCs);

// packed: colorTableFlag with the table size, interlaceFlag.
void putImageDescriptor(ByteSink& out, uint32_t left, uint32_t top, uint32_t width, uint32_t height,
                        uint8_t packed);

// An image's data: the code size byte, the codes cut into sub-blocks of
// 255 bytes, and the block terminator.
void putImageData(ByteSink& out, int minCodeSize, std::span<const uint8_t> codes);

void putTrailer(ByteSink& out);

}  // namespace movigram::gif
