#include "ImageReaders.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "BmpReader.h"
#include "JpegReader.h"
#include "PcxImage.h"
#include "QcxReader.h"
#include "VideoReader.h"
#include "document/GifReader.h"

namespace movigram {
namespace {

const char* const fileErrorCaption = "File error";

std::string lowerExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

void fail(ImportedFile& file, int code, std::string caption = {}, std::string message = {}) {
    file.result = code;
    file.caption = std::move(caption);
    file.message = std::move(message);
}

// A still image: 8 bits as it is, deeper ones shown once and reduced.
void takeStill(ImportedFile& file, DecodedImage decoded, const std::string& path, const ImportOptions& options,
               bool reportReduction) {
    if (decoded.indexed) {
        file.image = std::move(decoded.indexed);
        return;
    }
    if (options.preview) options.preview(*decoded.trueColor);
    file.image = reduceTo256(*decoded.trueColor, options.host);
    if (file.image) return;
    if (reportReduction)
        fail(file, ImportReductionFailed, "Error", "Color reduction failed on file\n" + path);
    else
        fail(file, ImportReductionFailed);
}

void readText(ImportedFile& file, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        fail(file, ImportCannotOpen, fileErrorCaption, "Cannot open file \"" + path + "\"");
        return;
    }
    file.text.resize(maxCommentFileBytes);
    file.text.resize(std::fread(file.text.data(), 1, maxCommentFileBytes, f));
    std::fclose(f);
}

}  // namespace

ImportKind importKindOf(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == ".gif") return ImportKind::Gif;
    if (ext == ".pcx") return ImportKind::Pcx;
    if (ext == ".qcx") return ImportKind::Qcx;
    if (ext == ".bmp") return ImportKind::Bmp;
    if (ext == ".jpg" || ext == ".jpeg") return ImportKind::Jpeg;
    if (ext == ".txt") return ImportKind::Text;
    static const char* const video[] = {".avi", ".mp4",  ".m4v", ".mov", ".mkv", ".webm",
                                        ".mpg", ".mpeg", ".wmv", ".flv", ".ogv"};
    if (std::find(std::begin(video), std::end(video), ext) != std::end(video)) return ImportKind::Video;
    return ImportKind::None;
}

ImportedFile readImageFile(const std::string& path, const ImportOptions& options) {
    ImportedFile file;
    file.kind = importKindOf(path);
    switch (file.kind) {
    case ImportKind::None: fail(file, ImportSkipped); break;
    case ImportKind::Text: readText(file, path); break;
    case ImportKind::Gif: {
        GifReadOptions gif;
        gif.progress = options.progress;
        gif.paint = options.paint;
        gif.limits = options.limits;
        GifReadOutput out = readGif(path, gif);
        file.frames = std::move(out.frames);
        file.loopFound = out.loopFound;
        file.loopCount = out.loopCount;
        if (out.result != GifOk) fail(file, out.result, fileErrorCaption, gifResultMessage(out.result, path));
        break;
    }
    case ImportKind::Video: {
        VideoReadOptions video;
        video.host = options.host;
        video.progress = options.progress;
        video.preview = options.preview;
        video.paint = options.paint;
        video.limits = options.limits;
        VideoReadOutput out = readVideo(path, video);
        file.frames = std::move(out.frames);
        if (out.result != VideoOk) fail(file, out.result, fileErrorCaption, videoResultMessage(out.result, path));
        break;
    }
    case ImportKind::Bmp: {
        DecodedImage decoded = readBmp(path, options.limits);
        // One message for every bitmap that cannot be read, whatever the
        // reason.
        if (!decoded)
            fail(file, ImportCorrupt, fileErrorCaption, "GDI file read failure");
        else
            takeStill(file, std::move(decoded), path, options, true);
        break;
    }
    case ImportKind::Pcx: {
        PCXImage pcx(options.limits, options.progress);
        if (!pcx.read(path))
            fail(file, ImportCorrupt);
        else
            takeStill(file, pcx.takeImage(), path, options, true);
        break;
    }
    case ImportKind::Qcx: {
        QcxOptions qcx;
        qcx.limits = options.limits;
        file.image = readQcx(path, qcx);
        if (!file.image) fail(file, ImportCorrupt);
        break;
    }
    case ImportKind::Jpeg: {
        std::optional<TrueColorImage> jpeg = readJpeg(path, options.limits);
        DecodedImage decoded;
        decoded.trueColor = std::move(jpeg);
        // JPEG failures, the reduction's included, pass without a message.
        if (!decoded)
            fail(file, ImportCorrupt);
        else
            takeStill(file, std::move(decoded), path, options, false);
        break;
    }
    }
    return file;
}

}  // namespace movigram
