#include "ImageReaders.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

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
    return "File \"" + path + "\" is not a GIF, BMP, PCX, JPEG, video or text file (it starts with " + bytes + ")";
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
