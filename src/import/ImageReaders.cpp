#include "ImageReaders.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "ApngReader.h"
#include "AvifReader.h"
#include "BmpReader.h"
#include "JpegReader.h"
#include "PngReader.h"
#include "PcxImage.h"
#include "QcxReader.h"
#include "VideoReader.h"
#include "WebpReader.h"
#include "document/FileIo.h"
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
    file.image = reduceTo256(*decoded.trueColor, options.host, options.quantize);
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

// The first bytes of the file, enough for the signatures and FFmpeg's probe;
// false when the file cannot be opened.
bool readHead(const std::string& path, std::vector<uint8_t>& head) {
    head.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    head.resize(4096);
    head.resize(std::fread(head.data(), 1, head.size(), f));
    // A folder opens but cannot be read: it cannot be opened as a file,
    // whichever command meets it, rather than be "empty".
    const bool readable = !std::ferror(f);
    std::fclose(f);
    return readable;
}

// Why no reader takes a file, with what it was found to hold.
std::string unknownKindMessage(const std::string& path, const std::vector<uint8_t>& head) {
    if (head.empty()) return "File \"" + path + "\" is empty";
    std::string bytes;
    for (size_t i = 0; i < std::min<size_t>(head.size(), 8); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", head[i]);
        bytes += hex;
    }
    return "File \"" + path + "\" is not a GIF, BMP, PCX, JPEG, PNG, WebP, AVIF, video or text file (it starts with " + bytes + ")";
}

const char* kindName(ImportKind kind) {
    switch (kind) {
    case ImportKind::Png: return "PNG";
    case ImportKind::Webp: return "WebP";
    default: return "AVIF";
    }
}

// A picture file that could not be read, or an animation read only in part.
void failPicture(ImportedFile& file, const DecodeStatus& status, const std::string& path) {
    const std::string kind = kindName(file.kind);
    const std::string detail = status.detail.empty() ? std::string() : " (" + status.detail + ")";
    switch (status.end) {
    case DecodeEnd::Complete: return;
    case DecodeEnd::Corrupt:
        fail(file, ImportCorrupt, fileErrorCaption, "File \"" + path + "\" is not a readable " + kind + " image" + detail);
        return;
    case DecodeEnd::NoMemory:
        fail(file, ImportNoMemory, fileErrorCaption, "File \"" + path + "\" is too large to read" + detail);
        return;
    case DecodeEnd::Unsupported:
        fail(file, ImportUnsupportedCompression, fileErrorCaption,
             "File \"" + path + "\" cannot be read: " + kind + " images need a library not found here" + detail);
        return;
    }
}

RgbaFramesOptions rgbaOptions(const ImportOptions& options, const std::string& path, int64_t announcedFrames) {
    RgbaFramesOptions rgba;
    rgba.host = options.host;
    rgba.progress = options.progress;
    rgba.announcedFrames = announcedFrames;
    rgba.preview = options.preview;
    rgba.paint = options.paint;
    rgba.limits = options.limits;
    rgba.quantize = options.quantize;
    rgba.name = path;
    return rgba;
}

// The screens of an animated picture become frames; one screen is a still
// image, as a JPEG is.
void takeScreens(ImportedFile& file, const ScreenDecoder& decode, int64_t announcedFrames, const std::string& path,
                 const ImportOptions& options) {
    const RgbaFramesOptions rgba = rgbaOptions(options, path, announcedFrames);
    if (announcedFrames <= 1) {
        std::optional<RgbaPicture> first;
        const DecodeStatus status = decode([&](const RgbaPicture& screen, int32_t) {
            first = screen;
            return false;
        });
        if (!first) {
            failPicture(file, status.ok() ? DecodeStatus{DecodeEnd::Corrupt, "no picture"} : status, path);
            return;
        }
        StillImage still = stillFromRgba(*first, rgba);
        if (!still.image) {
            fail(file, ImportReductionFailed, "Error", "Color reduction failed on file\n" + path);
            return;
        }
        file.image = std::move(still.image);
        file.transparentIndex = still.transparentIndex;
        return;
    }
    RgbaFramesOutput out = framesFromScreens(decode, rgba);
    file.frames = std::move(out.frames);
    failPicture(file, out.status, path);
}

