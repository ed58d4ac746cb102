#include "GifBlockWriter.h"

#include <algorithm>

#include "GifBlocks.h"

namespace movigram::gif {

void putHeader(ByteSink& out, uint32_t width, uint32_t height, int tableBits, uint8_t backgroundIndex) {
    out.write(reinterpret_cast<const uint8_t*>("GIF89a"), 6);
    out.putLe16(width);
    out.putLe16(height);
    out.put(uint8_t(colorTableFlag | globalColorResolution | (tableBits - 1)));
    out.put(backgroundIndex);
    out.put(0);  // no aspect ratio
}

void putLoopingExtension(ByteSink& out, uint32_t loopValue) {
    putExtensionStart(out, applicationLabel);
    out.put(applicationIdSize);
    out.write(reinterpret_cast<const uint8_t*>(loopingApplicationId), applicationIdSize);
    out.put(loopingSubBlockSize);
    out.put(loopingSubBlockId);
    out.putLe16(loopValue);
    out.put(blockTerminator);
}

void putExtensionStart(ByteSink& out, uint8_t label) {
    out.put(extensionIntroducer);
    out.put(label);
}

void putGraphicControl(ByteSink& out, int disposal, int transparentIndex, uint32_t delayCs) {
    putExtensionStart(out, graphicControlLabel);
    out.put(graphicControlSize);
    out.put(uint8_t(disposal << disposalShift | (transparentIndex >= 0 ? transparentFlag : 0)));
    out.putLe16(delayCs);
    out.put(transparentIndex >= 0 ? uint8_t(transparentIndex) : 0);
    out.put(blockTerminator);
}

void putImageDescriptor(ByteSink& out, uint32_t left, uint32_t top, uint32_t width, uint32_t height,
                        uint8_t packed) {
    out.put(imageSeparator);
    out.putLe16(left);
    out.putLe16(top);
    out.putLe16(width);
    out.putLe16(height);
    out.put(packed);
}

void putImageData(ByteSink& out, int minCodeSize, std::span<const uint8_t> codes) {
    out.put(uint8_t(minCodeSize));
    for (size_t at = 0; at < codes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - at);
        out.put(uint8_t(n));
        out.write(codes.data() + at, n);
    }
    out.put(blockTerminator);
}

void putTrailer(ByteSink& out) { out.put(trailer); }

}  // namespace movigram::gif
