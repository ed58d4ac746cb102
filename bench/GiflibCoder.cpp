#include "GiflibCoder.h"

#include <algorithm>
#include <cstring>

#include "save/GifWriter.h"

namespace movigram::bench {

namespace {

struct MemoryInput {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int n) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const size_t count = std::min(size_t(std::max(n, 0)), in->size - in->pos);
    std::memcpy(buffer, in->data + in->pos, count);
    in->pos += count;
    return int(count);
}

int writeToVector(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// Opens the file and slurps it; the caller closes what it gets back (null
// when even the header could not be read).
GifFileType* openAndSlurp(MemoryInput& input, bool& ok) {
    int error = 0;
    GifFileType* gif = DGifOpen(&input, readFromMemory, &error);
    ok = gif && DGifSlurp(gif) == GIF_OK;
    return gif;
}

ColorMapObject* makeMap(const TMyPalette& palette, int bits) {
    std::vector<GifColorType> colors(size_t(1) << bits);
    for (int i = 0; i < (1 << bits) && i < palette.colorCount; ++i) {
        const PaletteEntry& e = palette.entry(i);
        colors[size_t(i)] = {e.red, e.green, e.blue};
    }
    return GifMakeMapObject(1 << bits, colors.data());
}

}  // namespace

bool giflibSlurp(std::span<const uint8_t> file) {
    MemoryInput input{file.data(), file.size(), 0};
    bool ok = false;
    GifFileType* gif = openAndSlurp(input, ok);
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
    return ok;
}

GiflibImages giflibDecode(std::span<const uint8_t> file) {
    MemoryInput input{file.data(), file.size(), 0};
    GiflibImages result;
    GifFileType* gif = openAndSlurp(input, result.ok);
    if (!gif) return result;
    for (int i = 0; result.ok && i < gif->ImageCount; ++i) {
        const SavedImage& saved = gif->SavedImages[i];
        const GifImageDesc& desc = saved.ImageDesc;
        Picture p;
        p.left = desc.Left;
        p.top = desc.Top;
        p.width = desc.Width;
        p.height = desc.Height;
        if (saved.RasterBits)
            p.pixels.assign(saved.RasterBits, saved.RasterBits + size_t(desc.Width) * size_t(desc.Height));
        result.pictures.push_back(std::move(p));
    }
    int error = 0;
    DGifCloseFile(gif, &error);
    return result;
}

GiflibAnimationWriter::GiflibAnimationWriter(const Animation& animation)
    : screenWidth_(animation.screenWidth()), screenHeight_(animation.screenHeight()) {
    // The same code sizes as our writer: the table's bits, raised when an
    // image holds larger indices, and never below 2.
    const int globalBits = std::max(2, tableBits(animation.global.colorCount));
    globalMap_ = makeMap(animation.global, globalBits);
    for (const Picture& p : animation.pictures) {
        const int tableSize = p.local ? std::max(tableBits(p.local->colorCount), 2) : globalBits;
        const uint8_t highest = p.pixels.empty() ? 0 : *std::max_element(p.pixels.begin(), p.pixels.end());
        const int codeSize = std::max({tableSize, tableBits(highest + 1), 2});
        ColorMapObject* map = nullptr;
        if (p.local || codeSize != globalBits) map = makeMap(p.local ? *p.local : animation.global, codeSize);
        images_.push_back({p.left, p.top, p.width, p.height, p.pixels, map});
    }
}

GiflibAnimationWriter::~GiflibAnimationWriter() {
    for (Image& image : images_)
        if (image.map) GifFreeMapObject(image.map);
    GifFreeMapObject(globalMap_);
}

bool GiflibAnimationWriter::write(std::vector<uint8_t>& out) const {
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToVector, &error);
    if (!gif) return false;
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, screenWidth_, screenHeight_, 8, 0, globalMap_) == GIF_OK;
    // Our writer puts a graphic control extension before every image; so
    // does this one.
    static const GifByteType control[4] = {0, 100, 0, 0};
    for (const Image& image : images_) {
        if (!ok) break;
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK &&
             EGifPutImageDesc(gif, image.left, image.top, image.width, image.height, false, image.map) == GIF_OK &&
             EGifPutLine(gif, image.pixels.data(), image.width * image.height) == GIF_OK;
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    return ok;
}

}  // namespace movigram::bench