bool readBytes(ImportedFile& file, const std::string& path, std::vector<uint8_t>& bytes) {
    switch (readWholeFile(path, bytes)) {
    case ReadFileResult::Ok: return true;
    case ReadFileResult::CannotOpen: fail(file, ImportCannotOpen, fileErrorCaption, "Cannot open file \"" + path + "\""); break;
    case ReadFileResult::NoMemory: failPicture(file, {DecodeEnd::NoMemory, {}}, path); break;
    }
    return false;
}

void readPng(ImportedFile& file, const std::string& path, const ImportOptions& options) {
    std::vector<uint8_t> bytes;
    if (!readBytes(file, path, bytes)) return;
    if (std::optional<ApngLayout> layout = apngLayout(bytes, options.limits)) {
        file.loopFound = layout->plays != 1;
        file.loopCount = int32_t(std::min<uint32_t>(layout->plays, INT32_MAX));
        takeScreens(
            file, [&](const ScreenSink& sink) { return decodeApng(*layout, options.limits, sink); },
            int64_t(layout->frames.size()), path, options);
        return;
    }
    PngPicture png = decodePng(bytes, options.limits);
    StillImage still;
    if (png.indexed) {
        still = stillFromIndexed(std::move(png.indexed), png.alpha, rgbaOptions(options, path, 1).background);
    } else if (png.rgba) {
        still = stillFromRgba(*png.rgba, rgbaOptions(options, path, 1));
        if (!still.image) {
            fail(file, ImportReductionFailed, "Error", "Color reduction failed on file\n" + path);
            return;
        }
    } else {
        failPicture(file, png.status, path);
        return;
    }
    file.image = std::move(still.image);
    file.transparentIndex = still.transparentIndex;
}

void readWebp(ImportedFile& file, const std::string& path, const ImportOptions& options) {
    std::vector<uint8_t> bytes;
    if (!readBytes(file, path, bytes)) return;
    DecodeStatus status;
    const std::optional<WebpInfo> info = webpInfo(bytes, options.limits, &status);
    if (!info) {
        failPicture(file, status, path);
        return;
    }
    if (info->frames > 1) {
        file.loopFound = info->loopCount != 1;
        file.loopCount = int32_t(std::min<uint32_t>(info->loopCount, INT32_MAX));
    }
    takeScreens(
        file, [&](const ScreenSink& sink) { return decodeWebp(bytes, options.limits, sink); }, info->frames, path,
        options);
}

void readAvif(ImportedFile& file, const std::string& path, const ImportOptions& options) {
    std::vector<uint8_t> bytes;
    if (!readBytes(file, path, bytes)) return;
    takeScreens(
        file, [&](const ScreenSink& sink) { return decodeAvif(bytes, options.limits, sink); }, 1, path, options);
}

}  // namespace

