#include "PaletteLoading.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "BmpReader.h"
#include "QcxReader.h"
#include "colour/ColorReduction.h"
#include "colour/PaletteFile.h"
#include "colour/PaletteMapping.h"
#include "document/GifReader.h"

namespace movigram {
namespace {

std::string extensionOf(const std::string& path) {
    const std::filesystem::path p(path);
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// The image whose colours make the palette, or null after telling the user
// what went wrong when the reader has a message for it.
std::unique_ptr<TDib256> paletteImage(Document& doc, const std::string& ext, const std::string& path,
                                      const DecodeLimits& limits) {
    Host& host = doc.host();
    if (ext == ".gif") {
        GifReadOptions options;
        options.limits = limits;
        GifReadOutput gif = readGif(path, options);
        if (gif.result != GifOk) host.showMessage("File error", gifResultMessage(gif.result, path), MessageIcon::Stop);
        for (const auto& frame : gif.frames)
            if (frame->image) return std::make_unique<TDib256>(*frame->image);
        return nullptr;
    }
    if (ext == ".bmp") {
        DecodedImage decoded = readBmp(path, limits);
        if (decoded.trueColor) return reduceTo256(*decoded.trueColor, doc);
        if (!decoded.indexed) host.showMessage("File error", "GDI file read failure", MessageIcon::Stop);
        return std::move(decoded.indexed);
    }
    // ".pcx": 8-bit single-plane files with their palette at the end.
    QcxOptions options;
    options.limits = limits;
    return readQcx(path, options);
}

}  // namespace

PaletteLoadResult loadPalette(Document& doc, const std::string& path, const DecodeLimits& limits) {
    PaletteLoadResult result;
    Host& host = doc.host();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        host.showMessage("File error", "Cannot open file \"" + path + "\"", MessageIcon::Stop);
        return result;
    }

    const std::string ext = extensionOf(path);
    std::unique_ptr<TMyPalette> replacement;
    if (ext == ".pal") {
        const TMyPalette read = readPaletteFile(path);
        replacement = std::make_unique<TMyPalette>();
        for (int i = 0; i < 256; ++i) replacement->setEntry(i, read.entry(i));
        replacement->colorCount = 256;
        result.colorsRead = read.colorCount;
    } else if (ext == ".gif" || ext == ".bmp" || ext == ".pcx") {
        // An image that cannot be read leaves the palette alone rather than
        // replace it by an empty one.
        std::unique_ptr<TDib256> image = paletteImage(doc, ext, path, limits);
        if (!image) return result;
        replacement = std::make_unique<TMyPalette>();
        image->transparentIndex = -1;
        mapToPalette(*image, *replacement, false, false);
        result.colorsRead = replacement->colorCount;
    } else if (!ext.empty()) {
        replacement = std::make_unique<TMyPalette>();
    }

    const std::optional<PaletteEntry> background = backgroundColor(doc);
    if (doc.globalPalette) result.previous = std::make_unique<TMyPalette>(*doc.globalPalette);
    if (replacement) doc.globalPalette = std::move(replacement);
    doc.paletteEdited();
    if (doc.firstFrame) remapAllFrames(doc, 100, true, background);
    result.loaded = true;
    return result;
}

}  // namespace movigram