ImportKind importKindOf(const std::string& path, std::span<const uint8_t> head) {
    auto startsWith = [&](std::string_view magic, size_t at = 0) {
        return head.size() >= at + magic.size() && std::memcmp(head.data() + at, magic.data(), magic.size()) == 0;
    };
    const std::string ext = lowerExtension(path);
    if (startsWith("GIF8")) return ImportKind::Gif;
    // "BM" alone begins too many other files: the size of the header that
    // follows the file header must be one a bitmap has.
    if (startsWith("BM") && head.size() >= 18) {
        const uint32_t infoSize = uint32_t(head[14]) | uint32_t(head[15]) << 8 | uint32_t(head[16]) << 16 |
                                  uint32_t(head[17]) << 24;
        if (infoSize == 12 || infoSize == 16 || infoSize == 40 || infoSize == 52 || infoSize == 56 ||
            infoSize == 64 || infoSize == 108 || infoSize == 124)
            return ImportKind::Bmp;
    }
    if (startsWith("\xFF\xD8\xFF")) return ImportKind::Jpeg;
    // Before the video containers: FFmpeg takes animated PNG and AVIF for
    // video too.
    if (isPngSignature(head)) return ImportKind::Png;
    if (isWebpSignature(head)) return ImportKind::Webp;
    if (isAvifSignature(head)) return ImportKind::Avif;
    // PCX: manufacturer 10, run-length encoding, a bit depth PCX has.  The
    // program's own ".qcx" images share the header, with kinds 12 and 14 of
    // their own; kind 10 is both.
    if (head.size() >= 4 && (head[0] == 10 || head[0] == 12 || head[0] == 14)) {
        const bool qcx = head[0] != 10 || ext == ".qcx";
        if (qcx && head[3] == 8) return ImportKind::Qcx;
        if (!qcx && head[2] == 1 && (head[3] == 1 || head[3] == 2 || head[3] == 4 || head[3] == 8))
            return ImportKind::Pcx;
    }
    if (startsWith("RIFF") && startsWith("AVI ", 8)) return ImportKind::Video;
    // FFmpeg also takes some text for media (subtitles, playlists): a file
    // named as text stays text.
    if (ext != ".txt" && isVideoContainer(head)) return ImportKind::Video;

    if (ext == ".gif") return ImportKind::Gif;
    if (ext == ".pcx") return ImportKind::Pcx;
    if (ext == ".qcx") return ImportKind::Qcx;
    if (ext == ".bmp") return ImportKind::Bmp;
    if (ext == ".jpg" || ext == ".jpeg") return ImportKind::Jpeg;
    if (ext == ".png" || ext == ".apng") return ImportKind::Png;
    if (ext == ".webp") return ImportKind::Webp;
    if (ext == ".avif") return ImportKind::Avif;
    if (ext == ".txt") return ImportKind::Text;
    static const char* const video[] = {".avi", ".mp4",  ".m4v", ".mov", ".mkv", ".webm",
                                        ".mpg", ".mpeg", ".wmv", ".flv", ".ogv"};
    if (std::find(std::begin(video), std::end(video), ext) != std::end(video)) return ImportKind::Video;
    return ImportKind::None;
}

ImportKind importKindOf(const std::string& path) {
    std::vector<uint8_t> head;
    readHead(path, head);
    return importKindOf(path, head);
}

ImportedFile readImageFile(const std::string& path, const ImportOptions& options) {
    ImportedFile file;
    std::vector<uint8_t> head;
    const bool opened = readHead(path, head);
    file.kind = importKindOf(path, head);
    // Every reader would call an empty file corrupt, or worse, not a GIF.
    if (opened && head.empty() && file.kind != ImportKind::Text) {
        fail(file, ImportCorrupt, fileErrorCaption, unknownKindMessage(path, head));
        return file;
    }
    switch (file.kind) {
    case ImportKind::None:
        fail(file, ImportSkipped, fileErrorCaption,
             opened ? unknownKindMessage(path, head) : "Cannot open file \"" + path + "\"");
        break;
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
        if (out.globalPalette && out.backgroundIndex < out.globalPalette->colorCount)
            file.backgroundColor = out.globalPalette->entry(out.backgroundIndex);
        if (out.result != GifOk)
            fail(file, out.result == GifOutsideScreen ? ImportCorrupt : out.result, fileErrorCaption,
                 gifResultMessage(out.result, path));
        break;
    }
    case ImportKind::Video: {
        VideoReadOptions video;
        video.host = options.host;
        video.progress = options.progress;
        video.preview = options.preview;
        video.paint = options.paint;
        video.limits = options.limits;
        video.quantize = options.quantize;
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
    case ImportKind::Png: readPng(file, path, options); break;
    case ImportKind::Webp: readWebp(file, path, options); break;
    case ImportKind::Avif: readAvif(file, path, options); break;
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
